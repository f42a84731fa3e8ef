#pragma once
#include "engine/CScheduleInfo.h"

// Due on the chosen weekdays at one time of day: the first such instant, from today on, later
// than the previous due time. A time already passed today is due at once when the task has
// not been due since.
class CScheduleInfoWeekDays : public CScheduleInfo
{
public:
    // dayMask: bit 0 Sunday ... bit 6 Saturday; minutes: time of day, minutes after midnight.
    CScheduleInfoWeekDays(int dayMask, int minutes);

    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;

    int dayMask() const { return m_dayMask; }
    int timeOfDay() const { return m_minutes; }
    void setDayMask(int mask) { m_dayMask = mask; }
    void setTimeOfDay(int minutes) { m_minutes = minutes; }

private:
    int m_dayMask;
    int m_minutes;
};
