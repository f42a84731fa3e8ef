#pragma once
#include "engine/CScheduleInfo.h"

#include <QMap>

struct SWeeklyMaintenanceSetting;

// Weekly maintenance windows: due at each window's start and at its end.
class CScheduleInfoMaintenanceWeekly : public CScheduleInfo
{
public:
    explicit CScheduleInfoMaintenanceWeekly(const SWeeklyMaintenanceSetting& setting);
    explicit CScheduleInfoMaintenanceWeekly(const QMap<int, int>& ranges);

    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;

    QMap<int, int> ranges() const { return m_ranges; }

private:
    QMap<int, int> m_ranges; // start minute of week -> end, half-open, disjoint, sorted
};
