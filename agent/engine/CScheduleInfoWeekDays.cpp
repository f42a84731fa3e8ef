#include "engine/CScheduleInfoWeekDays.h"

CScheduleInfoWeekDays::CScheduleInfoWeekDays(int dayMask, int minutes) : m_dayMask(dayMask), m_minutes(minutes) {}

bool CScheduleInfoWeekDays::nextRunTime(const CTask*, const QDateTime& now, const QDateTime& previousDueTime,
                                        const QDateTime&, QDateTime& out) const
{
    // No day, or a time of day that does not exist: never due.
    if (m_dayMask == 0 || m_minutes < 0 || m_minutes >= 24 * 60)
        return false;
    QDateTime midnight = now;
    midnight.setTime(QTime(0, 0));
    const QTime at(m_minutes / 60, m_minutes % 60, 0);
    const int today = now.date().dayOfWeek() % 7;
    for (int i = 0; i <= 7; ++i) {
        int day = today + i;
        if (day > 6)
            day -= 7;
        if (!(m_dayMask & (1 << day)))
            continue;
        QDateTime candidate = now.addDays(i);
        candidate.setTime(at);
        if (candidate < midnight)
            continue;
        if (previousDueTime.isValid() && !(candidate > previousDueTime))
            continue;
        out = candidate;
        return true;
    }
    return false;
}
