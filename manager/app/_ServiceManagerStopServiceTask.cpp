#include "_ServiceManagerStopServiceTask.h"

#include "InitScript.h"

_ServiceManagerStopServiceTask::_ServiceManagerStopServiceTask(const QString& serviceName, const QString& scriptPath)
    : m_serviceName(serviceName), m_scriptPath(scriptPath)
{
}

void _ServiceManagerStopServiceTask::stopDaemon()
{
    const InitScriptResult result = runInitScript(m_scriptPath, QStringLiteral("-stop"), initscript::kStopTimeoutMs);
    if (result.ran)
        emit stopped();
    else
        emit error(result.error);
}
