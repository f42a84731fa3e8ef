#include "CTaskManager.h"

#include "CAsyncResolver.h"
#include "CConfigManagerAgent.h"
#include "CSyncResolveTask.h"
#include "CTaskManagerScheduler.h"
#include "CTaskThread.h"
#include "CTaskThreadsPool.h"
#include "core/CNetworkMonitor.h"
#include "common/WebUtils.h"
#include "IEngineOutput.h"

#include <QDebug>
#include <QMutexLocker>

#include <stdexcept>

namespace {
constexpr int kRetryMs = 500;
// A forced end gives each helper this long before it is released.
constexpr int kTerminateWaitMs = 1000;

QDeadlineTimer deadlineIn(int ms)
{
    return ms < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(ms);
}
}

CTaskManager::CTaskManager(QObject* parent, const QString& name, int subsystemBit)
    : CNetMonSysHeavy(parent, name, subsystemBit)
{
}

CTaskManager::~CTaskManager()
{
    m_pending.clear();
    m_queue.clear();
    m_pool.reset();
}

bool CTaskManager::postTask(const CTaskPtr& task)
{
    if (!task)
        return false;
    return TMTask<CTaskPtr>::post(m_queue, this, task);
}

void CTaskManager::postSchedulerWake()
{
    TMTask<CTaskManagerScheduler*>::post(m_queue, this, m_scheduler.get());
}

void CTaskManager::postThreadFinished(CTaskThread* thread)
{
    {
        QMutexLocker locker(&m_finishedMutex);
        m_finished.push_back(thread);
        if (m_finished.size() > 1)
            return;   // a post is on its way and takes this one too
    }
    if (!TMTask<SFinishedThreadsTask>::post(m_queue, this, SFinishedThreadsTask())) {
        // Stopping: nothing takes threads back any more, as with the post it replaces.
        QMutexLocker locker(&m_finishedMutex);
        m_finished.clear();
    }
}

void CTaskManager::postSetLimits(int threads, int cpuLoadLimit)
{
    TMTask<TaskData2<int, int, SetLimitsTask>>::post(m_queue, this, {threads, cpuLoadLimit});
}

void CTaskManager::postSetWtmLimit(int limit)
{
    TMTask<TaskData1<int, SetWtmLimitTask>>::post(m_queue, this, {limit});
}

void CTaskManager::postGetCommonPlugin(int transactionId, int pluginId)
{
    TMTask<TaskData2<int, int, GetCommonPluginTask>>::post(m_queue, this, {transactionId, pluginId});
}

void CTaskManager::postSetNextScheduleManagerRescheduling(const QDateTime& when)
{
    TMTask<TaskData1<QDateTime, SetNextScheduleManagerReschedulingTask>>::post(m_queue, this, {when});
}

CPluginLibraryPtr CTaskManager::getCommonPlugin(int pluginId, int threadNumber)
{
    if (!m_pluginManager)
        throw std::runtime_error("missing plugin manager instance");
    return m_pluginManager->getCommonPlugin(pluginId, threadNumber);
}

CPluginThreadInstancePtr CTaskManager::getThreadPlugin(CTaskThread* thread, int pluginId)
{
    if (!m_pluginManager)
        throw std::runtime_error("missing plugin manager instance");
    return m_pluginManager->getThreadPlugin(thread, pluginId);
}

void CTaskManager::releaseThreadPlugins(CTaskThread* thread)
{
    if (m_pluginManager)
        m_pluginManager->releaseThreadPlugins(thread);
}

void CTaskManager::setAsyncResolveHandler(const AsyncResolveHandler& handler)
{
    QMutexLocker locker(&m_resolveMutex);
    m_asyncResolve = handler;
}

void CTaskManager::requestAsyncResolve(int requestId, bool addressFlag, const QString& text,
                                       const QString& previousAnswer)
{
    // Held across the call: the handler reaches the resolver, which stopHelpers ends and
    // deletes right after clearing the handler under this mutex. The call only queues.
    QMutexLocker locker(&m_resolveMutex);
    if (m_asyncResolve)
        m_asyncResolve(requestId, addressFlag, text, previousAnswer);
}

void CTaskManager::postSyncResolveTask(int linkValue, int requestId, bool addressFlag, const QString& text,
                                       const QString& previousAnswer)
{
    if (resolveServiceRequestId(requestId) == 0) {
        requestAsyncResolve(requestId, addressFlag, text, previousAnswer);
        return;
    }
    if (!postTask(CTaskPtr(new CSyncResolveTask(linkValue, requestId, addressFlag, text, previousAnswer))))
        qWarning().noquote() << QStringLiteral("resolve request %1 ignored: task manager is stopping")
                                    .arg(resolveServiceRequestId(requestId));
}

QString CTaskManager::resolveSync(bool addressFlag, const QString& text, const QString& previousAnswer)
{
    return addressFlag ? WebUtils::getHostnameByIp(text, previousAnswer, true)
                       : WebUtils::getIpByHostname(text, previousAnswer);
}

bool CTaskManager::shouldSendResolveResponse(int linkValue, int requestId, const QString& result)
{
    return !(result.isEmpty() && linkValue == -1 && (requestId & 0x7fffffff) == 0);
}

void CTaskManager::resolveFinished(int linkValue, int requestId, bool addressFlag, const QString& text,
                                   const QString& result)
{
    if (shouldSendResolveResponse(linkValue, requestId, result))
        output().sendResolveResponse(linkValue, requestId, addressFlag, text, result);
}

IEngineOutput& CTaskManager::output() const
{
    IEngineOutput* output = m_output.load();
    if (!output)
        throw std::runtime_error("missing agent manager instance");
    return *output;
}

void CTaskManager::setReschedulingHandler(const std::function<void()>& handler)
{
    QMutexLocker locker(&m_handlerMutex);
    m_rescheduling = handler;
}

void CTaskManager::rescheduleDue()
{
    std::function<void()> handler;
    {
        QMutexLocker locker(&m_handlerMutex);
        handler = m_rescheduling;
    }
    if (handler)
        handler();
}

bool CTaskManager::init()
{
    m_resolver.reset(new CAsyncResolver(nullptr));
    m_resolver->start();
    CAsyncResolver* resolver = m_resolver.get();
    setAsyncResolveHandler([resolver](int requestId, bool addressFlag, const QString& text, const QString& previous) {
        resolver->postAddForLookup(requestId, addressFlag, text, previous);
    });
    m_pluginManager.reset(new CPluginManager(nullptr));
    m_scheduler.reset(new CTaskManagerScheduler(
        nullptr, [this] { postSchedulerWake(); }, [this] { rescheduleDue(); }));
    m_pool.reset(new CTaskThreadsPool(nullptr, m_scheduler.get(),
                                      [this](CTaskThread* thread) { postThreadFinished(thread); },
                                      m_pluginManager.get()));
    m_pool->setIncidentHook([](QThread* thread, const QString& text, const QDateTime& when) {
        try {
            configManager()->noteThreadIncident(thread, text, when);
        } catch (const std::exception&) {
            // no configuration manager (a manager run on its own): nobody to tell
        }
    });
    return true;
}

void CTaskManager::postInit()
{
    if (m_pluginManager)
        m_pluginManager->postInitSnmp();
    m_queue.setServing(true);
}

bool CTaskManager::runStep()
{
    if (!m_pluginManager || !m_scheduler || !m_pool)
        return false;
    return runPostedTasks(m_queue, [this] { return isStopping(); });
}

void CTaskManager::addTask(const CTaskPtr& task)
{
    m_pending.append(task);
    dispatchPending();
}

void CTaskManager::dispatchPending()
{
    if (!m_pool || !m_scheduler)
        return;
    // Strict arrival order: a task that finds no thread holds back every task behind it.
    while (!m_pending.isEmpty()) {
        if (!m_pool->dispatch(m_pending.first()))
            break;
        m_pending.removeFirst();
    }
    m_pool->maintain();
    if (!m_pending.isEmpty())
        m_scheduler->setNextTaskManagerWake(CTaskClock::current()->now().addMSecs(kRetryMs));
}

void CTaskManager::threadsFinished()
{
    std::vector<CTaskThread*> finished;
    {
        QMutexLocker locker(&m_finishedMutex);
        finished.swap(m_finished);
    }
    if (!m_pool)
        return;
    for (CTaskThread* thread : finished)
        m_pool->threadDone(thread);
    dispatchPending();
}

void CTaskManager::handleTask(SetLimitsTask, int threads, int cpuLoadLimit)
{
    if (m_pool)
        m_pool->setLimits(threads, cpuLoadLimit);
}

void CTaskManager::handleTask(GetCommonPluginTask, int transactionId, int pluginId)
{
    // Blocks until the library is loaded, so the capabilities include its types.
    getCommonPlugin(pluginId, 0);
    output().sendExtendedCaps(transactionId);
}

void CTaskManager::handleTask(SetNextScheduleManagerReschedulingTask, const QDateTime& when)
{
    if (m_scheduler)
        m_scheduler->setNextRescheduling(when);
}

void CTaskManager::shutdown()
{
    m_queue.setServing(false);
    m_pending.clear();
    m_queue.clear();
    {
        QMutexLocker locker(&m_finishedMutex);
        m_finished.clear();
    }
    if (m_pool) {
        m_pool->stopAll();
        m_pool->waitAll();
        m_pool->maintain();
    }
    stopHelpers(-1);
}

void CTaskManager::stopHelpers(int waitMs)
{
    m_scheduler.stop(deadlineIn(waitMs));
    if (m_pluginManager) {
        // A worker may still run inside the library: unloading it would pull the code from
        // under that thread, so the library and its manager stay until the process ends.
        const bool workersGone = !m_pool || m_pool->allWorkersStopped();
        if (!workersGone)
            qWarning("%s: task threads still run; the plugin library stays loaded", qPrintable(name()));
        m_pluginManager->setKeepLibrariesLoaded(!workersGone);
        m_pluginManager.stop(deadlineIn(waitMs), workersGone ? OwnedHelperThread<CPluginManager>::AfterJoin::Delete
                                                             : OwnedHelperThread<CPluginManager>::AfterJoin::Release);
    }
    // After this no caller reaches the resolver.
    setAsyncResolveHandler({});
    m_resolver.stop(deadlineIn(waitMs));
}

void CTaskManager::onStop()
{
    m_queue.stopAndDiscard();
}

void CTaskManager::onTerminate()
{
    // Forced end of the engine. Task threads are asked to end and helpers are given a moment,
    // never killed: a killed thread may leave the log, settings or loader lock held for
    // everybody else. A helper still running then is released (OwnedHelperThread).
    if (m_pool)
        m_pool->terminateAll();
    stopHelpers(kTerminateWaitMs);
}
