#include "support/CapturedMessages.h"
#include "TestComponents.h"
#include "support/EventLoopWait.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <cstdlib>

static const bool kScaled = [] {
    ::setenv("NETAGENTD_TEST_TIME_SCALE", "0.02", 1);
    return true;
}();

// A stop that comes while a component hangs in its init must not wait for ever.
TEST(NetworkMonitorStuckInit, ShutdownWaitForTheStartIsBounded)
{
    ASSERT_TRUE(kScaled);
    static QSemaphore blocker;
    auto behaviour = [](const QString& name) {
        TestBehaviour b;
        if (name == QStringLiteral("control server"))
            b.initBlocker = &blocker;
        return b;
    };
    CapturedMessages messages;
    createNetworkMonitor(nullptr, false, testFactory(behaviour));
    ASSERT_TRUE(waitUntil([] { return EventLog::indexOf(QStringLiteral("init control server")) >= 0; }, 20000));
    QElapsedTimer timer;
    timer.start();
    destroyNetworkMonitor();
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_TRUE(CNetworkMonitor::isShutdownFailed());
    const QStringList lines = CapturedMessages::lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("warning: service shutdown has failed")));
    // The others are let through their start gate and stop on their own.
    EXPECT_TRUE(waitUntil([] { return EventLog::with(QStringLiteral("shutdown ")).size() == 5; }, 20000));
    EXPECT_FALSE(CNetworkMonitor::isStopped(CNetworkMonitor::ControlBit));
    // Let the stuck component finish too, so the process never exits under a running thread:
    // once it reports stopped, all it does is wait at its end gate.
    blocker.release();
    EXPECT_TRUE(waitUntil([] { return CNetworkMonitor::isStopped(CNetworkMonitor::ControlBit); }, 20000));
    EXPECT_EQ(EventLog::with(QStringLiteral("shutdown ")).size(), 6);
}
