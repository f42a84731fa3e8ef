// Throughput of the background resolver for 1000 distinct host names, each posted once per
// round and each answered and reported.
//
// BM_ResolverSystemHosts resolves through the system resolver against a private /etc/hosts
// that holds the 1000 names (bind-mounted; run it under
//   unshare -m --propagation private build/bench/bench_engine_resolver
// otherwise it reports an error and skips). BM_ResolverHostsFileLookup injects a lookup that
// reads a generated hosts-format file for every lookup, as the system's "files" source does.
// BM_ResolverInstantLookup is the resolver's own cost (hand-over to the lookup thread and
// back); BM_GetIpByHostnameHosts is the bare lookup without the resolver, for comparison.
#include "engine/CAsyncResolver.h"
#include "common/WebUtils.h"
#include "support/PrivateNameFiles.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSemaphore>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <memory>

namespace {

constexpr int kNames = 1000;

QString nameOf(int i)
{
    return QStringLiteral("host%1.bench.test").arg(i);
}

QByteArray hostsText()
{
    QByteArray text = "127.0.0.1 localhost\n";
    for (int i = 0; i < kNames; ++i)
        text += QStringLiteral("127.0.%1.%2 %3\n").arg(i / 250).arg(i % 250 + 1).arg(nameOf(i)).toLatin1();
    return text;
}

// The first address of the name in a hosts-format file, read from disk on each call.
QString lookupInHostsFile(const QString& path, const QString& name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray wanted = name.toLatin1();
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        for (int i = 1; i < fields.size(); ++i)
            if (fields.at(i) == wanted)
                return QString::fromLatin1(fields.at(0));
    }
    return QString();
}

void runRounds(benchmark::State& state, CAsyncResolver& resolver, QSemaphore& reported)
{
    resolver.start();
    for (auto _ : state) {
        for (int i = 0; i < kNames; ++i)
            resolver.postAddForLookup(kResolveReqIdNoWaiter, false, nameOf(i), QString());
        reported.acquire(kNames);
    }
    resolver.stop();
    resolver.wait();
    state.SetItemsProcessed(state.iterations() * kNames);
}

void BM_ResolverSystemHosts(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString error = privatenames::install(dir.path(), hostsText());
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
        for (auto _ : state) {
        }
        return;
    }
    QSemaphore reported;
    CAsyncResolver resolver;
    resolver.setReporter([&reported](int, SResolveReqId, bool, const QString&, const QString&) { reported.release(); });
    runRounds(state, resolver, reported);
}
BENCHMARK(BM_ResolverSystemHosts)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResolverHostsFileLookup(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hosts"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(hostsText());
    file.close();
    QSemaphore reported;
    CAsyncResolver resolver;
    resolver.setLookups([](const QString&, const QString&) { return QString(); },
                        [path](const QString& name, const QString&) { return lookupInHostsFile(path, name); });
    resolver.setReporter([&reported](int, SResolveReqId, bool, const QString&, const QString&) { reported.release(); });
    runRounds(state, resolver, reported);
}
BENCHMARK(BM_ResolverHostsFileLookup)->Unit(benchmark::kMillisecond)->UseRealTime();

// The resolver's own cost: a lookup that answers at once.
void BM_ResolverInstantLookup(benchmark::State& state)
{
    QSemaphore reported;
    CAsyncResolver resolver;
    resolver.setLookups([](const QString&, const QString&) { return QString(); },
                        [](const QString&, const QString&) { return QStringLiteral("127.0.0.1"); });
    resolver.setReporter([&reported](int, SResolveReqId, bool, const QString&, const QString&) { reported.release(); });
    runRounds(state, resolver, reported);
}
BENCHMARK(BM_ResolverInstantLookup)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetIpByHostnameHosts(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString error = privatenames::install(dir.path(), hostsText());
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state)
        for (int i = 0; i < kNames; ++i)
            benchmark::DoNotOptimize(WebUtils::getIpByHostname(nameOf(i), QString()));
    state.SetItemsProcessed(state.iterations() * kNames);
}
BENCHMARK(BM_GetIpByHostnameHosts)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
