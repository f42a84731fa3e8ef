#include "SyslogLineManager.h"
#include "core/CNetworkMonitor.h"

SyslogLineManager::SyslogLineManager(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

bool SyslogLineManager::init()
{
    return true;
}

bool SyslogLineManager::runStep()
{
    waitForStop();
    return false;
}
