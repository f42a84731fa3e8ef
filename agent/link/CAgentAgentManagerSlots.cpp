#include "CAgentAgentManagerSlots.h"

#include "CAgentManager.h"

void CAgentAgentManagerSlots::onNewItem()
{
    m_manager->processLinkEvents();
}

void CAgentAgentManagerSlots::onStopped()
{
    m_manager->onStopped();
}

void CAgentAgentManagerSlots::onAgentLinkThreadFinished()
{
    m_manager->onAgentLinkThreadFinished(sender());
}
