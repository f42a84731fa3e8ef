#include "CTaskManager.h"
#include "core/CNetworkMonitor.h"

CTaskManager::CTaskManager(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

bool CTaskManager::init()
{
    return true;
}

bool CTaskManager::runStep()
{
    waitForStop();
    return false;
}
