#pragma once
#include "CTask.h"
#include "CTaskClock.h"
#include "CTaskThread.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <QHash>
#include <map>
#include <set>

class CPluginManager;
class CTaskManagerScheduler;

// The task threads ("task threads pool"): 8 at start, one more per dispatch when none is idle,
// up to the thread limit. A task goes to the idle thread that ran it last, else to the idle
// thread that last ran a poll of its monitor (that thread holds the monitor's working copy, so
// copies do not spread over every thread), else to the thread that became idle last; beyond 8 tasks a task is accepted only while the machine's load is
// under the CPU-load limit. Threads beyond 8 that stay idle for 120 s are retired. The
// watchdog (at most every 30 s) asks a hung task to stop twice and then abandons its thread:
// the thread leaves the pool, its task is reported through its own done, and a fresh thread
// takes its place on the next dispatch. At most kMaxAbandoned threads are abandoned. A stuck
// thread is logged once (not every pass), the cap once when it is reached, and every
// abandonment is counted in the statistic "ABANDONED_THREADS". Before a stuck poll's thread is
// given up, the incident goes to the incident hook and the monitor's polling count is reset
// through that thread's runtime registry, so the next poll of it is not taken for a second one.
// Threads: every operation runs on the task manager's thread; the pool has no thread. It
// creates every worker and deletes each exactly once, after it has finished.
class CTaskThreadsPool : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBaseThreads = 8;
    static constexpr int kDefaultMaxThreads = 100;
    static constexpr int kDefaultCpuLoadLimit = 80;
    static constexpr int kRetireAfterSeconds = 120;
    static constexpr int kWatchdogSeconds = 30;
    static constexpr int kMaxAbandoned = 16;
    static constexpr int kMaxRememberedMonitors = 1 << 18;

    // scheduler: whose sampled load the pool reads (null: the clock's load, read directly).
    // onFinished: what a worker calls after each task (the task manager posts it to itself).
    CTaskThreadsPool(QObject* parent, CTaskManagerScheduler* scheduler, CTaskThread::FinishedCallback onFinished,
                     CPluginManager* pluginManager = nullptr, CTaskClock* clock = CTaskClock::current());
    ~CTaskThreadsPool() override;

    // Where the watchdog reports a thread it gives up (the configuration manager's incident
    // hook in the daemon); called on the task manager's thread. Set before the first dispatch.
    using IncidentHook = std::function<void(QThread* thread, const QString& text, const QDateTime& when)>;
    void setIncidentHook(const IncidentHook& hook) { m_incidentHook = hook; }

    bool canAccept() const;
    bool dispatch(const CTaskPtr& task);
    void threadDone(CTaskThread* thread);
    void maintain();
    void setLimits(int threads, int cpuLoadLimit);
    void stopAll();
    // Waits for the workers; a busy one that has not ended within waitMs is abandoned.
    void waitAll(int waitMs = 20000);
    void terminateAll();

    int maxThreads() const { return m_maxThreads; }
    int cpuLoadLimit() const { return m_cpuLoadLimit; }
    int idleCount() const { return static_cast<int>(m_idle.size()); }
    int busyCount() const { return static_cast<int>(m_busy.size()); }
    int finishingCount() const { return static_cast<int>(m_finishing.size()); }
    int abandonedCount() const { return static_cast<int>(m_abandoned.size()); }
    int threadCounter() const { return m_counter; }
    // True when no worker can run task code any more (each has passed its shutdown step).
    bool allWorkersStopped() const;
    QString poolName() const { return objectName(); }

private:
    CTaskThread* createThread();
    int currentLoad() const;
    void checkDeadlocks(const QDateTime& now);
    void endDeadlockedThread(CTaskThread* thread, const QDateTime& now);
    // The steps for a task whose thread is given up: its incident, and for a poll the reset of
    // its monitor's polling count.
    void reportGivenUpTask(CTaskThread* thread, qint64 busySeconds, const QDateTime& now);
    void forgetThread(CTaskThread* thread);
    void reap();
    static bool removeThread(std::multimap<QDateTime, CTaskThread*>& set, CTaskThread* thread,
                             QDateTime* when = nullptr);

    CTaskManagerScheduler* const m_scheduler;
    const CTaskThread::FinishedCallback m_onFinished;
    CPluginManager* const m_pluginManager;
    CTaskClock* const m_clock;
    int m_counter = 0;
    std::multimap<QDateTime, CTaskThread*> m_idle;
    std::multimap<QDateTime, CTaskThread*> m_busy;
    std::multimap<QDateTime, CTaskThread*> m_finishing;
    std::map<CTaskThread*, QDateTime> m_deadlocked;
    std::set<CTaskThread*> m_abandoned;
    std::set<CTaskThread*> m_reportedStuck;   // "is deadlocked" logged for these already
    // monitor -> the thread its last poll went to; a thread gone since is simply not found idle
    QHash<int, CTaskThread*> m_threadOfMonitor;
    bool m_capReported = false;                // the cap line was logged since the cap was reached
    IncidentHook m_incidentHook;
    int m_maxThreads = kDefaultMaxThreads;
    int m_cpuLoadLimit = kDefaultCpuLoadLimit;
    QDateTime m_lastWatchdog;
};
