#include "CNetMonSysHeavy.h"
#include "CNetworkMonitor.h"

CNetMonSysHeavy::CNetMonSysHeavy(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysLight(parent, name)
    , m_bit(subsystemBit)
{
}

void CNetMonSysHeavy::terminateThread()
{
    terminateNow();
    CNetworkMonitor::setStopped(m_bit);
}

void CNetMonSysHeavy::run()
{
    bool ok = guardedInit();
    CNetworkMonitor::setInitialized(m_bit);
    m_startGate.acquire();
    bool threw;
    guardedStep("post init", [this] { postInit(); }, threw);
    if (threw)
        ok = false;
    if (!ok)
        CNetworkMonitor::reportInitFailure(name());
    do {
        while (guardedRunStep()) {
        }
    } while (!CNetworkMonitor::canStop(m_bit));
    guardedShutdown();
    CNetworkMonitor::setStopped(m_bit);
    m_endGate.acquire();
}
