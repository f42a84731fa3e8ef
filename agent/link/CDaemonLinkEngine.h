#pragma once
#include "ILinkEngine.h"

#include "engine/CTask.h"
#include "engine/SPollResult.h"
#include "engine/stZamMonitor.h"

#include <QHash>
#include <QMutex>
#include <memory>
#include <optional>

// The link engine of the running daemon: polls go to the task manager as poll tasks, stored
// monitor settings to the configuration manager, limits and name lookups to the task manager,
// reconnects to the schedule manager, syslog subscriptions to the syslog lines manager, trap
// subscriptions (filters and SNMPv3 user) to the SNMP trap manager.
// Threads: any session thread and the task threads call it at once; m_state->mutex guards the
// open polls and the busy monitor ids. The poll tasks report through the poll tasks' result
// sink, which holds the shared state, so a late report after this object is gone is harmless.
class CDaemonLinkEngine : public ILinkEngine
{
public:
    CDaemonLinkEngine();
    ~CDaemonLinkEngine() override;
    CDaemonLinkEngine(const CDaemonLinkEngine&) = delete;
    CDaemonLinkEngine& operator=(const CDaemonLinkEngine&) = delete;

    PollStart startPoll(const CLinkPollPtr& poll) override;
    void storePollSettings(const SLinkPollRequest& request) override;
    void abortPoll(const CLinkPollPtr& poll) override;
    void deleteMonitor(int monitorId) override;
    void updatePluginInfo(int requestId, int pluginId, const QString& pluginName) override;
    void setLimits(int threadLimit, int cpuLimit) override;
    void setWatchdogLimit(int limit) override;
    void resolve(int requestId, int reqId, bool isIp, const QString& from, const QString& prev) override;
    QStringList supportedMonitorTypes() override;
    void subscribeTraps(int monitorId, const QList<CSnmpTrapFilter*>& filters, const SUdpMessagesLimit& limit,
                        const SSnmpTrapCredential& user) override;
    void unsubscribeTraps(int monitorId) override;
    void clearTrapSubscriptions() override;
    void subscribeSyslog(int monitorId, const QList<SyslogLineFilter*>& filters,
                         const SUdpMessagesLimit& limit) override;
    void unsubscribeSyslog(int monitorId) override;
    void clearSyslogSubscriptions() override;
    bool scheduleReconnect(int agentId, int delayMs) override;

    // What a finished poll task's result becomes on the link.
    static SPollOutcome toOutcome(const SPollResult& result);

    struct SOpenPoll
    {
        CLinkPollPtr poll;
        CTaskPtr task;
        SPollResultPtr result;
        std::optional<int> monitorId;
    };
    struct SState
    {
        QMutex mutex;
        QHash<int, SOpenPoll> open;   // by the task's own id (session ids repeat)
        QHash<int, int> busy;         // monitor id -> task id, while queued or running
        int lastTaskId = 0;
    };

private:
    static bool storeSettings(int monitorId, const stZamMonitorPtr& record);

    std::shared_ptr<SState> m_state;
};
