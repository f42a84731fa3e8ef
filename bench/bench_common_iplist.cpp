#include "common/IpAddressList.h"

#include <QStringList>
#include <benchmark/benchmark.h>

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// IP ranges parsed per second, over a mix of the four written forms.
void BM_ParseIpRanges(benchmark::State& state)
{
    const QStringList items = {"10.0.0.1", "10.0.0.9 - 10.0.0.1", "192.168.1.77/24", "172.16.5.4/255.240.0.0"};
    for (auto _ : state) {
        for (const QString& item : items)
            benchmark::DoNotOptimize(parseIpAddressRange(item));
    }
    state.SetItemsProcessed(state.iterations() * items.size());
}
BENCHMARK(BM_ParseIpRanges);

// A whole list text of 1000 items split and parsed.
void BM_SplitAndParseList(benchmark::State& state)
{
    QStringList parts;
    for (int i = 0; i < 1000; ++i)
        parts << QStringLiteral("10.%1.%2.0/24").arg(i >> 8).arg(i & 255);
    const QString text = parts.join(QStringLiteral(", "));
    for (auto _ : state) {
        for (const QString& item : splitIpAddressList(text))
            benchmark::DoNotOptimize(parseIpAddressRange(item));
    }
    state.SetItemsProcessed(state.iterations() * parts.size());
}
BENCHMARK(BM_SplitAndParseList);

// The per-message path: an address tested against a parsed range and a cached host name.
void BM_MatchAddress(benchmark::State& state)
{
    const CIpAddressRange net = parseIpAddressRange("10.0.0.0/8").rawValue();
    const CIpAddressRange host = parseIpAddressRange("localhost").rawValue();
    (void)host.resolvedAddress();
    const QHostAddress peer(QStringLiteral("10.1.2.3"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(net.matchesAddress(peer));
        benchmark::DoNotOptimize(host.matchesAddress(peer));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_MatchAddress);
} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(&quiet);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
