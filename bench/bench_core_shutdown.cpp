// Time from SIGTERM to the exit of an idle netagentd (started in private folders).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>

namespace {

// Empty tmpfs folders over the daemon's fixed paths, then the command.
const char* const kPrivateFolders =
    "set -e; for d in /etc/opt/corvane-agent /var/log/corvane-agent; do mkdir -p $d; "
    "mount -t tmpfs -o mode=0755 tmpfs $d; done; exec \"$@\"";

// <build>/bench/.. is the build tree.
QString daemonPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/netagentd");
}

void BM_SigtermToExit(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess daemon;
        // unshare and sh exec into the daemon, so the pid is the daemon's.
        daemon.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                                                 QStringLiteral("sh"), QStringLiteral("-c"), QString::fromLatin1(kPrivateFolders),
                                                 QStringLiteral("private"), daemonPath(), QStringLiteral("-debug")});
        if (!daemon.waitForStarted(10000)) {
            state.SkipWithError("cannot start the daemon");
            return;
        }
        QByteArray err;
        QElapsedTimer wait;
        wait.start();
        while (!err.contains("started (version") && wait.elapsed() < 15000) {
            daemon.waitForReadyRead(100);
            err += daemon.readAllStandardError();
        }
        QThread::msleep(500);   // idle, all components up
        const auto begin = std::chrono::steady_clock::now();
        ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
        daemon.waitForFinished(60000);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        if (daemon.exitCode() != 0)
            state.SkipWithError("daemon did not exit cleanly");
    }
}
BENCHMARK(BM_SigtermToExit)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
