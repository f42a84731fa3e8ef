#include "CTaskClock.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace {
std::atomic<CTaskClock*> g_installed{nullptr};
}

QDateTime CTaskClock::now() const
{
    // UTC: compares with local times as instants and skips the time-zone lookup per call.
    return QDateTime::currentDateTimeUtc();
}

int CTaskClock::machineLoadPercent(double load, long processors)
{
    if (processors < 1)
        processors = 1;
    const double percent = 100.0 * load / static_cast<double>(processors);
    if (!std::isfinite(percent) || percent < 0)
        return 0;
    return percent > 1e6 ? 1000000 : static_cast<int>(percent);
}

int CTaskClock::loadPercent() const
{
    double samples[3];
    if (getloadavg(samples, 3) < 1)
        return 0;
    return machineLoadPercent(samples[0], sysconf(_SC_NPROCESSORS_ONLN));
}

CTaskClock* CTaskClock::current()
{
    static CTaskClock systemClock;
    CTaskClock* clock = g_installed.load();
    return clock ? clock : &systemClock;
}

void CTaskClock::install(CTaskClock* clock)
{
    g_installed.store(clock);
}
