#include "CAgentAgentManager.h"

CAgentAgentManager::CAgentAgentManager(QObject* parent, const QString& name, int subsystemBit)
    : CAgentManager(parent, name)
    , m_bit(subsystemBit)
{
}

bool CAgentAgentManager::sendPollResult(int)
{
    return true;
}

void CAgentAgentManager::sendResolveResponse(int, int, bool, const QString&, const QString&)
{
}

void CAgentAgentManager::sendMonitorEvent(int, const QExplicitlySharedDataPointer<CMonitorEvent>&)
{
}

void CAgentAgentManager::sendExtendedCaps(int)
{
}

void CAgentAgentManager::requestReconnect()
{
}
