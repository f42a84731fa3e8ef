#pragma once
#include "engine/CScheduleInfo.h"

// One maintenance window: due at its start (at once when already open) and at its end.
class CScheduleInfoMaintenanceOnce : public CScheduleInfo
{
public:
    CScheduleInfoMaintenanceOnce(const QDateTime& start, int minutes);

    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;

    QDateTime start() const { return m_start; }
    QDateTime end() const { return m_end; }

private:
    QDateTime m_start;
    QDateTime m_end;
};
