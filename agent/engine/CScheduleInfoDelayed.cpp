#include "engine/CScheduleInfoDelayed.h"

CScheduleInfoDelayed::CScheduleInfoDelayed(const CScheduleInfoPtr& inner, int delay)
    : m_delay(delay), m_inner(inner)
{
}

bool CScheduleInfoDelayed::nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                                       const QDateTime& previousBaseTime, QDateTime& out) const
{
    if (!m_inner)
        return false;
    QDateTime inner;
    if (!m_inner->nextRunTime(task, now, previousDueTime, previousBaseTime, inner))
        return false;
    out = now < inner ? inner : now.addSecs(m_delay);
    return true;
}
