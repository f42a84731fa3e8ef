#include "engine/CScheduleManagerBase.h"

#include "common/TestTimeScale.h"
#include "core/CNetworkMonitor.h"
#include "engine/CScheduleInfoDelayed.h"
#include "engine/CScheduleInfoInterval.h"
#include "engine/CScheduleManagerAgentReconnectTask.h"
#include "engine/CTaskManager.h"
#include "IEngineOutput.h"

#include <QThread>
#include <cstdlib>
#include <stdexcept>

namespace {

// A difference between wall-clock and monotonic time below this is drift, not a change of the
// clock.
constexpr qint64 kClockChangeToleranceMs = 1000;
// Shutdown waits for the receivers at most this many times this long.
constexpr int kReceiverChecks = 20;
constexpr int kReceiverCheckMs = 100;

} // namespace

CScheduleManagerBase::Hooks CScheduleManagerBase::defaultHooks()
{
    Hooks h;
    h.postTask = [](const CTaskPtr& task) { taskManager()->postTask(task); };
    h.setNextRescheduling = [](const QDateTime& when) { taskManager()->postSetNextScheduleManagerRescheduling(when); };
    h.setReschedulingHandler = [](const std::function<void()>& handler) {
        taskManager()->setReschedulingHandler(handler);
    };
    h.requestReconnect = [this] { output().requestReconnect(); };
    h.sendMonitorEvent = [this](int monitorId, const QExplicitlySharedDataPointer<CMonitorEvent>& event) {
        output().sendMonitorEvent(monitorId, event);
    };
    h.receiversStopped = [] {
        return CNetworkMonitor::isStopped(CNetworkMonitor::TrapBit | CNetworkMonitor::SyslogBit);
    };
    return h;
}

CScheduleManagerBase::CScheduleManagerBase(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
    , m_hooks(defaultHooks())
{
}

CScheduleManagerBase::~CScheduleManagerBase() = default;

IEngineOutput& CScheduleManagerBase::output() const
{
    IEngineOutput* output = m_output.load();
    if (!output)
        throw std::runtime_error("missing agent manager instance");
    return *output;
}

void CScheduleManagerBase::postScheduleTaskAgain(const CScheduleManagerTaskPtr& task)
{
    using P = TaskData1<CScheduleManagerTaskPtr, ScheduleTaskAgainTask>;
    SMBaseTask<P>::post(m_queue, this, P{task});
}

void CScheduleManagerBase::postReschedule()
{
    SMBaseTask<AddRescheduleTask>::post(m_queue, this, AddRescheduleTask());
}

void CScheduleManagerBase::postRemoveTask(const CScheduleManagerTaskPtr& task)
{
    using P = TaskData1<CScheduleManagerTaskPtr, RemoveTaskTask>;
    SMBaseTask<P>::post(m_queue, this, P{task});
}

void CScheduleManagerBase::postScheduleReconnect(int agentId, int delaySeconds)
{
    using P = TaskData2<int, int, ScheduleReconnectTask>;
    SMBaseTask<P>::post(m_queue, this, P{agentId, delaySeconds});
}

void CScheduleManagerBase::postAddTask(const CScheduleManagerTaskPtr& task, const CScheduleInfoPtr& schedule)
{
    using P = TaskData2<CScheduleManagerTaskPtr, CScheduleInfoPtr, AddTaskTask>;
    SMBaseTask<P>::post(m_queue, this, P{task, schedule});
}

void CScheduleManagerBase::addTask(const CScheduleManagerTaskPtr& task, const CScheduleInfoPtr& schedule)
{
    if (!task)
        return;
    CScheduleManagerTask* key = task.data();
    if (!m_registered.contains(key))
        m_registered.insert(key, task);
    task->setManager(this);
    if (schedule)
        task->setScheduleInfo(schedule);
    // A task that runs is scheduled again, with its new schedule, when its run is done.
    if (m_inFlight.contains(key))
        return;
    for (auto it = m_due.begin(); it != m_due.end(); ++it) {
        if (it.value() == key) {
            m_due.erase(it);
            break;
        }
    }
    // A changed clock moves the task's last due time before its next one is computed from it.
    const QDateTime now = noticeClockChange();
    QDateTime next;
    if (task->computeNextRun(now, next))
        m_due.insert(next, key);
    reschedule();
}

void CScheduleManagerBase::scheduleTaskAgain(const CScheduleManagerTaskPtr& task)
{
    if (!task || !m_registered.contains(task.data()))
        return;
    m_inFlight.remove(task.data());
    addTask(task);
}

void CScheduleManagerBase::removeTask(const CScheduleManagerTaskPtr& task)
{
    if (!task)
        return;
    CScheduleManagerTask* key = task.data();
    for (auto it = m_due.begin(); it != m_due.end(); ++it) {
        if (it.value() == key) {
            m_due.erase(it);
            break;
        }
    }
    m_inFlight.remove(key);
    m_registered.remove(key);
    reschedule();
}

void CScheduleManagerBase::scheduleReconnect(int agentId, int delaySeconds)
{
    if (m_pendingReconnects.contains(agentId))
        return;
    auto scaledSeconds = [](int seconds) {
        return seconds <= 0 ? 0 : (zam::scaledMs(seconds * 1000) + 999) / 1000;
    };
    CScheduleManagerTaskPtr task(new CScheduleManagerAgentReconnectTask(agentId));
    const CScheduleInfoPtr schedule(new CScheduleInfoDelayed(
        CScheduleInfoPtr(new CScheduleInfoInterval(scaledSeconds(60), 1)), scaledSeconds(delaySeconds)));
    m_pendingReconnects.insert(agentId);
    addTask(task, schedule);
}

void CScheduleManagerBase::shiftAll(qint64 ms)
{
    QMultiMap<QDateTime, CScheduleManagerTask*> shifted;
    for (auto it = m_due.cbegin(); it != m_due.cend(); ++it)
        shifted.insert(it.key().addMSecs(ms), it.value());
    m_due.swap(shifted);
    for (const CScheduleManagerTaskPtr& task : qAsConst(m_registered))
        task->shiftDueTimes(ms);
}

QDateTime CScheduleManagerBase::noticeClockChange()
{
    const QDateTime now = m_clock->now();
    const qint64 mono = m_clock->monotonicMs();
    if (m_lastCheck.isValid()) {
        // How far the wall clock moved beyond the time that really passed.
        const qint64 change = m_lastCheck.msecsTo(now) - (mono - m_lastCheckMono);
        const bool setBack = now < m_lastCheck;
        if (setBack)
            qWarning("system time manipulation detected");
        if (setBack || std::llabs(change) > kClockChangeToleranceMs)
            shiftAll(change);
    }
    m_lastCheck = now;
    m_lastCheckMono = mono;
    return now;
}

void CScheduleManagerBase::reschedule()
{
    if (m_busy)
        return;
    m_busy = true;
    struct ClearBusy
    {
        bool& busy;
        ~ClearBusy() { busy = false; }
    } clearBusy{m_busy};

    // The due times were moved for this reading of the clock: a second reading could see a
    // change they were not moved for and run tasks early.
    const QDateTime t = noticeClockChange();
    while (!m_due.isEmpty() && !(t < m_due.firstKey())) {
        const auto first = m_due.begin();
        const QDateTime dueTime = first.key();
        CScheduleManagerTask* task = first.value();
        m_due.erase(first);
        const auto registered = m_registered.constFind(task);
        if (registered == m_registered.constEnd())
            continue;
        const CScheduleManagerTaskPtr ref = registered.value();
        m_inFlight.insert(task);
        task->markDue(dueTime);
        task->handOver(this, ref);
    }

    m_hooks.setNextRescheduling(m_due.isEmpty() ? QDateTime() : m_due.firstKey());
}

void CScheduleManagerBase::postToTaskManager(const CTaskPtr& task)
{
    m_hooks.postTask(task);
}

void CScheduleManagerBase::reconnectDue(int agentId)
{
    m_pendingReconnects.remove(agentId);
    m_hooks.requestReconnect();
}

void CScheduleManagerBase::sendMonitorEvent(int monitorId, const QExplicitlySharedDataPointer<CMonitorEvent>& event)
{
    m_hooks.sendMonitorEvent(monitorId, event);
}

bool CScheduleManagerBase::runStep()
{
    return runPostedTasks(m_queue, [this] { return isStopping(); });
}

void CScheduleManagerBase::postInit()
{
    m_hooks.setReschedulingHandler([this] { postReschedule(); });
    m_queue.setServing(true);
}

void CScheduleManagerBase::shutdown()
{
    for (int i = 0; i < kReceiverChecks && !m_hooks.receiversStopped(); ++i)
        QThread::msleep(kReceiverCheckMs);
    m_queue.setServing(false);
    // The task manager's scheduler must not post here once this object may be gone.
    try {
        m_hooks.setReschedulingHandler(std::function<void()>());
    } catch (const std::exception&) {
        // No task manager: nothing to detach from.
    }
    m_inFlight.clear();
    m_due.clear();
    m_registered.clear();
    m_pendingReconnects.clear();
}

void CScheduleManagerBase::onStop()
{
    m_queue.stopAndDiscard();
}
