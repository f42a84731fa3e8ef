// HTTP(S) check: polls per second against the test nginx (1 and 8 threads), and the peak memory
// of one poll of a 50 MB body under a regular-expression rule. Start the servers first:
// bash scripts/test-servers.sh start. bench/bench_http_peers.sh runs the peers beside it.

#include "BenchPluginHost.h"
#include "ClosingAcceptor.h"

#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr unsigned kHttp = 6;

struct HttpMonitor : BenchMonitor {
    explicit HttpMonitor(const std::string& url) : BenchMonitor(kHttp, 10000)
    {
        add("URL", 'u', 0, url.c_str());
        add("Request Method", 'e', 0);
        add("HTTP Version", 'e', 1);
        add("User Agent", 'e', 1);
    }
};

void BM_HttpPollNginx(benchmark::State& state)
{
    HttpMonitor m("http://127.0.0.1:" + std::to_string(testservers::kHttpPort) + "/");
    benchPolls(state, m);
}
BENCHMARK(BM_HttpPollNginx)->Threads(1)->Threads(8)->UseRealTime();

// Serves one 50 MB response per connection.
void sendBigBody(int c)
{
    static const std::string block(65536, 'b');
    char buf[4096];
    (void)::recv(c, buf, sizeof buf, 0);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 52428800\r\nConnection: close\r\n\r\n";
    bool ok = ::send(c, head.data(), head.size(), MSG_NOSIGNAL) > 0;
    for (int i = 0; ok && i < 800; ++i)
        ok = ::send(c, block.data(), block.size(), MSG_NOSIGNAL) > 0;
    ::close(c);
}

long maxRssKb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

void BM_HttpPoll50MBRegexRule(benchmark::State& state)
{
    ClosingAcceptor server(sendBigBody);
    HttpMonitor m("http://127.0.0.1:" + std::to_string(server.port()) + "/big");
    m.mon.validation[0].flags = 0x11;
    m.mon.validation[0].text = "never-there";
    stCoreZamContext* ctx = BenchPluginHost::current().ctx();
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(ctx, &tctx);
    const long before = maxRssKb();
    for (auto _ : state)
        zam_plugin_poll(ctx, tctx, &m.mon);
    zam_plugin_term_thread(ctx, tctx);
    state.counters["peak_rss_growth_MiB"] = static_cast<double>(maxRssKb() - before) / 1024.0;
    state.counters["peak_rss_MiB"] = static_cast<double>(maxRssKb()) / 1024.0;
    state.SetLabel(m.mon.failReason);
}
BENCHMARK(BM_HttpPoll50MBRegexRule)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return benchPluginMain(argc, argv);
}
