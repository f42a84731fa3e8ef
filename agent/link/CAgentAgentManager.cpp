#include "CAgentAgentManager.h"
#include "CControlServer.h"

#include "common/NotificationFixedSize.h"
#include "core/CNetworkMonitor.h"

#include <QMutexLocker>
#include <exception>

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

void CAgentAgentManager::onLinkStatusRequest()
{
    QMutexLocker locker(&m_linkStatusMutex);
    broadcastLinkStatus();
}

bool CAgentAgentManager::hasCurrentLink() const
{
    QMutexLocker locker(&m_linkStatusMutex);
    return m_linkExists;
}

void CAgentAgentManager::setLinkStatus(bool linkExists)
{
    QMutexLocker locker(&m_linkStatusMutex);
    if (m_linkExists == linkExists)
        return;
    m_linkExists = linkExists;
    broadcastLinkStatus();
}

void CAgentAgentManager::broadcastLinkStatus()
{
    const NotificationPtr status(
        new NotificationFixedSize(NotificationFixedSize::LinkStatus, m_linkExists ? 1 : 0, 0, 0));
    try {
        controlServer()->sendNotification(status);
    } catch (const std::exception&) {
        // No control server (yet or any more): nobody to tell.
    }
}
