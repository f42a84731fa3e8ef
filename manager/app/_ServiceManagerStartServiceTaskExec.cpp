#include "_ServiceManagerStartServiceTaskExec.h"

#include "_ServiceManagerStartServiceTask.h"

_ServiceManagerStartServiceTaskExec::_ServiceManagerStartServiceTaskExec(const QString& serviceName,
                                                                       const QString& scriptPath)
    : m_serviceName(serviceName), m_scriptPath(scriptPath)
{
}

void _ServiceManagerStartServiceTaskExec::run()
{
    _ServiceManagerStartServiceTask task(m_serviceName, m_scriptPath);
    connect(&task, &_ServiceManagerStartServiceTask::started, this, &_ServiceManagerStartServiceTaskExec::serviceIsRunning);
    connect(&task, &_ServiceManagerStartServiceTask::error, this, &_ServiceManagerStartServiceTaskExec::error);
    task.startDaemon();
}
