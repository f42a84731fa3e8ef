#include "CScheduleManagerAgent.h"
#include "core/CNetworkMonitor.h"

CScheduleManagerAgent::CScheduleManagerAgent(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

bool CScheduleManagerAgent::init()
{
    return true;
}

bool CScheduleManagerAgent::runStep()
{
    waitForStop();
    return false;
}
