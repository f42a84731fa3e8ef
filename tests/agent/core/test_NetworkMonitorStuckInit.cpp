#include "CapturedMessages.h"
#include "TestComponents.h"

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
    QThread::msleep(100);
    QElapsedTimer timer;
    timer.start();
    destroyNetworkMonitor();
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_TRUE(CNetworkMonitor::isShutdownFailed());
    const QStringList lines = CapturedMessages::lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("warning: service shutdown has failed")));
    // The others are let through their start gate and stop on their own.
    for (int i = 0; i < 100 && EventLog::with(QStringLiteral("shutdown ")).size() < 5; ++i)
        QThread::msleep(50);
    EXPECT_EQ(EventLog::with(QStringLiteral("shutdown ")).size(), 5);
    // Let the stuck component finish too, so the process never exits under a running thread.
    blocker.release();
    for (int i = 0; i < 100 && EventLog::with(QStringLiteral("shutdown ")).size() < 6; ++i)
        QThread::msleep(50);
    QThread::msleep(100);
}
