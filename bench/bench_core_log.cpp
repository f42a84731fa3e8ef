// Log lines per second written through writeLogLine from 1 and 8 threads into a file.
#include "core/LogFile.h"
#include "core/ProcessOptions.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* g_dir = nullptr;

void BM_LogLines(benchmark::State& state)
{
    if (state.thread_index() == 0) {
        logToStderr = false;
        lockLogMutex();
        openLogFile(g_dir->filePath(QStringLiteral("agent.log")));
        unlockLogMutex();
    }
    const QString text = QStringLiteral("task thread 3: polling monitor 12345 of type PING at 127.0.0.1 done in 12 ms");
    for (auto _ : state)
        writeLogLine(text);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        lockLogMutex();
        closeLogFile();
        unlockLogMutex();
    }
}
BENCHMARK(BM_LogLines)->Threads(1)->Threads(8)->UseRealTime();

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
