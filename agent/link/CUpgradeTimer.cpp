#include "CUpgradeTimer.h"

#include "CAgentUpgrade.h"

CUpgradeTimer::CUpgradeTimer(CAgentUpgrade* owner) : QTimer(owner), m_owner(owner)
{
    setSingleShot(true);
    connect(this, &QTimer::timeout, this, &CUpgradeTimer::onTimeout);
}

void CUpgradeTimer::onTimeout()
{
    m_owner->onUpgradeTimerTimeout();
}
