#pragma once
#include "engine/CScheduleInfo.h"

// Due every max(interval, minimumInterval) seconds (at least 1). A task that fell behind runs
// once at once and resumes its rhythm from then; missed runs are not made up.
class CScheduleInfoInterval : public CScheduleInfo
{
public:
    CScheduleInfoInterval(int interval, int minimumInterval);

    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;

    int interval() const { return m_interval; }
    int minimumInterval() const { return m_minimumInterval; }
    void setInterval(int seconds) { m_interval = seconds; }

private:
    int m_interval;
    int m_minimumInterval;
};
