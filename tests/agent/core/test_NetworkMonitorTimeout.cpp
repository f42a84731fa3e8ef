#include "support/CapturedMessages.h"
#include "TestComponents.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <cstdlib>

// The shutdown waits shrink to 2 % (27000 ms -> 540 ms, 1000 ms -> 20 ms).
static const bool kScaled = [] {
    ::setenv("NETAGENTD_TEST_TIME_SCALE", "0.02", 1);
    return true;
}();

TEST(NetworkMonitorTimeout, ComponentThatNeverStopsFailsTheShutdownAndKeepsTheRoot)
{
    ASSERT_TRUE(kScaled);
    static QSemaphore blocker;
    auto behaviour = [](const QString& name) {
        TestBehaviour b;
        if (name == QStringLiteral("schedule manager"))
            b.shutdownBlocker = &blocker;
        return b;
    };
    CapturedMessages messages;
    createNetworkMonitor(nullptr, true, testFactory(behaviour));
    QElapsedTimer timer;
    timer.start();
    destroyNetworkMonitor();
    EXPECT_GE(timer.elapsed(), 500);

    const QStringList lines = CapturedMessages::lines();
    const int first = lines.indexOf(QStringLiteral("warning: network monitor: first timeout in shutdown"));
    const int failed = lines.indexOf(QStringLiteral("warning: service shutdown has failed"));
    EXPECT_GE(first, 0);
    EXPECT_GT(failed, first);
    EXPECT_TRUE(CNetworkMonitor::isShutdownFailed());
    EXPECT_NO_THROW(networkMonitor());   // kept alive with its threads
    destroyNetworkMonitor();             // does nothing after a failed shutdown
    EXPECT_NO_THROW(networkMonitor());
    blocker.release();
}
