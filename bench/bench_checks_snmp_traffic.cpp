// SNMP traffic monitors: counter polls per second (sysUpTime and the two 64-bit octet counters
// of ifIndex 1 in one GET) against the test snmpd, 1 and 8 threads, speed and volume; and one
// interface discovery of that agent. Start the servers first: bash scripts/test-servers.sh
// start. bench/bench_snmp_traffic_peers.sh runs prometheus-snmp-exporter beside it.

#include "BenchPluginHost.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

constexpr unsigned kSpeed = 22, kVolume = 23;

struct TrafficMonitor : BenchMonitor {
    TrafficMonitor(unsigned type, int mode) : BenchMonitor(type, 5000)
    {
        mon.mode = mode;
        add("Interface Number", 'R', 0, "1");
        if (type == kSpeed) {
            add("Interface Bandwidth, kbits/s", 'i', 1000000);
            add("Show Traffic Speed as", 'E', 0);
        } else {
            add("Show Traffic Volume as", 'E', 2);
            add("Traffic Volume Summation Period", 'T', 86400);
        }
        add("Data Set", 'e', 3);
        add("Port", 'i', testservers::kSnmpPort);
        add("SNMP Version", 'e', 1);
        add(" Community String", 's', 0, testservers::kSnmpCommunity);
    }
};

BenchPluginHost& library()
{
    static const bool snmpReady = (init_snmp("zambench"), true);
    static BenchPluginHost host(benchScratchMemory);
    (void)snmpReady;
    return host;
}

void pollLoop(benchmark::State& state, unsigned type, int mode)
{
    stCoreZamContext* ctx = library().ctx();
    TrafficMonitor m(type, mode);
    int64_t failed = 0;
    for (auto _ : state) {
        if (zam_plugin_poll(ctx, nullptr, &m.mon) != 0)
            ++failed;
    }
    zam_plugin_invalidate_monitor_cache(ctx, nullptr, &m.mon, ZAM_INVALIDATE_PLUGIN_DATA | ZAM_INVALIDATE_CACHED_DATA);
    state.counters["polls/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failed"] = benchmark::Counter(static_cast<double>(failed), benchmark::Counter::kAvgThreads);
}

void BM_TrafficSpeedPoll(benchmark::State& state) { pollLoop(state, kSpeed, 0); }
void BM_TrafficVolumePoll(benchmark::State& state) { pollLoop(state, kVolume, 0); }
void BM_InterfaceDiscovery(benchmark::State& state) { pollLoop(state, kSpeed, 1); }

}  // namespace

BENCHMARK(BM_TrafficSpeedPoll)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_TrafficVolumePoll)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_InterfaceDiscovery)->UseRealTime();
BENCHMARK_MAIN();
