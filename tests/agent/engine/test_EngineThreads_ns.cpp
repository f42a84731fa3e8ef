// The engine's threads in the running daemon: named as the system names them, gone after stop.
#include "support/TestPaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QStringList threadNames(qint64 pid)
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromLocal8Bit(comm.readAll()).trimmed();
    }
    return names;
}

TEST(EngineThreads, DaemonRunsEightTaskThreadsAndTheEngineHelpers)
{
    QProcess daemon;
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
    ASSERT_TRUE(daemon.waitForStarted(10000));
    const qint64 pid = daemon.processId();
    QStringList expected;
    for (int i = 1; i <= 8; ++i)
        expected << QStringLiteral("task thread %1").arg(i);
    expected << QStringLiteral("task manager") << QStringLiteral("task manager sc") << QStringLiteral("plugin manager");

    QElapsedTimer timer;
    timer.start();
    QStringList names;
    bool all = false;
    while (!all && timer.elapsed() < 20000) {
        QThread::msleep(100);
        names = threadNames(pid);
        all = true;
        for (const QString& e : expected)
            all = all && names.contains(e);
    }
    EXPECT_TRUE(all) << names.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(names.filter(QStringLiteral("task thread")).size(), 8);

    ::kill(static_cast<pid_t>(pid), SIGTERM);
    ASSERT_TRUE(daemon.waitForFinished(30000));
    EXPECT_EQ(daemon.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(daemon.exitCode(), 0);
}

}  // namespace
