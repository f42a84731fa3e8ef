#include "ServiceThread.h"
#include "CNetworkMonitor.h"
#include "FreeHeapRelease.h"
#include "ProcessOptions.h"

#include "common/TestTimeScale.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

namespace {

constexpr int kServiceStepMs = 1000;
// how often the idle loop gives free heap pages back, and how much must be free to bother
constexpr int kHeapReleaseMs = 30000;
constexpr std::size_t kHeapReleaseMinFree = 1u << 20;

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
    QElapsedTimer sinceRelease;
    sinceRelease.start();
    while (!CNetworkMonitor::isShutdownFailed() && !CNetworkMonitor::hasFailed() && !stopRequested.load()) {
        if (sinceRelease.elapsed() >= zam::scaledMs(kHeapReleaseMs)) {
            heap::releaseFreePages(kHeapReleaseMinFree);
            sinceRelease.restart();
        }
        QMutexLocker locker(&g_waitMutex);
        if (stopRequested.load())
            break;
        g_waitCond.wait(&g_waitMutex, static_cast<unsigned long>(zam::scaledMs(kServiceStepMs)));
    }
    destroyNetworkMonitor();
}
