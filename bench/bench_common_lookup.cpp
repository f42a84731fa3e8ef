// Host name to address for "localhost" through the system resolver.
#include "common/WebUtils.h"

#include <benchmark/benchmark.h>

static void BM_GetIpByHostnameLocalhost(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(WebUtils::getIpByHostname(QStringLiteral("localhost"), QString()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetIpByHostnameLocalhost)->Threads(1)->Threads(8)->UseRealTime();

static void BM_GetAllAddrsByHostnameLocalhost(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(WebUtils::getAllAddrsByHostname(QStringLiteral("localhost")));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetAllAddrsByHostnameLocalhost);

BENCHMARK_MAIN();
