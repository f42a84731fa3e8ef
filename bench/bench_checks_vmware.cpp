// VMware client against the stand-in ESXi server (tests/support/VMwareStandIn) on a free port
// of 127.0.0.1: counter exchanges per second of one logged-in client, and 100 host monitors
// polling at once (connect, find the host, read a counter), each on its own thread, with the
// resident memory each client adds. No peer tool exists for this; the figures stand alone.

#include "ProcessUsage.h"
#include "VMware/VMwareClient.h"
#include "support/VMwareStandIn.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

VMwareStandIn* g_server = nullptr;

std::unique_ptr<VMwareClient> hostClient()
{
    auto client = std::make_unique<VMwareClient>();
    VMwareObject host;
    if (!client->connectToServer(g_server->address(), QStringLiteral("root"), QStringLiteral("secret"))
        || !client->getHostObject(host))
        return nullptr;
    client->setObject(host);
    return client;
}

void BM_CachedSessionExchange(benchmark::State& state)
{
    g_server->setIndented(state.range(0) != 0);
    auto client = hostClient();
    if (!client) {
        state.SkipWithError("cannot connect to the stand-in");
        return;
    }
    qint64 value = 0;
    for (auto _ : state) {
        if (!client->getResult(1, 10, value))
            state.SkipWithError(qPrintable(client->getError()));
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["cores"] = static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN));
    g_server->setIndented(false);
}
BENCHMARK(BM_CachedSessionExchange)->Arg(0)->Arg(1)->ArgName("indented")->UseRealTime();

void BM_HostMonitorsAtOnce(benchmark::State& state)
{
    const int monitors = static_cast<int>(state.range(0));
    double kbPerClient = 0;
    int failed = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<VMwareClient>> clients(static_cast<size_t>(monitors));
        std::atomic<int> failures{0};
        const long before = processRssKb();
        std::vector<std::thread> threads;
        for (int i = 0; i < monitors; ++i) {
            threads.emplace_back([&, i] {
                clients[static_cast<size_t>(i)] = hostClient();
                qint64 value = 0;
                if (!clients[static_cast<size_t>(i)] || !clients[static_cast<size_t>(i)]->getResult(1, 10, value))
                    ++failures;
            });
        }
        for (std::thread& t : threads)
            t.join();
        state.PauseTiming();
        kbPerClient = static_cast<double>(processRssKb() - before) / monitors;
        failed = failures.load();
        clients.clear();  // each logs out
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * monitors);
    state.counters["threads"] = monitors;
    state.counters["KB_per_client"] = kbPerClient;
    state.counters["failed"] = failed;
    state.counters["cores"] = static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN));
}
BENCHMARK(BM_HostMonitorsAtOnce)->Arg(100)->ArgName("monitors")->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    VMwareStandIn server(0);
    if (!server.start()) {
        std::fprintf(stderr, "stand-in: %s\n", qPrintable(server.error()));
        return 1;
    }
    g_server = &server;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
