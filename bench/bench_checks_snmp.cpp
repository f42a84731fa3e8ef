// SNMP Custom check: GET polls per second against the test snmpd (v2c and v3 authPriv, 1 and 8
// threads), and the cost of the shared Net-SNMP lock: 8 threads opening v3 sessions with the
// agent given as an address and as a host name. Start the servers first:
// bash scripts/test-servers.sh start. bench/bench_snmp_peers.sh runs the peers beside it.

#include "BenchPluginHost.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>

namespace {

constexpr unsigned kSnmpCustom = 13;

struct SnmpMonitor : BenchMonitor {
    SnmpMonitor(bool v3, bool byName) : BenchMonitor(kSnmpCustom, 5000, byName ? "" : testservers::kHost)
    {
        if (byName) {
            std::strcpy(mon.hostName, "localhost");
            mon.useHostName = 1;
        }
        add("OID (SNMP variable to monitor)", 's', 0, ".1.3.6.1.2.1.1.3.0");
        add(" Divide returned value by", 's', 0, "1.0");
        add("Port", 'i', testservers::kSnmpPort);
        add("SNMP Version", 'e', v3 ? 2 : 1);
        if (v3) {
            add(" SNMP V3 User", 's', 0, testservers::kSnmpV3User);
            add(" SNMP V3 Authentication Mode", 'e', 1);
            add(" SNMP V3 Password", 'p', 0, testservers::kSnmpV3AuthPassword);
            add(" SNMP V3 Privacy Protocol", 'e', 2);
            add(" SNMP V3 Encryption Key", 'p', 0, testservers::kSnmpV3PrivPassword);
        } else {
            add(" Community String", 's', 0, testservers::kSnmpCommunity);
        }
    }
};

// Net-SNMP is set up before the library starts; both live until exit.
BenchPluginHost& library()
{
    static const bool snmpReady = (init_snmp("zambench"), true);
    static BenchPluginHost host;
    (void)snmpReady;
    return host;
}

// One poll per iteration; a new monitor each time when `fresh` (session set-up and user check
// every time, as after an invalidation).
void pollLoop(benchmark::State& state, bool v3, bool byName)
{
    stCoreZamContext* ctx = library().ctx();
    SnmpMonitor m(v3, byName);
    int64_t failed = 0;
    for (auto _ : state) {
        if (zam_plugin_poll(ctx, nullptr, &m.mon) != 0)
            ++failed;
    }
    zam_plugin_invalidate_monitor_cache(ctx, nullptr, &m.mon, ZAM_INVALIDATE_PLUGIN_DATA);
    state.SetItemsProcessed(state.iterations());
    state.counters["polls/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failed"] = benchmark::Counter(static_cast<double>(failed), benchmark::Counter::kAvgThreads);
}

void BM_SnmpGetV2c(benchmark::State& state) { pollLoop(state, false, false); }
void BM_SnmpGetV3AuthPriv(benchmark::State& state) { pollLoop(state, true, false); }
// Every poll opens a v3 session (engine-ID discovery and the user check under the lock).
void BM_SnmpV3SessionByAddress(benchmark::State& state) { pollLoop(state, true, false); }
void BM_SnmpV3SessionByHostName(benchmark::State& state) { pollLoop(state, true, true); }

}  // namespace

BENCHMARK(BM_SnmpGetV2c)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_SnmpGetV3AuthPriv)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_SnmpV3SessionByAddress)->Threads(8)->UseRealTime();
BENCHMARK(BM_SnmpV3SessionByHostName)->Threads(8)->UseRealTime();
BENCHMARK_MAIN();
