// MySQL, PostgreSQL and disk-space checks: polls per second. A database poll is a whole
// connection (connect, SELECT 1, close) against the test servers, at 1 and 8 threads; the disk
// poll reads the volume of "/". Start the servers first: bash scripts/test-servers.sh start.
// bench/bench_db_peers.sh runs mariadb-slap and pgbench beside it and prints the ratios.

#include "support/TestServers.h"
#include "zam_plugin_api.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned kDisk = 8;
constexpr unsigned kMysql = 16;
constexpr unsigned kPgsql = 49;

struct Monitor {
    stZamMonitor mon{};
    std::vector<stZamSettingEntry> entries;
    std::vector<std::string> texts;

    explicit Monitor(unsigned type)
    {
        mon.typeIndex = type;
        mon.timeout = 10000;
        std::strcpy(mon.hostAddress, testservers::kHost);
        texts.reserve(16);
        entries.reserve(16);
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

void addDatabaseRows(Monitor& m, int port)
{
    m.add("Port", 'i', port);
    m.add("Database Name", 's', 0, testservers::kDatabase);
    m.add("SQL Expression", 's', 0, "SELECT 1");
    m.add("User Name", 'l', 0, testservers::kUser);
    m.add("Password", 'p', 0, testservers::kPassword);
    m.add("Use SSL/TLS connection", 'e', 0);
}

struct Library {
    stCoreZamContext* ctx = nullptr;
    Library() { zam_plugin_init(&ctx); }
    ~Library() { zam_plugin_term(ctx); }
};

Library* g_library = nullptr;

// Result sections land in one scratch area per thread; nothing reads them.
void* scratchMemory(stZamMonitor*, unsigned size, int)
{
    thread_local std::vector<unsigned char> area;
    if (area.size() < size)
        area.resize(size);
    return area.data();
}

void runPolls(benchmark::State& state, Monitor& m)
{
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

void BM_MysqlPollSelect1(benchmark::State& state)
{
    Monitor m(kMysql);
    addDatabaseRows(m, testservers::kMysqlPort);
    m.add("Trusted CA path", 'w', 0, "");
    m.add("Allow non-secure authentication", 'e', 0);
    m.add("Trusted CA certificate", 'w', 0, "");
    m.add("Use folder or file as CA path", 'e', 0);
    runPolls(state, m);
}
BENCHMARK(BM_MysqlPollSelect1)->Threads(1)->Threads(8)->UseRealTime();

void BM_PgsqlPollSelect1(benchmark::State& state)
{
    Monitor m(kPgsql);
    addDatabaseRows(m, testservers::kPostgresPort);
    runPolls(state, m);
}
BENCHMARK(BM_PgsqlPollSelect1)->Threads(1)->Threads(8)->UseRealTime();

void BM_DiskPollRoot(benchmark::State& state)
{
    Monitor m(kDisk);
    m.add("Path (UNC or local path)", 'D', 0, "/");
    m.add("Type", 'e', 0);
    m.add("Units", 'e', 1);
    m.add("Domain", 'd', 0, "");
    m.add("User Name", 'l', 0, "");
    m.add("Password", 'p', 0, "");
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(g_library->ctx, &tctx);
    for (auto _ : state)
        zam_plugin_poll(g_library->ctx, tctx, &m.mon);
    zam_plugin_term_thread(g_library->ctx, tctx);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DiskPollRoot)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Library library;
    g_library = &library;
    zam_plugin_register_getmem_cb(scratchMemory);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
