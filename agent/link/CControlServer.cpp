#include "CControlServer.h"
#include "core/CNetworkMonitor.h"

CControlServer::CControlServer(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

bool CControlServer::init()
{
    return true;
}

bool CControlServer::runStep()
{
    waitForStop();
    return false;
}
