#pragma once
#include "engine/CScheduleInfo.h"

// Due once at the given instant (at once when it has passed), never again.
class CScheduleInfoOnce : public CScheduleInfo
{
public:
    explicit CScheduleInfoOnce(const QDateTime& time);

    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;

    QDateTime time() const { return m_time; }

private:
    QDateTime m_time;
};
