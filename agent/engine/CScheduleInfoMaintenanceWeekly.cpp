#include "engine/CScheduleInfoMaintenanceWeekly.h"

#include "engine/SWeeklyMaintenanceSetting.h"
#include "engine/ScheduleTimeRanges.h"

CScheduleInfoMaintenanceWeekly::CScheduleInfoMaintenanceWeekly(const SWeeklyMaintenanceSetting& setting)
    : m_ranges(parseScheduleTimeRanges(setting)) // from the texts, so a record edited in place counts
{
}

CScheduleInfoMaintenanceWeekly::CScheduleInfoMaintenanceWeekly(const QMap<int, int>& ranges) : m_ranges(ranges) {}

bool CScheduleInfoMaintenanceWeekly::nextRunTime(const CTask*, const QDateTime& now, const QDateTime& previousDueTime,
                                                 const QDateTime&, QDateTime& out) const
{
    if (m_ranges.isEmpty())
        return false;
    const int a = minuteOfWeek(now);
    int b = 0, c = 0;
    auto it = m_ranges.cbegin();
    for (; it != m_ranges.cend(); ++it)
        if (it.value() > a)
            break;
    if (it != m_ranges.cend()) {
        b = it.key();
        c = it.value();
    } else {
        b = m_ranges.firstKey() + kMinutesPerWeek;
        c = m_ranges.first() + kMinutesPerWeek;
    }
    // A window running over the end of the week goes on in the range that starts the week:
    // its end is that range's end, not Sunday 00:00.
    if (c % kMinutesPerWeek == 0 && m_ranges.firstKey() == 0 && m_ranges.first() < kMinutesPerWeek)
        c += m_ranges.first();

    const int target = (previousDueTime.isValid() && a >= b) ? c : b;
    out = now.addSecs(qint64(target - a) * 60 - now.time().second());
    return true;
}
