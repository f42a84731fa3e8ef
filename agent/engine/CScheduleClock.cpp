#include "engine/CScheduleClock.h"

#include <chrono>

QDateTime CScheduleClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 CScheduleClock::monotonicMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CScheduleClock* CScheduleClock::system()
{
    static CScheduleClock clock;
    return &clock;
}
