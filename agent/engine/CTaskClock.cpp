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
    return QDateTime::currentDateTime();
}

int CTaskClock::loadPercent() const
{
    double samples[3];
    if (getloadavg(samples, 3) < 1)
        return 0;
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    if (cpus < 1)
        cpus = 1;
    const double percent = 100.0 * samples[0] / static_cast<double>(cpus);
    if (!std::isfinite(percent) || percent < 0)
        return 0;
    return percent > 1e6 ? 1000000 : static_cast<int>(percent);
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
