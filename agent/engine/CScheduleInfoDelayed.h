#pragma once
#include "engine/CScheduleInfo.h"

// Another schedule, postponed: when the inner due time is not in the future, due delay
// seconds from now. Keeps the inner schedule alive.
class CScheduleInfoDelayed : public CScheduleInfo
{
public:
    CScheduleInfoDelayed(const CScheduleInfoPtr& inner, int delay);

    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;

    int delay() const { return m_delay; }
    CScheduleInfoPtr inner() const { return m_inner; }

private:
    int m_delay;
    CScheduleInfoPtr m_inner;
};
