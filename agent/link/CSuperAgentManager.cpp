#include "CSuperAgentManager.h"
#include "CAgentManager.h"
#include "core/CNetworkMonitor.h"

CSuperAgentManager::CSuperAgentManager(QObject* parent, const QString& name, int subsystemBit,
                                       CAgentManager* agentManager)
    : CNetMonSysHeavy(parent, name, subsystemBit)
    , m_agentManager(agentManager)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

bool CSuperAgentManager::init()
{
    if (!m_agentManager)
        reportFatalError(QStringLiteral("cannot create agent manager"));
    return true;
}

void CSuperAgentManager::postInit()
{
    if (m_agentManager)
        m_agentManager->start();
}

bool CSuperAgentManager::runStep()
{
    m_stopSignal.acquire();
    return false;
}

void CSuperAgentManager::onStop()
{
    m_stopSignal.release();
}

void CSuperAgentManager::shutdown()
{
    if (m_agentManager)
        m_agentManager->stopAndWait();
}

void CSuperAgentManager::onTerminate()
{
    if (m_agentManager)
        m_agentManager->terminate();
}
