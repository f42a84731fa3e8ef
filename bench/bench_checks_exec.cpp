// Cost of starting a program through the runner: /bin/true, and a child writing 1 MB, next to
// QProcess doing the same as a yardstick.

#include "CExecProgram.h"

#include <QCoreApplication>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {

void BM_RunnerBinTrue(benchmark::State& state)
{
    int failed = 0;
    for (auto _ : state) {
        CExecProgram runner(nullptr, nullptr);
        if (!runner.exec(QStringLiteral("/bin/true"), {}, 10000, QString()) || runner.retCode() != 0)
            ++failed;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = failed;
}
BENCHMARK(BM_RunnerBinTrue)->UseRealTime();

void BM_RunnerOneMegabyteOutput(benchmark::State& state)
{
    for (auto _ : state) {
        CExecProgram runner(nullptr, nullptr);
        runner.exec(QStringLiteral("/usr/bin/head"), {QStringLiteral("-c"), QStringLiteral("1000000"),
                                                      QStringLiteral("/dev/zero")},
                    10000, QString());
        benchmark::DoNotOptimize(runner.getStdOut().size());
    }
    state.SetBytesProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_RunnerOneMegabyteOutput)->UseRealTime();

void BM_QProcessBinTrue(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral("/bin/true"), QStringList());
        p.waitForFinished(10000);
        benchmark::DoNotOptimize(p.exitCode());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QProcessBinTrue)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
