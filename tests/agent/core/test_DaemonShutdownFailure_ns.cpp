#include "TestComponents.h"

#include "core/Daemon.h"
#include "core/ProcessOptions.h"

#include <QFile>

#include <gtest/gtest.h>
#include <cstdlib>

// The shutdown waits shrink to 2 %; this program runs with private daemon folders.
static const bool kScaled = [] {
    ::setenv("NETAGENTD_TEST_TIME_SCALE", "0.02", 1);
    return true;
}();

TEST(DaemonShutdownFailureDeathTest, FailedShutdownStillWritesTheStopLineAndExitsNonZero)
{
    ASSERT_TRUE(kScaled);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QString log = QStringLiteral("/var/log/corvane-agent/agent.log");
    QFile::remove(log);
    EXPECT_EXIT(
        {
            static QSemaphore never;
            logToStderr = false;
            stopRequested = true;   // the service loop ends at its first test
            runDaemon(testFactory([](const QString& name) {
                TestBehaviour b;
                if (name == QStringLiteral("task manager"))
                    b.shutdownBlocker = &never;
                return b;
            }));
        },
        ::testing::ExitedWithCode(2), "");

    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("Network Monitor Agent started (version 1.1 build 354 r), commit fce1bf668")));
    EXPECT_TRUE(lines.filter(QStringLiteral("warning: network monitor: first timeout in shutdown (:0, )")).size() == 1);
    EXPECT_TRUE(lines.filter(QStringLiteral("warning: service shutdown has failed (:0, )")).size() == 1);
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("Network Monitor Agent stopped (version 1.1 build 354 r)")));
}
