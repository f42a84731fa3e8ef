#pragma once
// Monotonic and wall time the test sets by hand, for components that take a CScheduleClock.
// Counts its monotonic reads, so a test can wait until a component has read the time.
// Threads: any; the fields are atomic.
#include "engine/CScheduleClock.h"

#include <atomic>

class HandClock : public CScheduleClock
{
public:
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(1800000000000 + m_ms.load()); }
    qint64 monotonicMs() const override
    {
        ++m_reads;
        return m_ms.load();
    }
    void advanceMs(qint64 ms) { m_ms += ms; }
    int reads() const { return m_reads.load(); }

private:
    std::atomic<qint64> m_ms{1000000};
    mutable std::atomic<int> m_reads{0};
};
