#pragma once
#include "CPluginManager.h"
#include "CTask.h"
#include "core/CNetMonSysHeavy.h"
#include "core/TaskAliases.h"
#include "OwnedHelperThread.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <vector>
#include <atomic>
#include <functional>
#include <memory>

class CAsyncResolver;
class CTaskManagerScheduler;
class IEngineOutput;
class CTaskThread;
class CTaskThreadsPool;

ZAM_TASK_KIND_NAME(CTaskPtr, "CTaskPtr");
ZAM_TASK_KIND_NAME(CTaskManagerScheduler*, "CTaskManagerScheduler*");
ZAM_TASK_KIND(SetLimitsTask);
ZAM_TASK_KIND(SetWtmLimitTask);
ZAM_TASK_KIND(GetCommonPluginTask);
ZAM_TASK_KIND(SetNextScheduleManagerReschedulingTask);

// Posted to itself: take back the task threads that have finished since.
struct SFinishedThreadsTask
{
    static const char* kindName() { return "SFinishedThreadsTask"; }
};

// The task manager ("task manager", bit 4): accepts tasks from every component, keeps those
// that wait for a thread in arrival order and hands them to the pool of task threads. Its init
// creates the asynchronous resolver, the plug-in manager, the scheduler and the pool; its
// shutdown stops the task threads first (each gives back its library thread contexts), then the
// scheduler, the plug-in manager (which unloads the library) and the resolver.
// Threads: every handler and the pending list belong to this component's thread; the post*
// calls and the plug-in forwarding calls run on the caller's thread. The helpers are created in
// init before any task runs and ended only in shutdown or terminate (stopHelpers).
// Ownership: the helper threads are held by OwnedHelperThread, the pool by this manager; the
// asynchronous resolver is reached only through the handler, called under m_resolveMutex, so
// that no caller (an abandoned task thread among them) can reach it once stopHelpers ends it.
class CTaskManager : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    CTaskManager(QObject* parent, const QString& name, int subsystemBit);
    ~CTaskManager() override;

    // Posting, from any thread; dropped without a message once the queue no longer accepts.
    bool postTask(const CTaskPtr& task);
    void postSchedulerWake();
    void postThreadFinished(CTaskThread* thread);
    void postSetLimits(int threads, int cpuLoadLimit);
    void postSetWtmLimit(int limit);
    void postGetCommonPlugin(int transactionId, int pluginId);
    void postSetNextScheduleManagerRescheduling(const QDateTime& when);

    // Plug-in access for task threads (caller's thread).
    CPluginLibraryPtr getCommonPlugin(int pluginId, int threadNumber);
    CPluginThreadInstancePtr getThreadPlugin(CTaskThread* thread, int pluginId);
    void releaseThreadPlugins(CTaskThread* thread);
    CPluginManager* pluginManager() const { return m_pluginManager.get(); }
    CTaskManagerScheduler* scheduler() const { return m_scheduler.get(); }
    CTaskThreadsPool* pool() const { return m_pool.get(); }

    // Background lookup for the library (request id 0x80000000: nobody waits for the answer).
    // Goes to the asynchronous resolver once one is attached; dropped before that.
    using AsyncResolveHandler = std::function<void(int requestId, bool addressFlag, const QString& text,
                                                   const QString& previousAnswer)>;
    void setAsyncResolveHandler(const AsyncResolveHandler& handler);
    void requestAsyncResolve(int requestId, bool addressFlag, const QString& text, const QString& previousAnswer);
    // Where every lookup ends: the answer goes to the service unless nobody asked for it.
    void resolveFinished(int linkValue, int requestId, bool addressFlag, const QString& text, const QString& result);
    static bool shouldSendResolveResponse(int linkValue, int requestId, const QString& result);
    // A resolve request of the service (caller's thread). A service id of 0 (low 31 bits) means
    // nobody waits: the background resolver takes it and answers only a changed answer, with
    // link value -1. Any other goes to a task thread and is answered in any case.
    void postSyncResolveTask(int linkValue, int requestId, bool addressFlag, const QString& text,
                             const QString& previousAnswer);
    // The lookup a resolve task runs (caller's thread).
    static QString resolveSync(bool addressFlag, const QString& text, const QString& previousAnswer);
    static constexpr int kNoWaitingRequest = static_cast<int>(0x80000000u);

    // Where the engine's answers leave (the agent manager); the root sets it before the start.
    // output() throws std::runtime_error "missing agent manager instance" without one.
    void setOutput(IEngineOutput* output) { m_output.store(output); }
    IEngineOutput& output() const;

    // What runs when the schedule manager's rescheduling time has come (scheduler's thread).
    void setReschedulingHandler(const std::function<void()>& handler);

    void terminateThread() override { CNetMonSysHeavy::terminateThread(); }

    // Handlers (this component's thread).
    void handleTask(const CTaskPtr& task) { addTask(task); }
    void handleTask(CTaskManagerScheduler*) { dispatchPending(); }
    void handleTask(const SFinishedThreadsTask&) { threadsFinished(); }
    void handleTask(SetLimitsTask, int threads, int cpuLoadLimit);
    void handleTask(SetWtmLimitTask, int) {}
    void handleTask(GetCommonPluginTask, int transactionId, int pluginId);
    void handleTask(SetNextScheduleManagerReschedulingTask, const QDateTime& when);

    int pendingCount() const { return m_pending.size(); }

protected:
    bool init() override;
    void postInit() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;

private:
    void addTask(const CTaskPtr& task);
    void dispatchPending();
    void threadsFinished();
    void rescheduleDue();
    // Ends the scheduler, the plug-in manager and the resolver, each joined within waitMs
    // (-1: no limit); the pool's task threads have been asked to end before.
    void stopHelpers(int waitMs);

    ProtectedQueue<BasicTaskPtr<CTaskManager>> m_queue{QStringLiteral("TM")};
    std::atomic<IEngineOutput*> m_output{nullptr};
    OwnedHelperThread<CTaskManagerScheduler> m_scheduler;
    std::unique_ptr<CTaskThreadsPool> m_pool;
    OwnedHelperThread<CPluginManager> m_pluginManager;
    OwnedHelperThread<CAsyncResolver> m_resolver;
    QList<CTaskPtr> m_pending;

    // Threads that finished a task and wait to be taken back: one post wakes this thread for
    // all that finish meanwhile, so a busy pool costs no post per task.
    QMutex m_finishedMutex;   // guards m_finished
    std::vector<CTaskThread*> m_finished;

    QMutex m_resolveMutex;   // guards m_asyncResolve and is held while it runs
    AsyncResolveHandler m_asyncResolve;
    QMutex m_handlerMutex;   // guards m_rescheduling
    std::function<void()> m_rescheduling;
};
