#include "CConfigManagerAgent.h"
#include "core/CNetworkMonitor.h"

CConfigManagerAgent::CConfigManagerAgent(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

bool CConfigManagerAgent::init()
{
    return true;
}

bool CConfigManagerAgent::runStep()
{
    waitForStop();
    return false;
}
