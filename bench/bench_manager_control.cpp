// The manager's cost at idle with its one-second status checks through the init script, and the
// time from "Start agent" (and "Stop agent") to the new state shown in the tray.
// Starts the real daemon: run it in private namespaces, from the build tree:
//   bash tests/support/private-paths.sh build/bench/bench_manager_control [idle seconds]
#include "app/AgentStatusController.h"
#include "app/MyApplication.h"

#include "ProcessUsage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {


template <class Condition>
double waitMs(Condition condition, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick; // bounds the wait for the next look without spinning
    tick.start(2);
    while (!condition() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return condition() ? timer.nsecsElapsed() / 1e6 : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("ZAM_DAEMON_PIDFILE", dir.filePath("netagentd.pid").toUtf8());
    MyApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? atoi(argv[1]) : 10;
    const QString script = QCoreApplication::applicationDirPath() + "/../bin/DaemonInitialization.sh";

    AgentStatusController controller(nullptr, script);
    waitMs([&] { return controller.runningState() == 0; }, 5000);

    const double cpu0 = processCpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(idleSeconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double idleCpu = processCpuSeconds() - cpu0;
    std::printf("idle: %d s, CPU %.1f ms/s (process and script runs), VmRSS %ld KiB, cores %ld\n", idleSeconds,
                idleCpu * 1000 / idleSeconds, processRssKb(), sysconf(_SC_NPROCESSORS_ONLN));

    for (int round = 0; round < 3; ++round) {
        controller.serviceManager().startService();
        const double started = waitMs([&] { return controller.runningState() == 1; }, 30000);
        controller.serviceManager().stopService();
        const double stopped = waitMs([&] { return controller.runningState() == 0; }, 60000);
        std::printf("round %d: start to state shown %.0f ms, stop to state shown %.0f ms %s\n", round + 1, started, stopped,
                    qPrintable(controller.serviceManager().lastError()));
    }
    return 0;
}
