#include "engine/CScheduleManagerTask.h"

#include "engine/CScheduleInfoDummy.h"
#include "engine/CScheduleManagerBase.h"

CScheduleManagerTask::CScheduleManagerTask(const CTaskPtr& wrapped, const QString& name)
    : CTask(wrapped ? QStringLiteral("SM task for %1").arg(wrapped->name()) : name)
    , m_wrapped(wrapped)
    , m_schedule(new CScheduleInfoDummy)
{
}

CScheduleManagerTask::~CScheduleManagerTask() = default;

void CScheduleManagerTask::beforeExec()
{
    if (m_wrapped)
        m_wrapped->beforeExec();
}

void CScheduleManagerTask::exec(CTaskThread* thread)
{
    if (m_wrapped)
        m_wrapped->exec(thread);
}

void CScheduleManagerTask::stop()
{
    if (m_wrapped)
        m_wrapped->stop();
}

void CScheduleManagerTask::disable()
{
    if (m_wrapped)
        m_wrapped->disable();
}

void CScheduleManagerTask::done(CTaskThread* thread)
{
    // Scheduled again whatever the wrapped done does; its exception still passes on.
    struct Again
    {
        CScheduleManagerTask* task;
        ~Again()
        {
            if (CScheduleManagerBase* manager = task->m_manager)
                manager->postScheduleTaskAgain(CScheduleManagerTaskPtr(task));
        }
    } again{this};
    if (m_wrapped)
        m_wrapped->done(thread);
}

bool CScheduleManagerTask::isDeadlocked(int seconds)
{
    return m_wrapped ? m_wrapped->isDeadlocked(seconds) : false;
}

std::optional<int> CScheduleManagerTask::objectKey() const
{
    return m_wrapped ? m_wrapped->objectKey() : std::nullopt;
}

std::optional<int> CScheduleManagerTask::actionKey() const
{
    return m_wrapped ? m_wrapped->actionKey() : std::nullopt;
}

void CScheduleManagerTask::handOver(CScheduleManagerBase* manager, const CScheduleManagerTaskPtr& self)
{
    manager->postToTaskManager(CTaskPtr(self.data()));
}

void CScheduleManagerTask::setScheduleInfo(const CScheduleInfoPtr& schedule)
{
    m_schedule = schedule;
}

bool CScheduleManagerTask::computeNextRun(const QDateTime& now, QDateTime& out)
{
    if (m_previousDueTime.isValid() && m_previousDueTime > now)
        m_previousDueTime = now;
    if (m_previousBaseTime.isValid() && m_previousBaseTime > now)
        m_previousBaseTime = now;
    if (!m_schedule)
        return false;
    return m_schedule->nextRunTime(m_wrapped.data(), now, m_previousDueTime, m_previousBaseTime, out);
}

void CScheduleManagerTask::markDue(const QDateTime& time)
{
    m_previousDueTime = time;
    m_previousBaseTime = time;
}

void CScheduleManagerTask::shiftDueTimes(qint64 ms)
{
    if (m_previousDueTime.isValid())
        m_previousDueTime = m_previousDueTime.addMSecs(ms);
    if (m_previousBaseTime.isValid())
        m_previousBaseTime = m_previousBaseTime.addMSecs(ms);
}
