// FTP check: polls per second against the test vsftpd without TLS (anonymous listing of "/", 1 and 8
// threads). Start the servers first: bash scripts/test-servers.sh start.
// bench/bench_ftp_peers.sh runs a `curl --list-only` loop beside it.

#include "support/TestServers.h"
#include "zam_plugin_api.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned kFtp = 7;

void* scratchMemory(stZamMonitor*, unsigned size, int)
{
    static thread_local std::vector<char> buffer;
    buffer.resize(size);
    return buffer.data();
}

struct Monitor {
    stZamMonitor mon{};
    std::vector<stZamSettingEntry> entries;
    std::vector<std::string> texts;

    Monitor()
    {
        mon.typeIndex = kFtp;
        mon.timeout = 5000;
        std::strcpy(mon.hostAddress, testservers::kHost);
        texts.reserve(4);
        add("Port", 'i', testservers::kFtpNoTlsPort);
        add("Use SFTP Protocol", 'e', 0);
        add("User Account for Authentication", 'c', 0);
    }
    void add(const char* name, int kind, int64_t value, const char* text = nullptr)
    {
        stZamSettingEntry e{};
        e.name = name;
        e.id = kind;
        e.valueInt = value;
        if (text) {
            texts.emplace_back(text);
            e.valueText = texts.back().c_str();
        }
        entries.push_back(e);
        mon.settings.count = static_cast<uint32_t>(entries.size());
        mon.settings.entries = entries.data();
    }
};

struct Library {
    stCoreZamContext* ctx = nullptr;
    Library()
    {
        zam_plugin_init(&ctx);
        zam_plugin_register_getmem_cb(&scratchMemory);
    }
    ~Library() { zam_plugin_term(ctx); }
};

Library* g_library = nullptr;

void BM_FtpPollVsftpd(benchmark::State& state)
{
    Monitor m;
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(g_library->ctx, &tctx);
    int failed = 0;
    for (auto _ : state) {
        if (zam_plugin_poll(g_library->ctx, tctx, &m.mon) != 0)
            ++failed;
    }
    zam_plugin_term_thread(g_library->ctx, tctx);
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = benchmark::Counter(failed, benchmark::Counter::kAvgThreads);
    if (failed)
        state.SetLabel(m.mon.failReason);
}
BENCHMARK(BM_FtpPollVsftpd)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Library library;
    g_library = &library;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
