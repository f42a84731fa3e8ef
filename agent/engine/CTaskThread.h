#pragma once
#include "CTask.h"
#include "core/CNetMonSysLight.h"
#include "core/ProtectedQueueObject.h"

#include <QDateTime>
#include <QMutex>
#include <QWaitCondition>
#include <functional>
#include <list>
#include <memory>
#include <optional>

class CPluginManager;
class CMonitorRuntimeRegistry;

// A worker ("task thread %1") that runs the tasks handed to it one at a time: beforeExec and
// exec ("task exec"), then done ("task done"), then it tells its owner it is free again.
// A thread whose task hangs is abandoned by the watchdog rather than killed (it may hold a
// lock of the log, the settings, the resolver or the allocator): it gets no new work, its task
// is reported by the pool, and if the task ever returns the thread skips the task's own done
// and ends. Exactly one of the worker and the pool runs a task's done.
// Threads: the worker loop on its own thread; enqueue, the watchdog calls and abandon on the
// task manager's thread. m_mutex guards the queue, the flags and the current task; the watch
// time and detection count belong to the task manager's thread.
class CTaskThread : public CNetMonSysLight
{
    Q_OBJECT
public:
    using FinishedCallback = std::function<void(CTaskThread*)>;

    // Starts the thread at once. onFinished runs on this thread after each task.
    CTaskThread(QObject* parent, int number, FinishedCallback onFinished, CPluginManager* pluginManager = nullptr);
    ~CTaskThread() override;

    void terminateThread() override { terminateNow(); }

    int number() const { return m_number; }
    // The runtime data of the monitors this thread polls (used by its poll tasks).
    CMonitorRuntimeRegistry& monitorRegistry() { return *m_monitors; }
    CPluginManager* pluginManager() const { return m_pluginManager; }
    QString queueLabel() const;

    // Queues a task; false (task dropped) when the thread no longer accepts work.
    bool enqueue(const CTaskPtr& task);
    void resetWatch(const QDateTime& when);
    QDateTime watchTime() const { return m_watchTime; }
    int detectionCount() const { return m_detections; }
    // The watchdog's test of this thread at time now; true once the task counts as deadlocked.
    bool checkDeadlock(const QDateTime& now);
    void stopCurrentTask();      // step "task stop"
    void disableCurrentTask();   // step "task disable"
    QString currentTaskName() const;
    CTaskPtr currentTask() const;
    std::optional<int> currentObjectKey() const;
    std::optional<int> currentActionKey() const;
    // Waits until the worker loop has ended; timeoutMs < 0: no limit. True when it has.
    bool waitUntilStopped(int timeoutMs = -1);
    // True once the shutdown step has run: the thread touches nothing of the engine any more.
    bool hasShutDown() const;

    // Takes the thread out of service while its task still runs. False when the task has just
    // returned (the worker reports it itself) or the thread is idle.
    bool abandon();
    bool isAbandoned() const;
    // After abandon: "task disable" and "terminate task" (done) on the task, on the caller's thread.
    void finishAbandonedTask();

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;

private:
    template <class F>
    void runTaskStep(const char* step, F&& f);

    const int m_number;
    const FinishedCallback m_onFinished;
    CPluginManager* const m_pluginManager;
    std::unique_ptr<ProtectedQueueObject> m_queueObject;
    std::unique_ptr<CMonitorRuntimeRegistry> m_monitors;

    mutable QMutex m_mutex;
    QWaitCondition m_cond;
    std::list<CTaskPtr> m_queue;
    CTaskPtr m_current;
    bool m_stopRequested = false;
    bool m_running = false;
    bool m_accepting = true;
    bool m_finishing = false;   // the worker has claimed its task's done
    bool m_abandoned = false;
    bool m_shutDown = false;
    CTaskPtr m_abandonedTask;

    QDateTime m_watchTime;
    int m_detections = 0;
};
