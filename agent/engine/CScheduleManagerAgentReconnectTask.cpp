#include "engine/CScheduleManagerAgentReconnectTask.h"

#include "engine/CScheduleManagerBase.h"

CScheduleManagerAgentReconnectTask::CScheduleManagerAgentReconnectTask(int agentId)
    : CScheduleManagerTask(CTaskPtr(), QStringLiteral("reconnect agent %1").arg(agentId))
    , m_agentId(agentId)
{
}

void CScheduleManagerAgentReconnectTask::handOver(CScheduleManagerBase* manager, const CScheduleManagerTaskPtr& self)
{
    manager->reconnectDue(m_agentId);
    manager->postRemoveTask(self);
}
