// The manager's main window: time from start (application object, start-up, controller, window)
// to its first paint, idle CPU and memory with the window open, and one theme switch with the
// window rebuilt and painted again. Uses the settings folder and the init script beside it:
//   bash tests/support/private-paths.sh xvfb-run -a build/bench/bench_manager_window [idle seconds]
#include "app/AgentStatusController.h"
#include "app/MainWindow.h"
#include "app/MyApplication.h"

#include "ProcessUsage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPixmapCache>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Quits its loop on the first paint of the watched window.
struct FirstPaint : QObject
{
    QEventLoop loop;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            loop.quit();
        return false;
    }
    void waitFor(QWidget* window)
    {
        window->installEventFilter(this);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        window->removeEventFilter(this);
    }
};


} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    MyApplication app(argc, argv);
    app.startUp();
    const int idleSeconds = argc > 1 ? atoi(argv[1]) : 10;
    AgentStatusController controller(nullptr, QCoreApplication::applicationDirPath() + "/../bin/DaemonInitialization.sh");
    MainWindow* window = new MainWindow(&controller);
    window->setWindowFlags(mainWindowFlags());
    window->show();
    FirstPaint paint;
    paint.waitFor(window);
    std::printf("start to first paint: %.1f ms\n", clock.nsecsElapsed() / 1e6);

    const double cpu0 = processCpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(idleSeconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    std::printf("idle %d s with the window open: CPU %.1f ms/s (with the status script runs), VmRSS %ld KiB, cores %ld\n",
                idleSeconds, (processCpuSeconds() - cpu0) * 1000 / idleSeconds, processRssKb(), sysconf(_SC_NPROCESSORS_ONLN));

    for (const char* theme : {"dark", "light"}) {
        clock.restart();
        app.applyTheme(theme);
        rebuildMainWindow(window, &controller);
        FirstPaint again;
        again.waitFor(window);
        std::printf("theme switch to %s, window rebuilt and painted: %.1f ms\n", theme, clock.nsecsElapsed() / 1e6);
    }
    // repaints of the whole window, from the pixmap cache and with it emptied before each one
    for (const char* theme : {"light", "dark"}) {
        app.applyTheme(theme);
        rebuildMainWindow(window, &controller);
        // a window not yet exposed repaints nothing: measure once it has painted
        FirstPaint exposed;
        exposed.waitFor(window);
        if (!window->isVisible() || !window->testAttribute(Qt::WA_Mapped)) {
            std::printf("%s theme: the window was not mapped, no repaint figures\n", theme);
            continue;
        }
        for (bool cold : {false, true}) {
            const int rounds = 200;
            clock.restart();
            for (int i = 0; i < rounds; ++i) {
                if (cold)
                    QPixmapCache::clear();
                window->repaint();
            }
            std::printf("%s theme, %s pixmap cache: %.0f repaints/s\n", theme, cold ? "cold" : "warm",
                        rounds / (clock.nsecsElapsed() / 1e9));
        }
    }
    delete window;
    return 0;
}
