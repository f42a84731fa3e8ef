#pragma once
#include "ILinkEngine.h"

// The engine the agent link uses until a real one is installed: every poll is answered at
// once with a clear failure, every other request is dropped with a warning. Stateless
// apart from the warnings, so any thread may call it.
class CUnavailableLinkEngine : public ILinkEngine
{
public:
    static const char* pollFailureText() { return "poll engine is not available"; }

    PollStart startPoll(const CLinkPollPtr& poll) override;
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
};
