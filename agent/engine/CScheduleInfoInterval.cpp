#include "engine/CScheduleInfoInterval.h"

#include "core/ProcessOptions.h"
#include "engine/CTask.h"

#include <QDebug>
#include <algorithm>

CScheduleInfoInterval::CScheduleInfoInterval(int interval, int minimumInterval)
    : m_interval(interval), m_minimumInterval(minimumInterval)
{
}

bool CScheduleInfoInterval::nextRunTime(const CTask* task, const QDateTime& now,
                                        const QDateTime& previousDueTime, const QDateTime&,
                                        QDateTime& out) const
{
    if (!previousDueTime.isValid()) {
        out = now;
        return true;
    }
    const qint64 step = std::max<qint64>(1, std::max(m_interval, m_minimumInterval));
    out = previousDueTime.addSecs(step);
    const qint64 late = out.secsTo(now);
    if (late <= 0)
        return true;

    out = now;
    const int flags = scheduleDebugFlags.load();
    const qint64 missed = (flags & 0x08) ? late : late / step;
    if (missed == 0)
        return true;
    const qint64 skipped = missed - 1;
    if (skipped != 0 && !(flags & 0x20)) {
        qWarning("%s", qUtf8Printable(QStringLiteral("schedule info interval: %1 skipped %2 schedules (%3, %4)")
                                          .arg(task ? task->name() : QStringLiteral("unknown task"))
                                          .arg(skipped)
                                          .arg(previousDueTime.toString(Qt::ISODate), out.toString(Qt::ISODate))));
    }
    return true;
}
