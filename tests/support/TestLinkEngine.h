#pragma once
// An engine for link tests and benchmarks: answers polls at once with canned results, or
// holds the polls of chosen monitors until the test releases them, and records every call.
// Header-only (it needs the daemon's library, which the support library does not link).
// Threads: any; m_mutex guards everything.
#include "link/ILinkEngine.h"
#include "receivers/CSnmpTrapFilter.h"
#include "receivers/SyslogLineFilter.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QStringList>

class TestLinkEngine : public ILinkEngine
{
public:
    // Known monitors answer status 3, result 0; unknown ones status 4 "monitor was not found".
    void addMonitor(int monitorId, bool hold = false)
    {
        QMutexLocker l(&m_mutex);
        m_known.insert(monitorId);
        if (hold)
            m_hold.insert(monitorId);
    }
    // Completes the held poll of the monitor; false when there is none.
    bool release(int monitorId)
    {
        CLinkPollPtr poll;
        {
            QMutexLocker l(&m_mutex);
            poll = m_running.take(monitorId);
        }
        if (!poll)
            return false;
        poll->complete(okOutcome(monitorId));
        return true;
    }
    int runningCount() const
    {
        QMutexLocker l(&m_mutex);
        return m_running.size();
    }
    QStringList calls() const
    {
        QMutexLocker l(&m_mutex);
        return m_calls;
    }
    int reconnectRequests() const
    {
        QMutexLocker l(&m_mutex);
        return m_reconnects;
    }

    static SPollOutcome okOutcome(int monitorId)
    {
        SPollOutcome o;
        o.status = 3;
        o.result = 0;
        o.perfValue = 1000 + monitorId;
        o.hostName = "host" + QByteArray::number(monitorId);
        o.hostAddress = "127.0.0.1";
        return o;
    }

    PollStart startPoll(const CLinkPollPtr& poll) override
    {
        const SLinkPollRequest& r = poll->request();
        SPollOutcome outcome;
        {
            QMutexLocker l(&m_mutex);
            if (r.kind == SLinkPollRequest::WithSettings) {
                m_calls << QStringLiteral("poll settings %1").arg(r.monitorData.size());
                outcome = okOutcome(0);
                outcome.failReason = "polled with settings";
            } else {
                m_calls << QStringLiteral("poll %1").arg(r.monitorId);
                if (m_running.contains(r.monitorId))
                    return PollMonitorBusy;
                if (!m_known.contains(r.monitorId)) {
                    outcome.status = 4;
                    outcome.result = 1;
                    outcome.failReason = "monitor was not found";
                } else if (m_hold.contains(r.monitorId)) {
                    m_running.insert(r.monitorId, poll);
                    return PollStarted;
                } else {
                    outcome = okOutcome(r.monitorId);
                }
            }
        }
        poll->complete(outcome);
        return PollStarted;
    }
    void abortPoll(const CLinkPollPtr& poll) override { record(QStringLiteral("abort %1").arg(poll->transactionId())); }
    void deleteMonitor(int monitorId) override
    {
        QMutexLocker l(&m_mutex);
        m_known.remove(monitorId);
        m_calls << QStringLiteral("delete %1").arg(monitorId);
    }
    void updatePluginInfo(int requestId, int pluginId, const QString& name) override
    {
        record(QStringLiteral("plugin %1 %2 %3").arg(requestId).arg(pluginId).arg(name));
    }
    void setLimits(int threads, int cpu) override { record(QStringLiteral("limits %1 %2").arg(threads).arg(cpu)); }
    void setWatchdogLimit(int limit) override { record(QStringLiteral("wtm %1").arg(limit)); }
    void resolve(int requestId, int reqId, bool isIp, const QString& from, const QString& prev) override
    {
        record(QStringLiteral("resolve %1 %2 %3 %4 %5").arg(requestId).arg(reqId).arg(isIp).arg(from, prev));
    }
    QStringList supportedMonitorTypes() override { return {QStringLiteral("Ping"), QStringLiteral("TCP")}; }
    void subscribeTraps(int monitorId, const QList<CSnmpTrapFilter*>& filters, const SUdpMessagesLimit&,
                        const SSnmpTrapCredential&) override
    {
        qDeleteAll(filters);
        record(QStringLiteral("traps %1 %2").arg(monitorId).arg(filters.size()));
    }
    void unsubscribeTraps(int monitorId) override { record(QStringLiteral("untraps %1").arg(monitorId)); }
    void clearTrapSubscriptions() override { record(QStringLiteral("clear traps")); }
    void subscribeSyslog(int monitorId, const QList<SyslogLineFilter*>& filters, const SUdpMessagesLimit&) override
    {
        qDeleteAll(filters);
        record(QStringLiteral("syslog %1 %2").arg(monitorId).arg(filters.size()));
    }
    void unsubscribeSyslog(int monitorId) override { record(QStringLiteral("unsyslog %1").arg(monitorId)); }
    void clearSyslogSubscriptions() override { record(QStringLiteral("clear syslog")); }
    bool scheduleReconnect(int, int) override
    {
        QMutexLocker l(&m_mutex);
        ++m_reconnects;
        return false;   // the manager times it
    }

private:
    void record(const QString& call)
    {
        QMutexLocker l(&m_mutex);
        m_calls << call;
    }

    mutable QMutex m_mutex;
    QSet<int> m_known;
    QSet<int> m_hold;
    QMap<int, CLinkPollPtr> m_running;
    QStringList m_calls;
    int m_reconnects = 0;
};
