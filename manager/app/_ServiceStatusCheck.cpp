#include "_ServiceStatusCheck.h"

#include "InitScript.h"
#include "common/TestTimeScale.h"

#include <QTimerEvent>

_ServiceStatusCheck::_ServiceStatusCheck(const QString& serviceName, const QString& scriptPath)
    : m_serviceName(serviceName), m_scriptPath(scriptPath)
{
}

void _ServiceStatusCheck::startChecking() { m_timerId = startTimer(zam::scaledMs(1000)); }

void _ServiceStatusCheck::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId)
        return;
    const InitScriptResult result = runInitScript(m_scriptPath, QStringLiteral("-status"), initscript::kStatusTimeoutMs);
    if (!result.ran)
        emit error(result.error);
    if (result.ran && result.answer == 1)
        emit serviceIsRunning();
    else
        emit serviceNotRunning();
}
