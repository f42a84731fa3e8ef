// Cost of the library boundary: zam_plugin_poll dispatch and settings parsing.

#include "zam_plugin_api.h"
#include "zam_settings.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// A row without code: the poll only formats the not-implemented reason.
void BM_PollRowWithoutCode(benchmark::State& state)
{
    stCoreZamContext* ctx = nullptr;
    zam_plugin_init(&ctx);
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(ctx, &tctx);
    stZamMonitor mon{};
    mon.typeIndex = 10;
    for (auto _ : state)
        benchmark::DoNotOptimize(zam_plugin_poll(ctx, tctx, &mon));
    state.SetItemsProcessed(state.iterations());
    zam_plugin_term_thread(ctx, tctx);
    zam_plugin_term(ctx);
}
BENCHMARK(BM_PollRowWithoutCode);

// A row with a poll function: clearing the result fields, the call and its reason.
void BM_PollRowWithCode(benchmark::State& state)
{
    stCoreZamContext* ctx = nullptr;
    zam_plugin_init(&ctx);
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(ctx, &tctx);
    stZamMonitor mon{};
    mon.typeIndex = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(zam_plugin_poll(ctx, tctx, &mon));
    state.SetItemsProcessed(state.iterations());
    zam_plugin_term_thread(ctx, tctx);
    zam_plugin_term(ctx);
}
BENCHMARK(BM_PollRowWithCode);

// Out-of-range index: the pure dispatch refusal.
void BM_PollRefusedIndex(benchmark::State& state)
{
    stZamMonitor mon{};
    mon.typeIndex = 50;
    for (auto _ : state)
        benchmark::DoNotOptimize(zam_plugin_poll(nullptr, nullptr, &mon));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PollRefusedIndex);

// A 19-setting table, as an HTTP(S) monitor carries, parsed into 19 targets.
void BM_ParseNineteenSettings(benchmark::State& state)
{
    static const char* names[19] = {"URL", "Method", " POST Data", "Timeout", "Port", "User", "Password",
                                    "Domain", "Proxy", "Proxy Port", "Follow Redirects", "Expected Code",
                                    "Content", "Ignore Case", "Reverse", "HTTP Version", "Headers",
                                    "Client Certificate", "Check Certificate"};
    std::vector<std::string> values;
    std::vector<stZamSettingEntry> entries(19);
    for (int i = 0; i < 19; ++i)
        values.push_back("value " + std::to_string(i));
    for (int i = 0; i < 19; ++i) {
        entries[i] = stZamSettingEntry{};
        entries[i].name = names[i];
        entries[i].id = 's';
        entries[i].valueText = values[i].c_str();
        entries[i].valueInt = i;
    }
    stZamSettings settings{19, 0, entries.data()};
    int ints[19] = {};
    std::string texts[19];
    std::vector<PluginOption> options;
    for (int i = 0; i < 19; ++i) {
        PluginOption o{i + 1, names[i], 1 << i, nullptr, nullptr, nullptr};
        if (i % 2)
            o.intTarget = &ints[i];
        else
            o.textTarget = &texts[i];
        options.push_back(o);
    }
    options.push_back(PluginOption{0, nullptr, 0, nullptr, nullptr, nullptr});
    int found = 0;
    for (auto _ : state) {
        pluginParseSettings(&settings, options.data(), &found);
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseNineteenSettings);

}  // namespace

// The maintenance thread's event loop wants an application object, as in the daemon.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
