// Manager start-up costs of the theme: loading both built-in theme files into their colour sets,
// and creating and showing a window with one of every styled control.
// Run: QT_QPA_PLATFORM=offscreen QT_FONT_DPI=96 <build>/bench/bench_manager_themes
#include "GalleryWindow.h"

#include "themes/VektStyle.h"

#include <benchmark/benchmark.h>

#include <memory>

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

static void BM_CreateStyleWithImages(benchmark::State& state)
{
    loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString());
    const bool dark = state.range(0) != 0;
    for (auto _ : state) {
        VektStyle style(dark ? &darkColors : &lightColors);
        benchmark::DoNotOptimize(style.loadPixmaps(dark));
    }
    state.SetLabel(dark ? "dark" : "light");
}
BENCHMARK(BM_CreateStyleWithImages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One switch as the configure tab makes it: colours, style, palette, then the main window
// (here the gallery) rebuilt and shown.
static void BM_ThemeSwitchEndToEnd(benchmark::State& state)
{
    loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString());
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    bool dark = false;
    std::unique_ptr<QWidget> window(makeGalleryWindow());
    window->show();
    for (auto _ : state) {
        dark = !dark;
        app->applyTheme(dark ? "dark" : "light");
        window.reset(makeGalleryWindow());
        window->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window->grab());
    }
}
BENCHMARK(BM_ThemeSwitchEndToEnd)->Unit(benchmark::kMillisecond);

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
