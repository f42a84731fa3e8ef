#pragma once
#include "engine/CScheduleInfo.h"
#include "engine/CTask.h"

#include <QDateTime>

class CScheduleManagerBase;
class CScheduleManagerTask;
using CScheduleManagerTaskPtr = QExplicitlySharedDataPointer<CScheduleManagerTask>;

// A piece of recurring work: a task (or none) together with its schedule and the times it last
// fell due. The task manager runs the wrapper like any task; its done asks the schedule manager
// to schedule it again, also when the wrapped done throws.
// Threads: the schedule, the due times and the manager pointer are touched only on the schedule
// manager's thread; the forwarded task steps run on a task thread.
class CScheduleManagerTask : public CTask
{
public:
    // Named "SM task for <wrapped task's name>", or name when there is no wrapped task.
    CScheduleManagerTask(const CTaskPtr& wrapped, const QString& name);
    ~CScheduleManagerTask() override;

    void beforeExec() override;
    void exec(CTaskThread* thread) override;
    void stop() override;
    void disable() override;
    void done(CTaskThread* thread) override;
    bool isDeadlocked(int seconds) override;
    std::optional<int> objectKey() const override;
    std::optional<int> actionKey() const override;

    // Called by the due loop when the task falls due: posts the wrapper to the task manager.
    virtual void handOver(CScheduleManagerBase* manager, const CScheduleManagerTaskPtr& self);

    CTaskPtr wrappedTask() const { return m_wrapped; }
    CScheduleInfoPtr scheduleInfo() const { return m_schedule; }
    void setScheduleInfo(const CScheduleInfoPtr& schedule);
    // The next due time from now; false when the schedule never falls due again. Due times
    // that lie after now (the clock went back) are first pulled back to now.
    bool computeNextRun(const QDateTime& now, QDateTime& out);
    void markDue(const QDateTime& time);
    // Moves both due times by ms (a change of the wall clock); invalid times stay invalid.
    void shiftDueTimes(qint64 ms);
    QDateTime previousDueTime() const { return m_previousDueTime; }

    // The manager that schedules this task again when its run is done.
    void setManager(CScheduleManagerBase* manager) { m_manager = manager; }
    CScheduleManagerBase* manager() const { return m_manager; }

private:
    CTaskPtr m_wrapped;
    CScheduleInfoPtr m_schedule;
    QDateTime m_previousDueTime;
    QDateTime m_previousBaseTime;
    CScheduleManagerBase* m_manager = nullptr;
};
