#include "ServiceThread.h"
#include "CNetworkMonitor.h"
#include "ProcessOptions.h"

#include "common/TestTimeScale.h"

#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

namespace {

constexpr int kServiceStepMs = 1000;

QMutex g_waitMutex;
QWaitCondition g_waitCond;

}

void ServiceThread::wake()
{
    QMutexLocker locker(&g_waitMutex);
    g_waitCond.wakeAll();
}

void ServiceThread::serve(const CNetworkMonitor::ComponentFactory& factory)
{
    createNetworkMonitor(nullptr, false, factory);
    while (!CNetworkMonitor::isShutdownFailed() && !CNetworkMonitor::hasFailed() && !stopRequested.load()) {
        QMutexLocker locker(&g_waitMutex);
        if (stopRequested.load())
            break;
        g_waitCond.wait(&g_waitMutex, static_cast<unsigned long>(zam::scaledMs(kServiceStepMs)));
    }
    destroyNetworkMonitor();
}
