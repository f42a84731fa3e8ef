#include "_ServiceManagerStopServiceTaskExec.h"

#include "_ServiceManagerStopServiceTask.h"

_ServiceManagerStopServiceTaskExec::_ServiceManagerStopServiceTaskExec(const QString& serviceName,
                                                                       const QString& scriptPath)
    : m_serviceName(serviceName), m_scriptPath(scriptPath)
{
}

void _ServiceManagerStopServiceTaskExec::run()
{
    _ServiceManagerStopServiceTask task(m_serviceName, m_scriptPath);
    connect(&task, &_ServiceManagerStopServiceTask::stopped, this, &_ServiceManagerStopServiceTaskExec::stopped);
    connect(&task, &_ServiceManagerStopServiceTask::error, this, &_ServiceManagerStopServiceTaskExec::error);
    task.stopDaemon();
}
