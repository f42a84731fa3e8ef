#pragma once
#include "engine/CTaskClock.h"

#include <QMutex>
#include <QMutexLocker>

// A clock the test drives by hand, with a load it sets.
class ManualClock : public CTaskClock
{
public:
    ManualClock()
        : m_now(QDateTime(QDate(2026, 3, 1), QTime(12, 0)))
    {
    }
    QDateTime now() const override
    {
        QMutexLocker locker(&m_mutex);
        return m_now;
    }
    int loadPercent() const override
    {
        QMutexLocker locker(&m_mutex);
        ++m_loadReads;
        return m_load;
    }
    // How often the load was read: the scheduler reads it once at the start of each tick.
    int loadReads() const
    {
        QMutexLocker locker(&m_mutex);
        return m_loadReads;
    }
    void advance(qint64 seconds)
    {
        QMutexLocker locker(&m_mutex);
        m_now = m_now.addSecs(seconds);
    }
    void setLoad(int load)
    {
        QMutexLocker locker(&m_mutex);
        m_load = load;
    }

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
    int m_load = 0;
    mutable int m_loadReads = 0;
};

// Installs a clock for the scope of a test.
struct ClockInstaller {
    explicit ClockInstaller(CTaskClock* clock) { CTaskClock::install(clock); }
    ~ClockInstaller() { CTaskClock::install(nullptr); }
};
