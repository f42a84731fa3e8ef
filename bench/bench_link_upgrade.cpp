// An upgrade of 50 MiB: from the complete frame to the status answer's frame (decode, private
// folder and file, start of the package). Counter peak_extra_MiB: resident memory above the
// level before the frame was handled (VmHWM after resetting it).
#include "link/AgentControlMessages.h"
#include "link/AgentMessageDecoder.h"
#include "link/CAgentUpgrade.h"
#include "link/UpgradePackage.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

qint64 statusKiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void BM_Upgrade50MiB(benchmark::State& state)
{
    QByteArray package("#!/bin/sh\nexit 0\n");
    package.append(QByteArray(50 * 1024 * 1024 - package.size(), '#'));
    const QByteArray frame = CUpgradeAgentMessage(package).toFrame();
    package.clear();
    QTemporaryDir tmp;
    double peakExtraMiB = 0;
    for (auto _ : state) {
        CAgentUpgrade upgrade(nullptr);
        upgrade.setTempDir(tmp.path());
        resetPeak();
        const qint64 before = statusKiB("VmRSS:");
        QString error;
        CAgentMessagePtr message = decodeAgentMessage(frame.constData(), frame.size(), error, false);
        if (!message) {
            state.SkipWithError("frame not decoded");
            break;
        }
        CAgentMessagePtr answer =
            upgrade.handleUpgrade(static_cast<CUpgradeAgentMessage*>(message.data())->upgradeData);
        message.reset();
        const QByteArray answerFrame = answer ? answer->toFrame() : QByteArray();
        benchmark::DoNotOptimize(answerFrame.data());
        peakExtraMiB = qMax(peakExtraMiB, (statusKiB("VmHWM:") - before) / 1024.0);
        if (!answer || static_cast<CAgentStatusMessage*>(answer.data())->statusCode != 1) {
            state.SkipWithError("upgrade not started");
            break;
        }
        state.PauseTiming();
        removeLeftoverUpgradePackages(tmp.path());
        state.ResumeTiming();
    }
    state.counters["peak_extra_MiB"] = peakExtraMiB;
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_Upgrade50MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
