#include "engine/CScheduleInfoMaintenanceOnce.h"

CScheduleInfoMaintenanceOnce::CScheduleInfoMaintenanceOnce(const QDateTime& start, int minutes)
    : m_start(start), m_end(start.addSecs(qint64(minutes) * 60))
{
}

bool CScheduleInfoMaintenanceOnce::nextRunTime(const CTask*, const QDateTime& now, const QDateTime& previousDueTime,
                                               const QDateTime&, QDateTime& out) const
{
    if (previousDueTime.isValid()) {
        if (previousDueTime < m_end) {
            out = m_end;
            return true;
        }
        return false;
    }
    if (!(now < m_end))
        return false;
    if (m_start < m_end) {
        out = m_start;
        return true;
    }
    return false;
}
