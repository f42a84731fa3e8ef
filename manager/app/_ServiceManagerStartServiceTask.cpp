#include "_ServiceManagerStartServiceTask.h"

#include "InitScript.h"

_ServiceManagerStartServiceTask::_ServiceManagerStartServiceTask(const QString& serviceName, const QString& scriptPath)
    : m_serviceName(serviceName), m_scriptPath(scriptPath)
{
}

void _ServiceManagerStartServiceTask::startDaemon()
{
    const InitScriptResult result = runInitScript(m_scriptPath, QStringLiteral("-start"), initscript::kStartTimeoutMs);
    if (result.ran)
        emit started();
    else
        emit error(result.error);
}
