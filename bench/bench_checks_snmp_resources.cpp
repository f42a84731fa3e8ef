// SNMP resource monitors against the snmpd fixture (bash scripts/test-servers.sh start):
// 50 process monitors on one agent polled in turn, with the shared table cache and with it
// emptied before every poll (agent requests per round, polls per second); disk-space polls per
// second; one full read of the process table. bench/bench_snmp_resources_peers.sh runs
// prometheus-snmp-exporter and snmpbulkwalk on the same table beside it.

#include "Snmp/CSnmpTableCache.h"
#include "BenchPluginHost.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned kDisk = 31, kProcess = 32;

// A monitor on the fixture agent (v2c).
struct FixtureMonitor : BenchMonitor {
    explicit FixtureMonitor(unsigned type) : BenchMonitor(type, 5000)
    {
        add("Port", 'i', testservers::kSnmpFixturePort);
        add("SNMP Version", 'e', 1);
        add(" Community String", 's', 0, testservers::kSnmpFixCommunity);
    }
};

// Net-SNMP is set up before the library starts; both live until exit.
BenchPluginHost& library()
{
    static const bool snmpReady = (init_snmp("zambench"), true);
    static BenchPluginHost host(&benchScratchMemory);
    (void)snmpReady;
    return host;
}

// GET and GETNEXT requests the fixture has received (its snmpInGetRequests + snmpInGetNexts).
long agentRequests()
{
    netsnmp_session s;
    snmp_sess_init(&s);
    const std::string peer = "udp:127.0.0.1:" + std::to_string(testservers::kSnmpFixturePort);
    s.peername = const_cast<char*>(peer.c_str());
    s.version = SNMP_VERSION_2c;
    s.community = reinterpret_cast<u_char*>(const_cast<char*>(testservers::kSnmpFixCommunity));
    s.community_len = std::strlen(testservers::kSnmpFixCommunity);
    void* handle = snmp_sess_open(&s);
    if (!handle)
        return -1;
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
    for (const char* text : {".1.3.6.1.2.1.11.15.0", ".1.3.6.1.2.1.11.16.0"}) {
        oid name[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        read_objid(text, name, &length);
        snmp_add_null_var(pdu, name, length);
    }
    netsnmp_pdu* response = nullptr;
    long total = -1;
    if (snmp_sess_synch_response(handle, pdu, &response) == STAT_SUCCESS && response) {
        total = 0;
        for (auto* v = response->variables; v; v = v->next_variable)
            total += v->val.integer ? *v->val.integer : 0;
    }
    if (response)
        snmp_free_pdu(response);
    snmp_sess_close(handle);
    return total;
}

void processMonitors(benchmark::State& state, bool shared)
{
    stCoreZamContext* ctx = library().ctx();
    std::vector<std::unique_ptr<FixtureMonitor>> monitors;
    for (int i = 0; i < 50; ++i) {
        auto m = std::make_unique<FixtureMonitor>(kProcess);
        m->add("Metric", 'e', i % 3);
        m->add("Name", 's', 0, i % 2 ? "snmpd" : "sh");
        m->add("Mandatory arguments", 's', 0, "");
        monitors.push_back(std::move(m));
    }
    int64_t failed = 0;
    const long before = agentRequests();
    for (auto _ : state) {
        for (auto& m : monitors) {
            if (!shared)
                CSnmpTableCache::instance()->clear();
            if (zam_plugin_poll(ctx, nullptr, &m->mon) != 0 && failed++ == 0)
                state.SetLabel(m->mon.failReason);
        }
    }
    const long requests = agentRequests() - before - 1;  // our own counter read
    for (auto& m : monitors)
        zam_plugin_invalidate_monitor_cache(ctx, nullptr, &m->mon, ZAM_INVALIDATE_PLUGIN_DATA);
    CSnmpTableCache::instance()->clear();
    const double polls = static_cast<double>(state.iterations()) * 50;
    state.counters["polls/s"] = benchmark::Counter(polls, benchmark::Counter::kIsRate);
    state.counters["requests/poll"] = benchmark::Counter(static_cast<double>(requests) / polls);
    state.counters["failed"] = benchmark::Counter(static_cast<double>(failed));
}

void BM_ProcessMonitors50Cached(benchmark::State& state) { processMonitors(state, true); }
void BM_ProcessMonitors50Uncached(benchmark::State& state) { processMonitors(state, false); }

void BM_DiskPoll(benchmark::State& state)
{
    stCoreZamContext* ctx = library().ctx();
    FixtureMonitor m(kDisk);
    m.add("Path", 's', 0, "/");
    m.add("Type", 'e', 0);
    m.add("Units", 'e', 0);
    int64_t failed = 0;
    for (auto _ : state) {
        if (zam_plugin_poll(ctx, nullptr, &m.mon) != 0 && failed++ == 0)
            state.SetLabel(m.mon.failReason);
    }
    zam_plugin_invalidate_monitor_cache(ctx, nullptr, &m.mon, ZAM_INVALIDATE_PLUGIN_DATA);
    state.counters["polls/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failed"] = benchmark::Counter(static_cast<double>(failed));
}

// One full read of hrSWRun and hrSWRunPerf (a process poll with nothing cached).
void BM_ProcessTableRead(benchmark::State& state)
{
    stCoreZamContext* ctx = library().ctx();
    FixtureMonitor m(kProcess);
    m.add("Metric", 'e', 0);
    m.add("Name", 's', 0, "snmpd");
    m.add("Mandatory arguments", 's', 0, "");
    for (auto _ : state) {
        CSnmpTableCache::instance()->clear();
        zam_plugin_poll(ctx, nullptr, &m.mon);
    }
    zam_plugin_invalidate_monitor_cache(ctx, nullptr, &m.mon, ZAM_INVALIDATE_PLUGIN_DATA);
    state.counters["reads/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_ProcessMonitors50Cached)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessMonitors50Uncached)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DiskPoll)->UseRealTime();
BENCHMARK(BM_ProcessTableRead)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
