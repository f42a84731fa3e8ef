// VMware client against the stand-in ESXi server (tests/support/VMwareStandIn) on a free port
// of 127.0.0.1: counter exchanges per second of one logged-in client, and 100 host monitors
// polling at once (connect, find the host, read a counter), each on its own thread, with the
// resident memory each client adds. Then the three monitor types through the library: polls
// per second with the cached client and with a new login each time (the invalidation a poll
// without a monitor id gets, which also logs out), and one enumeration of 1000 machines (one
// listing plus one power-state exchange per machine). No peer tool exists for this; the
// figures stand alone.

#include "BenchPluginHost.h"
#include "ProcessUsage.h"
#include "VMware/VMwareClient.h"
#include "support/VMwareStandIn.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
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

std::unique_ptr<BenchMonitor> vmwareMonitor(unsigned type, int mode = 0)
{
    const QByteArray address = g_server->address().toLatin1();
    auto m = std::make_unique<BenchMonitor>(type, 30000, address.constData());
    m->mon.mode = mode;
    // host: CPU usage in percent; machine vm1: CPU usage in MHz; datastore ds1: capacity in GB
    const int metric = type == 44 ? 20 : 1;
    const int unit = type == 42 ? 10 : type == 43 ? 1 : 5;
    m->add("Metric", 'e', metric);
    for (const char* u : {"CPU measurement units", "CPU measurement units with percent", "Data measurement units"})
        m->add(u, 'e', unit);
    if (type == 43)
        m->add("Virtual Machine Name", 's', 0, "vm1\x1E" "vm1\x1E" "poweredOn\x1E" "vm-1");
    if (type == 44)
        m->add("Datastore Name", 's', 0, "ds1\x1E" "ds1\x1E" "datastore-1");
    m->add("User Name", 'l', 0, "root");
    m->add("Password", 'p', 0, "secret");
    return m;
}

// Arguments: monitor type, 1 for a new login per poll.
void BM_MonitorPoll(benchmark::State& state)
{
    const unsigned type = static_cast<unsigned>(state.range(0));
    const bool newLogin = state.range(1) != 0;
    auto m = vmwareMonitor(type);
    BenchPluginHost& host = BenchPluginHost::current();
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(host.ctx(), &tctx);
    int failed = 0;
    double invalidateMs = 0;
    for (auto _ : state) {
        if (zam_plugin_poll(host.ctx(), tctx, &m->mon) != 0)
            ++failed;
        if (newLogin) {
            const auto start = std::chrono::steady_clock::now();
            zam_plugin_invalidate_monitor_cache(host.ctx(), tctx, &m->mon, ZAM_INVALIDATE_CACHED_DATA | ZAM_INVALIDATE_PLUGIN_DATA);
            invalidateMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
    }
    // the share of a poll's time that the logout on invalidation takes
    state.counters["logout_ms"] = state.iterations() ? invalidateMs / static_cast<double>(state.iterations()) : 0;
    zam_plugin_invalidate_monitor_cache(host.ctx(), tctx, &m->mon, ZAM_INVALIDATE_PLUGIN_DATA);
    zam_plugin_term_thread(host.ctx(), tctx);
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = failed;
    state.counters["cores"] = static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN));
    if (failed)
        state.SetLabel(m->mon.failReason);
}
BENCHMARK(BM_MonitorPoll)
    ->ArgsProduct({{42, 43, 44}, {0, 1}})
    ->ArgNames({"type", "new_login"})
    ->UseRealTime();

// One enumeration of this many machines with a cached client.
void BM_MachineEnumeration(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    QList<VMwareStandIn::Machine> machines;
    for (int i = 0; i < count; ++i)
        machines.append({QStringLiteral("vm-%1").arg(i), QStringLiteral("machine-%1").arg(i),
                         i % 2 ? QStringLiteral("poweredOn") : QStringLiteral("poweredOff")});
    g_server->setMachines(machines);
    auto m = vmwareMonitor(43, 1);
    BenchPluginHost& host = BenchPluginHost::current();
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(host.ctx(), &tctx);
    int failed = 0;
    for (auto _ : state) {
        m->mon.mode = 1;
        if (zam_plugin_poll(host.ctx(), tctx, &m->mon) != 0)
            ++failed;
    }
    zam_plugin_invalidate_monitor_cache(host.ctx(), tctx, &m->mon, ZAM_INVALIDATE_PLUGIN_DATA);
    zam_plugin_term_thread(host.ctx(), tctx);
    g_server->setMachines({{QStringLiteral("vm-1"), QStringLiteral("vm1"), QStringLiteral("poweredOn")},
                           {QStringLiteral("vm-2"), QStringLiteral("vm2"), QStringLiteral("poweredOff")}});
    state.counters["machines"] = count;
    state.counters["failed"] = failed;
    state.counters["cores"] = static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN));
    if (failed)
        state.SetLabel(m->mon.failReason);
}
BENCHMARK(BM_MachineEnumeration)->Arg(1000)->ArgName("machines")->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchPluginHost host(benchScratchMemory);
    VMwareStandIn server(0);
    if (!server.start()) {
        std::fprintf(stderr, "stand-in: %s\n", qPrintable(server.error()));
        return 1;
    }
    server.setLogging(false);
    g_server = &server;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
