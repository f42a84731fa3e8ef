#pragma once
#include <QDateTime>
#include <QExplicitlySharedDataPointer>
#include <QSharedData>

class CTask;

// A schedule: given the current time and the time a task last fell due, when is it due next?
// Shared, reference counted (atomic) and immutable while in use: all history is kept by the
// task that holds it, so one schedule may serve several tasks. Read on the schedule manager's
// thread; pointers to it may be copied anywhere. "now" is always passed in, never read here.
class CScheduleInfo : public QSharedData
{
public:
    virtual ~CScheduleInfo() = default;

    // True with out set when the task falls due again (a time in the past means at once);
    // false when it never does. task is used only for its name and may be null.
    // previousDueTime is invalid before the first due time; previousBaseTime is not read.
    virtual bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                             const QDateTime& previousBaseTime, QDateTime& out) const = 0;

    // Whether the schedule must outlive a restart of the daemon; no kind needs that.
    virtual bool isPersistent() const { return false; }
};

using CScheduleInfoPtr = QExplicitlySharedDataPointer<CScheduleInfo>;
