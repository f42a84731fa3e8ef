#include "engine/CScheduleInfoOnce.h"

CScheduleInfoOnce::CScheduleInfoOnce(const QDateTime& time) : m_time(time) {}

bool CScheduleInfoOnce::nextRunTime(const CTask*, const QDateTime&, const QDateTime& previousDueTime,
                                    const QDateTime&, QDateTime& out) const
{
    if (previousDueTime.isValid())
        return false;
    out = m_time;
    return true;
}
