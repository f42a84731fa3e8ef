#pragma once
#include <QDateTime>

// Time and load as the task engine sees them. The engine reads both only through the current
// clock, so tests install a hand-driven one and run minutes of watchdog and retirement time in
// milliseconds. Threads: now() and loadPercent() are called from the task manager's thread and
// the scheduler's thread; implementations must be safe for that.
class CTaskClock
{
public:
    virtual ~CTaskClock() = default;

    virtual QDateTime now() const;
    // The 1-minute load average as a share of the machine: load / online processors * 100,
    // truncated; 0 when the load cannot be read.
    virtual int loadPercent() const;

    // load / processors * 100, truncated; 0 for a load that is not a number or below 0, and
    // one processor when the count is unknown.
    static int machineLoadPercent(double load, long processors);

    // The clock in use; the system clock unless a test installed another one.
    static CTaskClock* current();
    // Installs a clock (null: back to the system clock). Install before the engine starts.
    static void install(CTaskClock* clock);
};
