#pragma once
#include <QDateTime>

// Time as the schedule manager sees it: the local wall-clock time that schedules are written in,
// and a monotonic count of milliseconds that the wall clock's changes do not move. Comparing the
// two tells a change of the wall clock from time passing.
// Threads: called on the schedule manager's thread; implementations must allow that.
class CScheduleClock
{
public:
    virtual ~CScheduleClock() = default;
    virtual QDateTime now() const;
    virtual qint64 monotonicMs() const;

    // The system clock, for the life of the process.
    static CScheduleClock* system();
};
