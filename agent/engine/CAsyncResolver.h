#pragma once
#include "core/CNetMonSysLight.h"
#include "core/TaskAliases.h"
#include "engine/CBoundedLookup.h"
#include "engine/CRecentLookups.h"
#include "engine/ResolveRequest.h"

#include <QList>
#include <QMap>
#include <functional>
#include <optional>

ZAM_TASK_KIND(SAddForLookup);

// Posted to itself: perform the next pending lookup.
struct SResolveOne
{
    static const char* kindName() { return "SResolveOne"; }
};

// Resolves host names and addresses of monitors in the background ("asynchronous resolver"),
// so that neither a poll nor the agent link waits for DNS. Requests for the same text wait as
// one lookup; lookups run one at a time; an answer that differs from what the caller knew is
// reported with link value -1. A plug-in's request whose previous answer is what the same
// lookup gave a moment ago is served at once on the caller's thread (CRecentLookups): polls
// repeat their host every few milliseconds, and such a lookup would report nothing.
// Threads: postAddForLookup from any thread (queue mutex, the recent answers' own mutex); the
// pending map and list belong to the resolver's own thread. Each lookup runs on a helper thread
// and is given up after the lookup time-out, so a resolver that never answers holds up nothing
// for ever.
// Configure (setLookups, setReporter, setLookupTimeoutMs, setMaxAbandonedLookups) before start.
class CAsyncResolver : public CNetMonSysLight
{
    Q_OBJECT
public:
    // (text, previous answer) -> answer; empty when there is none.
    using LookupFn = std::function<QString(const QString& text, const QString& previousAnswer)>;
    using ReportFn = std::function<void(int linkValue, SResolveReqId requestId, bool addressFlag,
                                        const QString& text, const QString& answer)>;

    static constexpr int kDefaultLookupTimeoutMs = 20000;
    static constexpr int kDefaultMaxAbandonedLookups = 8;

    explicit CAsyncResolver(QObject* parent = nullptr);
    ~CAsyncResolver() override;

    // Queues a lookup while the queue accepts; dropped silently after stop. Served without a
    // lookup when a recent answer shows it would report nothing.
    void postAddForLookup(SResolveReqId requestId, bool addressFlag, const QString& text,
                          const QString& previousAnswer);

    // Defaults: WebUtils::getHostnameByIp and WebUtils::getIpByHostname.
    void setLookups(const LookupFn& nameOfAddress, const LookupFn& addressOfName);
    // Default: the task manager's resolveFinished, which sends the resolve response.
    void setReporter(const ReportFn& report);
    void setLookupTimeoutMs(int ms) { m_lookupTimeoutMs = ms; }
    void setMaxAbandonedLookups(int count) { m_lookup.setMaxAbandoned(count); }
    // How long an answer serves a plug-in's repeated request (0: every request is looked up).
    void setAnswerReuseMs(int ms) { m_recent.setReuseMs(ms); }

    void terminateThread() override { terminateNow(); }

    // Handlers of the posted tasks (resolver thread).
    void handleTask(SAddForLookup, SResolveReqId requestId, bool addressFlag, const QString& text,
                    const QString& previousAnswer);
    void handleTask(const SResolveOne&);

protected:
    bool init() override { return true; }
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;

private:
    // The lookup with the time limit; none when it timed out, was refused or cancelled (an
    // answer that is empty is a lookup that returned no name or address).
    std::optional<QString> lookUp(const ResolveRequest& request);
    void report(SResolveReqId requestId, bool addressFlag, const QString& text, const QString& answer);

    ProtectedQueue<BasicTaskPtr<CAsyncResolver>> m_queue{QStringLiteral("AR")};
    QMap<QString, ResolveRequestPtr> m_pending;   // resolver thread only
    QList<ResolveRequestPtr> m_pendingOrder;      // resolver thread only
    LookupFn m_nameOfAddress;
    LookupFn m_addressOfName;
    ReportFn m_report;
    int m_lookupTimeoutMs = kDefaultLookupTimeoutMs;
    CBoundedLookup m_lookup{kDefaultMaxAbandonedLookups};
    CRecentLookups m_recent;
};
