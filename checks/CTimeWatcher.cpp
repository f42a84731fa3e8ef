#include "CTimeWatcher.h"

#include <ctime>

CTimeWatcher::CTimeWatcher(int timeoutMs) : m_timeout(timeoutMs)
{
    start();
}

uint32_t CTimeWatcher::nowMillisec()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

uint32_t CTimeWatcher::elapsedMillisec() const
{
    const uint32_t elapsed = nowMillisec() - m_start;
    return elapsed == 0 ? 1 : elapsed;
}

uint32_t CTimeWatcher::remainingTimeMillisec() const
{
    if (m_timeout <= 0)
        return 0xFFFFFFFFu;
    const uint32_t elapsed = elapsedMillisec();
    const uint32_t limit = static_cast<uint32_t>(m_timeout);
    return elapsed < limit ? limit - elapsed : 0;
}
