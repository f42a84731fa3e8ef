#include "CTaskThreadsPool.h"
#include "CMonitorRuntimeRegistry.h"
#include "CTaskManagerScheduler.h"
#include "core/CNetworkMonitor.h"
#include "core/PerformanceStatistics.h"

#include <QDeadlineTimer>
#include <QtGlobal>
#include <cstdlib>

CTaskThreadsPool::CTaskThreadsPool(QObject* parent, CTaskManagerScheduler* scheduler,
                                   CTaskThread::FinishedCallback onFinished, CPluginManager* pluginManager,
                                   CTaskClock* clock)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_onFinished(std::move(onFinished))
    , m_pluginManager(pluginManager)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("task threads pool"));
    for (int i = 0; i < kBaseThreads; ++i) {
        CTaskThread* thread = createThread();
        if (thread)
            m_idle.emplace(m_clock->now(), thread);
    }
    if (m_idle.empty())
        reportFatalError(QStringLiteral("%1: cannot create worker threads").arg(poolName()));
}

CTaskThreadsPool::~CTaskThreadsPool()
{
    // Workers still in the pool are stopped and deleted once they have ended; an abandoned
    // worker that never returned is left running (it may hold a lock).
    std::set<CTaskThread*> all;
    for (const auto& e : m_idle)
        all.insert(e.second);
    for (const auto& e : m_busy)
        all.insert(e.second);
    for (const auto& e : m_finishing)
        all.insert(e.second);
    for (CTaskThread* thread : all)
        thread->stop();
    for (CTaskThread* thread : all) {
        if (thread->wait(5000))
            delete thread;
    }
    for (CTaskThread* thread : m_abandoned) {
        if (thread->isFinished())
            delete thread;
    }
}

CTaskThread* CTaskThreadsPool::createThread()
{
    const int number = ++m_counter;
    return new CTaskThread(nullptr, number, m_onFinished, m_pluginManager);
}

int CTaskThreadsPool::currentLoad() const
{
    return m_scheduler ? m_scheduler->load() : m_clock->loadPercent();
}

bool CTaskThreadsPool::canAccept() const
{
    const int busy = busyCount();
    if (busy < kBaseThreads)
        return true;
    return busy < m_maxThreads && currentLoad() < m_cpuLoadLimit;
}

bool CTaskThreadsPool::removeThread(std::multimap<QDateTime, CTaskThread*>& set, CTaskThread* thread,
                                    QDateTime* when)
{
    bool found = false;
    for (auto it = set.begin(); it != set.end();) {
        if (it->second == thread) {
            if (when)
                *when = it->first;
            it = set.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    return found;
}

bool CTaskThreadsPool::dispatch(const CTaskPtr& task)
{
    if (!task || !canAccept())
        return false;
    const std::optional<int> monitor = task->objectKey();
    CTaskThread* chosen = nullptr;
    if (m_idle.empty()) {
        chosen = createThread();
    } else {
        CTaskThread* last = task->lastThread();
        if (!last && monitor)
            last = m_threadOfMonitor.value(*monitor, nullptr);
        if (last && m_maxThreads >= idleCount() + busyCount() && removeThread(m_idle, last))
            chosen = last;
        if (!chosen) {
            auto newest = std::prev(m_idle.end());
            chosen = newest->second;
            m_idle.erase(newest);
        }
    }
    if (monitor) {
        if (m_threadOfMonitor.size() >= kMaxRememberedMonitors && !m_threadOfMonitor.contains(*monitor))
            m_threadOfMonitor.clear();   // bounded: the ids a service uses come and go
        m_threadOfMonitor.insert(*monitor, chosen);
    }
    const QDateTime now = m_clock->now();
    chosen->resetWatch(now);
    m_busy.emplace(now, chosen);
    addStatisticValue(STAT_BUSY_THREADS, static_cast<quint32>(busyCount()));
    addStatisticValue(STAT_IDLE_THREADS, static_cast<quint32>(idleCount()));
    if (!chosen->enqueue(task)) {
        // Cannot happen for a pooled worker; keep the books straight if it does.
        removeThread(m_busy, chosen);
        m_idle.emplace(now, chosen);
        return false;
    }
    return true;
}

void CTaskThreadsPool::threadDone(CTaskThread* thread)
{
    if (!removeThread(m_busy, thread))
        return;   // not ours any more (abandoned, retired): nothing to put back
    m_deadlocked.erase(thread);
    forgetThread(thread);
    m_idle.emplace(m_clock->now(), thread);
}

void CTaskThreadsPool::maintain()
{
    const QDateTime now = m_clock->now();
    checkDeadlocks(now);

    const QDateTime cutoff = now.addSecs(-kRetireAfterSeconds);
    while (idleCount() + busyCount() > kBaseThreads && !m_idle.empty() && m_idle.begin()->first < cutoff) {
        CTaskThread* thread = m_idle.begin()->second;
        m_idle.erase(m_idle.begin());
        thread->stop();
        thread->waitUntilStopped(5000);
        m_finishing.emplace(m_clock->now(), thread);
    }
    reap();
}

void CTaskThreadsPool::reap()
{
    for (auto it = m_finishing.begin(); it != m_finishing.end();) {
        if (it->second->isFinished()) {
            delete it->second;
            it = m_finishing.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_abandoned.begin(); it != m_abandoned.end();) {
        if ((*it)->isFinished()) {
            CTaskThread* thread = *it;
            it = m_abandoned.erase(it);
            forgetThread(thread);
            delete thread;
        } else {
            ++it;
        }
    }
}

void CTaskThreadsPool::checkDeadlocks(const QDateTime& now)
{
    if (m_lastWatchdog.isNull())
        m_lastWatchdog = now;
    if (std::llabs(m_lastWatchdog.secsTo(now)) <= kWatchdogSeconds - 1)
        return;
    m_lastWatchdog = now;

    for (const auto& entry : m_busy) {
        CTaskThread* thread = entry.second;
        if (m_deadlocked.count(thread))
            continue;
        if (thread->checkDeadlock(now)) {
            // A thread kept at the cap is flagged again on every pass; it is logged once.
            if (m_reportedStuck.insert(thread).second)
                qCritical("%s: thread %d with %s is deadlocked", qPrintable(poolName()), thread->number(),
                          qPrintable(thread->currentTaskName()));
            m_deadlocked.emplace(thread, now);
        }
    }
    if (m_deadlocked.empty())
        return;
    // The thread flagged first is dealt with first; one per pass.
    auto first = m_deadlocked.begin();
    for (auto it = m_deadlocked.begin(); it != m_deadlocked.end(); ++it) {
        if (it->second < first->second)
            first = it;
    }
    CTaskThread* thread = first->first;
    m_deadlocked.erase(first);
    bool busy = false;
    for (const auto& entry : m_busy)
        busy = busy || entry.second == thread;
    if (busy && thread->checkDeadlock(now))
        endDeadlockedThread(thread, now);
}

void CTaskThreadsPool::endDeadlockedThread(CTaskThread* thread, const QDateTime& now)
{
    const QString taskName = thread->currentTaskName();
    if (abandonedCount() >= kMaxAbandoned) {
        if (!m_capReported)
            qCritical("%s: %d threads are abandoned already; thread %d with %s stays in the pool, and so does "
                      "every further stuck thread until one of them ends",
                      qPrintable(poolName()), abandonedCount(), thread->number(), qPrintable(taskName));
        m_capReported = true;
        return;
    }
    qCritical("%s: terminating deadlocked thread %d with %s", qPrintable(poolName()), thread->number(),
              qPrintable(taskName));
    QDateTime since;
    for (const auto& entry : m_busy)
        if (entry.second == thread)
            since = entry.first;
    const qint64 busySeconds = since.isValid() ? since.secsTo(now) : 0;
    // While the task is still the thread's current one: its keys name the monitor.
    reportGivenUpTask(thread, busySeconds, now);
    if (!thread->abandon())
        return;   // the task returned just now; the worker reports it as usual
    removeThread(m_busy, thread);
    m_deadlocked.erase(thread);
    m_abandoned.insert(thread);
    addStatisticValue(STAT_ABANDONED_THREADS, static_cast<quint32>(abandonedCount()));
    qCritical("%s: thread %d abandoned after %lld seconds, %d of at most %d abandoned threads", qPrintable(poolName()),
              thread->number(), static_cast<long long>(busySeconds), abandonedCount(), kMaxAbandoned);
    // Out of the pool first, then the task's report: nothing else can report it now.
    thread->finishAbandonedTask();
}

void CTaskThreadsPool::reportGivenUpTask(CTaskThread* thread, qint64 busySeconds, const QDateTime& now)
{
    const std::optional<int> monitorId = thread->currentObjectKey();
    const QString what = monitorId ? QStringLiteral("Poll task thread")
                         : thread->currentActionKey() ? QStringLiteral("Action task thread")
                                                      : QStringLiteral("Thread");
    if (m_incidentHook)
        m_incidentHook(thread, QStringLiteral("%1 terminated: deadlock detected (no response for %2 seconds)")
                                   .arg(what).arg(busySeconds),
                       now);
    if (!monitorId)
        return;
    try {
        bool notFound = false;
        bool changed = false;
        bool third = false;
        if (CMonitorRuntimeDataPtr runtime = thread->monitorRegistry().get(*monitorId, &notFound, &changed, &third))
            runtime->endPoll();
    } catch (const std::exception& e) {
        qWarning("%s: monitor %d of thread %d not reset: %s", qPrintable(poolName()), *monitorId, thread->number(),
                 e.what());
    }
}

void CTaskThreadsPool::forgetThread(CTaskThread* thread)
{
    m_reportedStuck.erase(thread);
    if (abandonedCount() < kMaxAbandoned)
        m_capReported = false;
}

void CTaskThreadsPool::setLimits(int threads, int cpuLoadLimit)
{
    if (threads == 0)
        m_maxThreads = kDefaultMaxThreads;
    else if (threads > 0)
        m_maxThreads = qBound(kBaseThreads, threads, 2048);
    if (cpuLoadLimit == 0)
        m_cpuLoadLimit = kDefaultCpuLoadLimit;
    else if (cpuLoadLimit > 0)
        m_cpuLoadLimit = qBound(10, cpuLoadLimit, 100);
    qInfo("%s: new limits: threads=%d, cpuload=%d", qPrintable(poolName()), m_maxThreads, m_cpuLoadLimit);
}

bool CTaskThreadsPool::allWorkersStopped() const
{
    for (CTaskThread* thread : m_abandoned) {
        if (!thread->hasShutDown())
            return false;
    }
    for (const auto* set : {&m_idle, &m_busy, &m_finishing}) {
        for (const auto& e : *set) {
            if (!e.second->hasShutDown())
                return false;
        }
    }
    return true;
}

void CTaskThreadsPool::stopAll()
{
    for (const auto& e : m_busy)
        e.second->stopCurrentTask();
    for (const auto& e : m_busy)
        e.second->stop();
    for (const auto& e : m_idle)
        e.second->stop();
}

void CTaskThreadsPool::waitAll(int waitMs)
{
    QDeadlineTimer deadline(waitMs);
    std::vector<CTaskThread*> stuck;
    for (const auto& e : m_busy) {
        if (!e.second->waitUntilStopped(static_cast<int>(qMax<qint64>(0, deadline.remainingTime()))))
            stuck.push_back(e.second);
    }
    for (const auto& e : m_idle)
        e.second->waitUntilStopped(5000);
    for (CTaskThread* thread : stuck) {
        if (abandonedCount() < kMaxAbandoned && thread->abandon()) {
            qCritical("%s: thread %d with %s did not stop; abandoned", qPrintable(poolName()), thread->number(),
                      qPrintable(thread->currentTaskName()));
            removeThread(m_busy, thread);
            m_abandoned.insert(thread);
            thread->finishAbandonedTask();
        }
    }
}

void CTaskThreadsPool::terminateAll()
{
    for (const auto& e : m_idle)
        e.second->stop();
    for (const auto& e : m_idle)
        e.second->waitUntilStopped(5000);
    // Busy workers are not killed (they may hold a lock); they are abandoned and reported.
    std::vector<CTaskThread*> busy;
    for (const auto& e : m_busy)
        busy.push_back(e.second);
    for (CTaskThread* thread : busy) {
        thread->stop();
        if (thread->abandon()) {
            removeThread(m_busy, thread);
            m_abandoned.insert(thread);
            thread->finishAbandonedTask();
        }
    }
}
