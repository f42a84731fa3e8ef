// Manager start-up costs of the theme: loading both built-in theme files into their colour sets,
// and creating and showing a window with one of every styled control.
// Run: QT_QPA_PLATFORM=offscreen QT_FONT_DPI=96 <build>/bench/bench_manager_themes
#include "GalleryWindow.h"

#include <benchmark/benchmark.h>

static void BM_LoadBothThemes(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString()));
}
BENCHMARK(BM_LoadBothThemes)->Unit(benchmark::kMicrosecond);

static void BM_CreateAndShowGallery(benchmark::State& state)
{
    loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString());
    activateTheme(state.range(0) != 0);
    for (auto _ : state) {
        QWidget* window = makeGalleryWindow();
        window->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window->grab());
        delete window;
    }
    state.SetLabel(state.range(0) != 0 ? "dark" : "light");
}
BENCHMARK(BM_CreateAndShowGallery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_FONT_DPI", "96");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    MyApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
