#include "CAgentWorkerThreadSlots.h"

#include "CAgentWorkerThread.h"

void CAgentWorkerThreadSlots::onNewItem()
{
    m_thread->runNextTask();
}

void CAgentWorkerThreadSlots::onStopped()
{
    m_thread->exit(0);
}

void CAgentWorkerThreadSlots::onPingTimer()
{
    m_thread->checkPing();
}
