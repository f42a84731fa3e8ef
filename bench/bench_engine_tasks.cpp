// Throughput of the task engine (post -> pool -> done on 8 task threads) and the cost of one
// call into the checks library behind the stack guard.

#include "engine/CPluginLibrary.h"
#include "engine/CPluginStackGuard.h"
#include "engine/CTask.h"
#include "engine/CTaskManager.h"

#include <QCoreApplication>
#include <QMutex>
#include <QWaitCondition>
#include <atomic>
#include <benchmark/benchmark.h>

namespace {

// Counts completed tasks and wakes the bench when a batch is through.
struct Completion
{
    QMutex mutex;
    QWaitCondition cond;
    long done = 0;

    void add()
    {
        QMutexLocker locker(&mutex);
        ++done;
        cond.wakeAll();
    }
    void waitFor(long target)
    {
        QMutexLocker locker(&mutex);
        while (done < target)
            cond.wait(&mutex);
    }
};

class EmptyTask : public CTask
{
public:
    explicit EmptyTask(Completion* completion)
        : CTask(QStringLiteral("empty"))
        , m_completion(completion)
    {
    }
    void done(CTaskThread*) override { m_completion->add(); }
    bool isDeadlocked(int) override { return false; }

private:
    Completion* m_completion;
};

void BM_EmptyTasksThroughThePool(benchmark::State& state)
{
    const int batch = static_cast<int>(state.range(0));
    auto* manager = new CTaskManager(nullptr, QStringLiteral("task manager"), 4);
    manager->start();
    manager->releaseStartGate();
    manager->postSetLimits(8, 0);   // eight task threads, no more
    Completion completion;
    long target = 0;
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            manager->postTask(CTaskPtr(new EmptyTask(&completion)));
        target += batch;
        completion.waitFor(target);
    }
    state.SetItemsProcessed(state.iterations() * batch);
    manager->stop();
    manager->releaseEndGate();
    manager->wait();
    delete manager;
}
BENCHMARK(BM_EmptyTasksThroughThePool)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GuardedLibraryCall(benchmark::State& state)
{
    CPluginLibraryPtr lib(new CPluginLibrary(1));
    int types = 0;
    int actions = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lib->getCount(&types, &actions));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GuardedLibraryCall);

void BM_GuardedPollOfRowWithoutCode(benchmark::State& state)
{
    CPluginLibraryPtr lib(new CPluginLibrary(1));
    stCoreZamThreadContext* tctx = nullptr;
    lib->initThread(&tctx);
    stZamMonitor mon{};
    mon.typeIndex = 10;
    const QString name = QStringLiteral("windows service");
    for (auto _ : state)
        benchmark::DoNotOptimize(lib->poll(tctx, &mon, name));
    state.SetItemsProcessed(state.iterations());
    lib->termThread(tctx);
}
BENCHMARK(BM_GuardedPollOfRowWithoutCode);

void BM_StackGuardAlone(benchmark::State& state)
{
    for (auto _ : state) {
        CPluginStackGuard guard("plugin_get_count");
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StackGuardAlone);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
