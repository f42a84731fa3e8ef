#pragma once
#include "core/CNetMonSysHeavy.h"
#include "core/TaskAliases.h"
#include "engine/CScheduleClock.h"
#include "engine/CScheduleManagerTask.h"

#include <QDateTime>
#include <QExplicitlySharedDataPointer>
#include <QMap>
#include <QMultiMap>
#include <QSet>
#include <atomic>
#include <functional>

class CMonitorEvent;
class IEngineOutput;

ZAM_TASK_KIND(ScheduleTaskAgainTask);
ZAM_TASK_KIND(RemoveTaskTask);
ZAM_TASK_KIND(ScheduleReconnectTask);
ZAM_TASK_KIND(AddTaskTask);
// No payload: run the due loop.
struct AddRescheduleTask
{
    static const char* kindName() { return "AddRescheduleTask"; }
};

// The schedule manager's posted tasks: the schedule manager is owner and the mechanism's
// holder the target.
template <class P> using SMBaseTask = BridgeTask<CScheduleManagerAgent, class CScheduleManagerBase, P>;

// The mechanism of the schedule manager: registered tasks, a map of due times, and the tasks
// handed to the task manager and not yet done. It has no timer: after each pass it tells the
// task manager the next due time, and the task manager's scheduler posts a rescheduling request
// once that time has come.
// Wall-clock changes: the due loop compares the wall clock with a monotonic clock; when the wall
// clock was moved, every due time (and every task's last due time) moves with it, so intervals
// keep their length in real time. A clock set back is also reported ("system time manipulation
// detected").
// Threads: all maps, the reconnect set and the due loop's state belong to this component's
// thread (posted tasks, post-init, shutdown). Other threads only post. The queue's mutex guards
// the queue and its flags; task reference counts are atomic. Set hooks and clock before start.
class CScheduleManagerBase : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    // What the manager needs of the rest of the daemon; the defaults reach the task manager
    // through the root and hand events and reconnects to the output this manager was given.
    struct Hooks
    {
        std::function<void(const CTaskPtr&)> postTask;
        std::function<void(const QDateTime&)> setNextRescheduling;        // invalid: nothing due
        std::function<void(const std::function<void()>&)> setReschedulingHandler;   // null detaches
        std::function<void()> requestReconnect;
        std::function<void(int, const QExplicitlySharedDataPointer<CMonitorEvent>&)> sendMonitorEvent;
        std::function<bool()> receiversStopped;   // SNMP trap and syslog managers both stopped
    };
    Hooks defaultHooks();

    CScheduleManagerBase(QObject* parent, const QString& name, int subsystemBit);
    ~CScheduleManagerBase() override;

    void setHooks(const Hooks& hooks) { m_hooks = hooks; }
    void setClock(CScheduleClock* clock) { m_clock = clock; }
    // Where events and reconnect requests leave (the agent manager); the root sets it before
    // the start. Without one they are dropped with the "missing agent manager instance" error.
    void setOutput(IEngineOutput* output) { m_output.store(output); }
    IEngineOutput& output() const;

    // Posting, from any thread; dropped without a message once the queue no longer accepts.
    void postScheduleTaskAgain(const CScheduleManagerTaskPtr& task);
    void postReschedule();
    void postRemoveTask(const CScheduleManagerTaskPtr& task);
    // A link of agentId was lost: reconnect it delaySeconds from now, once per agent id.
    void postScheduleReconnect(int agentId, int delaySeconds);
    // Registers a task with a schedule (null keeps its schedule), from any thread.
    void postAddTask(const CScheduleManagerTaskPtr& task, const CScheduleInfoPtr& schedule);

    // Handlers of the posted tasks (this component's thread).
    void handleTask(ScheduleTaskAgainTask, const CScheduleManagerTaskPtr& task) { scheduleTaskAgain(task); }
    void handleTask(const AddRescheduleTask&) { reschedule(); }
    void handleTask(RemoveTaskTask, const CScheduleManagerTaskPtr& task) { removeTask(task); }
    void handleTask(ScheduleReconnectTask, int agentId, int delaySeconds) { scheduleReconnect(agentId, delaySeconds); }
    void handleTask(AddTaskTask, const CScheduleManagerTaskPtr& task, const CScheduleInfoPtr& schedule)
    {
        addTask(task, schedule);
    }

    // Operations on this component's thread.
    void addTask(const CScheduleManagerTaskPtr& task, const CScheduleInfoPtr& schedule = CScheduleInfoPtr());
    void scheduleTaskAgain(const CScheduleManagerTaskPtr& task);
    void removeTask(const CScheduleManagerTaskPtr& task);
    void scheduleReconnect(int agentId, int delaySeconds);
    // The due loop: hands over every task whose due time has come and tells the task manager
    // the next due time.
    void reschedule();

    // For the tasks' handOver (this component's thread).
    void postToTaskManager(const CTaskPtr& task);
    void reconnectDue(int agentId);

    // Relays a monitor event to the agent manager on the caller's thread; touches nothing here.
    void sendMonitorEvent(int monitorId, const QExplicitlySharedDataPointer<CMonitorEvent>& event);

protected:
    bool init() override { return true; }
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override {}
    void postInit() override;

    const Hooks& hooks() const { return m_hooks; }
    CScheduleClock* clock() const { return m_clock; }

private:
    // Moves every due time and last due time by ms.
    void shiftAll(qint64 ms);
    // Compares the wall clock with the monotonic one since the last check and shifts every due
    // time by a change of the wall clock; a clock set back is also reported. Returns the wall
    // time it read, the one the due times now agree with.
    QDateTime noticeClockChange();

    ProtectedQueue<BasicTaskPtr<CScheduleManagerAgent>> m_queue{QStringLiteral("SM")};
    QMap<CScheduleManagerTask*, CScheduleManagerTaskPtr> m_registered;
    QMultiMap<QDateTime, CScheduleManagerTask*> m_due;
    QSet<CScheduleManagerTask*> m_inFlight;
    QSet<int> m_pendingReconnects;
    QDateTime m_lastCheck;          // wall clock at the last due loop
    qint64 m_lastCheckMono = 0;     // monotonic clock at the same moment
    bool m_busy = false;
    Hooks m_hooks;
    std::atomic<IEngineOutput*> m_output{nullptr};
    CScheduleClock* m_clock = CScheduleClock::system();
};
