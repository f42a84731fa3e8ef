// DNS check: polls per second against the test dnsmasq (A of the two-address name, 1 and 8
// threads). Start the servers first: bash scripts/test-servers.sh start.
// bench/bench_dns_peers.sh runs dnsperf and blackbox-exporter's dns prober beside it.

#include "BenchPluginHost.h"

namespace {

constexpr unsigned kDns = 20;

struct DnsMonitor : BenchMonitor {
    DnsMonitor() : BenchMonitor(kDns, 5000)
    {
        add("Use System DNS Servers", 'e', 1);
        add("Port", 'i', testservers::kDnsPort);
        add("Request Type", 'e', 1);
        add(" Request Data", 's', 0, testservers::kDnsPairName);
    }
};

void BM_DnsPollDnsmasq(benchmark::State& state)
{
    DnsMonitor m;
    benchPolls(state, m);
}
BENCHMARK(BM_DnsPollDnsmasq)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return benchPluginMain(argc, argv, &benchScratchMemory);
}
