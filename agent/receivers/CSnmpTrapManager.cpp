#include "CSnmpTrapManager.h"
#include "core/CNetworkMonitor.h"

CSnmpTrapManager::CSnmpTrapManager(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

bool CSnmpTrapManager::init()
{
    return true;
}

bool CSnmpTrapManager::runStep()
{
    waitForStop();
    return false;
}
