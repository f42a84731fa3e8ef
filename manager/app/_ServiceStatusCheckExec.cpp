#include "_ServiceStatusCheckExec.h"

#include "_ServiceStatusCheck.h"

_ServiceStatusCheckExec::_ServiceStatusCheckExec(const QString& serviceName, const QString& scriptPath)
    : m_serviceName(serviceName), m_scriptPath(scriptPath)
{
}

void _ServiceStatusCheckExec::run()
{
    _ServiceStatusCheck check(m_serviceName, m_scriptPath);
    connect(&check, &_ServiceStatusCheck::error, this, &_ServiceStatusCheckExec::error);
    connect(&check, &_ServiceStatusCheck::serviceIsRunning, this, &_ServiceStatusCheckExec::serviceIsRunning);
    connect(&check, &_ServiceStatusCheck::serviceNotRunning, this, &_ServiceStatusCheckExec::serviceNotRunning);
    check.startChecking();
    exec();
}
