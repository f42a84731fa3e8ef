#include "engine/CScheduleInfoDelayed.h"
#include "engine/CScheduleInfoInterval.h"
#include "engine/CScheduleInfoMaintenanceWeekly.h"
#include "engine/CScheduleInfoWeekDays.h"
#include "engine/ScheduleTimeRanges.h"
#include "engine/SWeeklyMaintenanceSetting.h"

#include <benchmark/benchmark.h>

namespace {
const QDateTime kNow = QDateTime(QDate(2024, 1, 3), QTime(12, 34, 56), Qt::UTC);

// Next-run-time computations per second, one kind per benchmark.
void runKind(benchmark::State& state, const CScheduleInfo& schedule, const QDateTime& previous)
{
    QDateTime out;
    for (auto _ : state)
        benchmark::DoNotOptimize(schedule.nextRunTime(nullptr, kNow, previous, previous, out));
    state.SetItemsProcessed(state.iterations());
}

void BM_NextRunInterval(benchmark::State& state)
{
    runKind(state, CScheduleInfoInterval(300, 1), kNow.addSecs(-100));
}
BENCHMARK(BM_NextRunInterval);

void BM_NextRunDelayed(benchmark::State& state)
{
    runKind(state, CScheduleInfoDelayed(CScheduleInfoPtr(new CScheduleInfoInterval(60, 1)), 60), kNow.addSecs(-30));
}
BENCHMARK(BM_NextRunDelayed);

void BM_NextRunWeekDays(benchmark::State& state)
{
    runKind(state, CScheduleInfoWeekDays(1 << 5, 600), kNow.addSecs(-3600));
}
BENCHMARK(BM_NextRunWeekDays);

void BM_NextRunMaintenanceWeekly(benchmark::State& state)
{
    SWeeklyMaintenanceSetting setting;
    setting.monday = QString("22:00-06:00");
    setting.wednesday = QString("08:00-12:00; 13:00-17:00");
    setting.saturday = QString("23:00-01:00");
    runKind(state, CScheduleInfoMaintenanceWeekly(setting), kNow.addSecs(-3600));
}
BENCHMARK(BM_NextRunMaintenanceWeekly);

// One day's range text parsed into minute-of-week ranges.
void BM_ParseDayRanges(benchmark::State& state)
{
    const QString text = QStringLiteral("08:00-12:00; 13:00-17:00; 22:00-06:00");
    for (auto _ : state)
        benchmark::DoNotOptimize(addScheduleDayRanges({}, 1, text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseDayRanges);
} // namespace

BENCHMARK_MAIN();
