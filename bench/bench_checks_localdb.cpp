// MySQL, PostgreSQL and disk-space checks: polls per second. A database poll is a whole
// connection (connect, SELECT 1, close) against the test servers, at 1 and 8 threads; the disk
// poll reads the volume of "/". Start the servers first: bash scripts/test-servers.sh start.
// bench/bench_db_peers.sh runs mariadb-slap and pgbench beside it and prints the ratios.

#include "BenchPluginHost.h"

#include <vector>

namespace {

constexpr unsigned kDisk = 8;
constexpr unsigned kMysql = 16;
constexpr unsigned kPgsql = 49;
constexpr int kTimeoutMs = 10000;

void addDatabaseRows(BenchMonitor& m, int port)
{
    m.add("Port", 'i', port);
    m.add("Database Name", 's', 0, testservers::kDatabase);
    m.add("SQL Expression", 's', 0, "SELECT 1");
    m.add("User Name", 'l', 0, testservers::kUser);
    m.add("Password", 'p', 0, testservers::kPassword);
    m.add("Use SSL/TLS connection", 'e', 0);
}

// Result sections land in one scratch area per thread that only grows; nothing reads them.
void* scratchMemory(stZamMonitor*, unsigned size, int)
{
    thread_local std::vector<unsigned char> area;
    if (area.size() < size)
        area.resize(size);
    return area.data();
}

void BM_MysqlPollSelect1(benchmark::State& state)
{
    BenchMonitor m(kMysql, kTimeoutMs);
    addDatabaseRows(m, testservers::kMysqlPort);
    m.add("Trusted CA path", 'w', 0, "");
    m.add("Allow non-secure authentication", 'e', 0);
    m.add("Trusted CA certificate", 'w', 0, "");
    m.add("Use folder or file as CA path", 'e', 0);
    benchPolls(state, m);
}
BENCHMARK(BM_MysqlPollSelect1)->Threads(1)->Threads(8)->UseRealTime();

void BM_PgsqlPollSelect1(benchmark::State& state)
{
    BenchMonitor m(kPgsql, kTimeoutMs);
    addDatabaseRows(m, testservers::kPostgresPort);
    benchPolls(state, m);
}
BENCHMARK(BM_PgsqlPollSelect1)->Threads(1)->Threads(8)->UseRealTime();

void BM_DiskPollRoot(benchmark::State& state)
{
    BenchMonitor m(kDisk, kTimeoutMs);
    m.add("Path (UNC or local path)", 'D', 0, "/");
    m.add("Type", 'e', 0);
    m.add("Units", 'e', 1);
    m.add("Domain", 'd', 0, "");
    m.add("User Name", 'l', 0, "");
    m.add("Password", 'p', 0, "");
    stCoreZamContext* ctx = BenchPluginHost::current().ctx();
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(ctx, &tctx);
    for (auto _ : state)
        zam_plugin_poll(ctx, tctx, &m.mon);
    zam_plugin_term_thread(ctx, tctx);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DiskPollRoot)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return benchPluginMain(argc, argv, &scratchMemory);
}
