#pragma once
// Deadline clock of one poll: 32-bit milliseconds of the monotonic raw clock. A timeout of 0 or
// less means no limit. Plain value type, owned by its poll; no locks.

#include <cstdint>

class CTimeWatcher
{
public:
    explicit CTimeWatcher(int timeoutMs = 0);

    // Milliseconds of CLOCK_MONOTONIC_RAW, cut to 32 bits (wraps after 49 days; all arithmetic
    // on it is done in unsigned 32 bits so a wrap does not matter within one poll).
    static uint32_t nowMillisec();

    void start() { m_start = nowMillisec(); }
    void start(int timeoutMs)
    {
        m_timeout = timeoutMs;
        start();
    }
    void setTimeout(int timeoutMs) { m_timeout = timeoutMs; }
    int timeout() const { return m_timeout; }
    uint32_t startTime() const { return m_start; }

    // Time since start, 0 counted as 1.
    uint32_t elapsedMillisec() const;
    // Remaining milliseconds; 0xFFFFFFFF when there is no limit.
    uint32_t remainingTimeMillisec() const;
    bool expired() const { return remainingTimeMillisec() == 0; }

    // Time spent by an observer is not charged to the budget: begin before, end after.
    void beginHook() { m_hook = nowMillisec(); }
    void endHook() { m_start += nowMillisec() - m_hook; }

private:
    uint32_t m_start = 0;
    uint32_t m_hook = 0;
    int m_timeout = 0;
};
