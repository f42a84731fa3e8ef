#include "CUnavailableLinkEngine.h"

#include "receivers/CSnmpTrapFilter.h"
#include "receivers/SyslogLineFilter.h"

#include <QDebug>

ILinkEngine::PollStart CUnavailableLinkEngine::startPoll(const CLinkPollPtr& poll)
{
    SPollOutcome outcome;
    outcome.status = 3;
    outcome.result = 1;
    outcome.failReason = pollFailureText();
    poll->complete(outcome);
    return PollAnswered;
}

void CUnavailableLinkEngine::abortPoll(const CLinkPollPtr&) {}

void CUnavailableLinkEngine::deleteMonitor(int) {}

void CUnavailableLinkEngine::updatePluginInfo(int, int pluginId, const QString&)
{
    qWarning().noquote() << QStringLiteral("plug-in update %1 ignored: poll engine is not available").arg(pluginId);
}

void CUnavailableLinkEngine::setLimits(int, int) {}

void CUnavailableLinkEngine::setWatchdogLimit(int) {}

void CUnavailableLinkEngine::resolve(int, int reqId, bool, const QString&, const QString&)
{
    qWarning().noquote() << QStringLiteral("resolve request %1 ignored: resolver is not available").arg(reqId);
}

QStringList CUnavailableLinkEngine::supportedMonitorTypes()
{
    return {};
}

void CUnavailableLinkEngine::subscribeTraps(int monitorId, const QList<CSnmpTrapFilter*>& filters,
                                            const SUdpMessagesLimit&, const SSnmpTrapCredential&)
{
    qDeleteAll(filters);
    qWarning().noquote() << QStringLiteral("trap subscription of monitor %1 ignored: trap receiver is not available")
                                .arg(monitorId);
}

void CUnavailableLinkEngine::unsubscribeTraps(int) {}

void CUnavailableLinkEngine::clearTrapSubscriptions() {}

void CUnavailableLinkEngine::subscribeSyslog(int monitorId, const QList<SyslogLineFilter*>& filters,
                                             const SUdpMessagesLimit&)
{
    qDeleteAll(filters);
    qWarning().noquote()
        << QStringLiteral("syslog subscription of monitor %1 ignored: syslog receiver is not available").arg(monitorId);
}

void CUnavailableLinkEngine::unsubscribeSyslog(int) {}

void CUnavailableLinkEngine::clearSyslogSubscriptions() {}

bool CUnavailableLinkEngine::scheduleReconnect(int, int)
{
    return false;
}
