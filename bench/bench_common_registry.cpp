// Global-setting id lookups of known names, from 1 and 8 threads at once.
#include "common/GlobalSettingRegistry.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>

static void BM_GlobalSettingId(benchmark::State& state)
{
    static const QStringList names = {
        QStringLiteral("WebServer/Mode"), QStringLiteral("WebServer/HttpPort"), QStringLiteral("Snmp/MibPaths"),
        QStringLiteral("Admin/Email/SMTP1/Port"), QStringLiteral("Ini\\AgentServer0\\Host"),
        QStringLiteral("Monitoring/ThreadLimit"), QStringLiteral("Community/LastDigestDateUtc"),
        QStringLiteral("Mcp/HostName")};
    int i = int(state.thread_index());
    long sum = 0;
    for (auto _ : state) {
        sum += globalSettingId(names[i & 7]);
        ++i;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GlobalSettingId)->Threads(1)->Threads(8)->UseRealTime();

BENCHMARK_MAIN();
