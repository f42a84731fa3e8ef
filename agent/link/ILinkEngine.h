#pragma once
#include "AgentSubscriptionMessages.h"
#include "CLinkPoll.h"

#include <QList>
#include <QString>
#include <QStringList>

class CSnmpTrapFilter;
class SyslogLineFilter;

// Everything the agent link asks of the monitoring engine and the receivers, in one narrow
// place. The sessions call it on their link threads (several sessions may call at once, so
// an implementation locks what it shares); the agent manager calls it on its own thread.
// Answers travel back through the agent manager: CLinkPoll::complete for polls,
// sendExtendedCaps for plug-in updates, sendResolveResponse for name lookups,
// sendMonitorEvent for monitor events.
class ILinkEngine
{
public:
    virtual ~ILinkEngine() = default;

    enum PollStart {
        PollStarted,      // running; the engine calls poll->complete() once it is done
        PollMonitorBusy,  // the monitor's poll task is still running: refused at once
        PollAnswered,     // not started; poll->complete() has already been called with the reason
    };
    // A poll by monitor id, or with the monitor's settings (which the engine reads from the
    // record and stores when it carries a monitor id, before its busy check). Called on a link thread; must not
    // block. The template guard and the session's own checks have passed. The engine keeps
    // one poll task per monitor id across sessions: while that task is queued or running
    // (for any session) the answer is PollMonitorBusy and the task is neither reset nor
    // posted again; otherwise it is reused or made, and posted. complete() may be called
    // from any thread, also before this call returns.
    virtual PollStart startPoll(const CLinkPollPtr& poll) = 0;
    // A poll with settings that the session refused before it reached startPoll: its record is
    // stored all the same when it carries a monitor id. Link thread; must not block.
    virtual void storePollSettings(const SLinkPollRequest& request) { Q_UNUSED(request); }
    // The service aborted an open transaction: ask its task to stop; no answer follows.
    virtual void abortPoll(const CLinkPollPtr& poll) = 0;
    // The service deleted a monitor: forget its poll task and its stored settings.
    virtual void deleteMonitor(int monitorId) = 0;
    // A plug-in update; when done the engine calls sendExtendedCaps(requestId).
    virtual void updatePluginInfo(int requestId, int pluginId, const QString& pluginName) = 0;
    // New limits of the task threads; the link has checked their ranges.
    virtual void setLimits(int threadLimit, int cpuLimit) = 0;
    virtual void setWatchdogLimit(int limit) = 0;
    // A name or address lookup; answered through sendResolveResponse(requestId, ...).
    virtual void resolve(int requestId, int reqId, bool isIp, const QString& from, const QString& prev) = 0;
    // Names of the monitor types the loaded library supports, in index order.
    virtual QStringList supportedMonitorTypes() = 0;

    // Trap and syslog subscriptions; the filters are handed over (the callee deletes them).
    virtual void subscribeTraps(int monitorId, const QList<CSnmpTrapFilter*>& filters, const SUdpMessagesLimit& limit,
                                const SSnmpTrapCredential& user) = 0;
    virtual void unsubscribeTraps(int monitorId) = 0;
    virtual void clearTrapSubscriptions() = 0;
    virtual void subscribeSyslog(int monitorId, const QList<SyslogLineFilter*>& filters,
                                 const SUdpMessagesLimit& limit) = 0;
    virtual void unsubscribeSyslog(int monitorId) = 0;
    virtual void clearSyslogSubscriptions() = 0;

    // Asks for requestReconnect() after the delay (one pending per agent id). Answers false
    // when the engine has no scheduler, and the agent manager then times it itself.
    virtual bool scheduleReconnect(int agentId, int delayMs) = 0;
};
