#include "stZamMonitor.h"
#include "CTaskThread.h"
#include "CMonitorRuntimeRegistry.h"
#include "CTaskManager.h"
#include "core/CNetworkMonitor.h"
#include "CPluginManager.h"
#include "CTaskClock.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

CTaskThread::CTaskThread(QObject* parent, int number, FinishedCallback onFinished, CPluginManager* pluginManager)
    : CNetMonSysLight(parent, QStringLiteral("task thread %1").arg(number))
    , m_number(number)
    , m_onFinished(std::move(onFinished))
    , m_pluginManager(pluginManager)
    , m_queueObject(new ProtectedQueueObject(QStringLiteral("TT#%1").arg(number)))
    , m_monitors(new CMonitorRuntimeRegistry([this](int pluginId) {
        CPluginManager* manager = m_pluginManager ? m_pluginManager : taskManager()->pluginManager();
        return manager->getThreadPlugin(this, pluginId);
    }))
{
    start(QThread::InheritPriority);
}

CTaskThread::~CTaskThread()
{
    // Only the pool deletes a thread, and only once it has finished.
    if (isRunning()) {
        stop();
        wait();
    }
}

QString CTaskThread::queueLabel() const
{
    return QStringLiteral("<%1>").arg(m_queueObject->objectName());
}

template <class F>
void CTaskThread::runTaskStep(const char* step, F&& f)
{
    bool threw;
    guardedStep(step, std::forward<F>(f), threw);
}

bool CTaskThread::enqueue(const CTaskPtr& task)
{
    {
        QMutexLocker locker(&m_mutex);
        if (!m_accepting || !task)
            return false;
        m_queue.push_back(task);
        m_cond.wakeAll();
    }
    m_queueObject->notifyNewItem();
    return true;
}

void CTaskThread::resetWatch(const QDateTime& when)
{
    m_watchTime = when;
    m_detections = 0;
}

CTaskPtr CTaskThread::currentTask() const
{
    QMutexLocker locker(&m_mutex);
    return m_current;
}

bool CTaskThread::checkDeadlock(const QDateTime& now)
{
    const CTaskPtr task = currentTask();
    if (!task)
        return false;
    if (m_watchTime.isNull()) {
        resetWatch(now);
        return false;
    }
    const QDateTime start = task->startTime();
    if (start.isValid() && m_watchTime < start) {
        // A newer task started, or the task said it is still alive.
        resetWatch(start);
        return false;
    }
    const qint64 seconds = m_watchTime.secsTo(now);
    if (!task->isDeadlocked(static_cast<int>(qBound<qint64>(INT_MIN, seconds, INT_MAX))))
        return false;
    ++m_detections;
    if (m_detections <= 2) {
        qWarning("thread %d with %s detected as deadlocked for %d time(s)", m_number, qPrintable(task->name()),
                 m_detections);
        m_watchTime = now;
        task->setState(1);
        runTaskStep("task stop", [&] { task->stop(); });
        return false;
    }
    return true;
}

void CTaskThread::stopCurrentTask()
{
    const CTaskPtr task = currentTask();
    if (!task)
        return;
    runTaskStep("task stop", [&] {
        task->setState(1);
        task->stop();
    });
}

void CTaskThread::disableCurrentTask()
{
    const CTaskPtr task = currentTask();
    if (task)
        runTaskStep("task disable", [&] { task->disable(); });
}

QString CTaskThread::currentTaskName() const
{
    const CTaskPtr task = currentTask();
    return task ? task->name() : QStringLiteral("no task");
}

std::optional<int> CTaskThread::currentObjectKey() const
{
    const CTaskPtr task = currentTask();
    return task ? task->objectKey() : std::nullopt;
}

std::optional<int> CTaskThread::currentActionKey() const
{
    const CTaskPtr task = currentTask();
    return task ? task->actionKey() : std::nullopt;
}

bool CTaskThread::waitUntilStopped(int timeoutMs)
{
    QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    QMutexLocker locker(&m_mutex);
    while (m_running) {
        m_cond.wakeAll();
        if (!m_cond.wait(&m_mutex, deadline) && deadline.hasExpired())
            return !m_running;
    }
    return true;
}

bool CTaskThread::hasShutDown() const
{
    QMutexLocker locker(&m_mutex);
    return m_shutDown;
}

bool CTaskThread::abandon()
{
    QMutexLocker locker(&m_mutex);
    if (!m_current || m_finishing || m_abandoned)
        return false;
    m_abandoned = true;
    m_accepting = false;
    m_abandonedTask = m_current;
    // Tasks queued behind the stuck one would never run here; the owner sees them dropped.
    m_queue.clear();
    return true;
}

bool CTaskThread::isAbandoned() const
{
    QMutexLocker locker(&m_mutex);
    return m_abandoned;
}

void CTaskThread::finishAbandonedTask()
{
    CTaskPtr task;
    {
        QMutexLocker locker(&m_mutex);
        task.swap(m_abandonedTask);
    }
    if (!task)
        return;
    runTaskStep("task disable", [&] { task->disable(); });
    runTaskStep("terminate task", [&] { task->done(this); });
}

bool CTaskThread::init()
{
    QMutexLocker locker(&m_mutex);
    m_running = true;
    m_accepting = !m_abandoned;
    return true;
}

bool CTaskThread::runStep()
{
    for (;;) {
        CTaskPtr task;
        {
            QMutexLocker locker(&m_mutex);
            for (;;) {
                if (!m_running)
                    return false;
                if (!m_queue.empty()) {
                    task = m_queue.front();
                    m_queue.pop_front();
                    m_current = task;
                    break;
                }
                if (m_stopRequested)
                    return false;
                m_cond.wait(&m_mutex);
            }
        }
        setName(QStringLiteral("task thread %1 with %2").arg(m_number).arg(task->name()));
        task->setState(0);
        task->setLastThread(this);
        task->markStarted();
        if (isStopping()) {
            QMutexLocker locker(&m_mutex);
            m_current.reset();
            return false;
        }
        runTaskStep("task exec", [&] {
            task->beforeExec();
            task->exec(this);
        });
        {
            QMutexLocker locker(&m_mutex);
            if (m_abandoned) {
                // The pool has reported this task already; this thread is out of service.
                m_current.reset();
                return false;
            }
            m_finishing = true;
        }
        runTaskStep("task done", [&] { task->done(this); });
        {
            QMutexLocker locker(&m_mutex);
            m_current.reset();
            m_finishing = false;
        }
        task.reset();
        // Monitors this thread has not polled for two minutes give their library data back.
        m_monitors->purgeIdle();
        setName(QStringLiteral("task thread %1").arg(m_number));
        if (m_onFinished)
            m_onFinished(this);
    }
}

void CTaskThread::shutdown()
{
    // The monitors' library data and then the thread contexts end on the thread that made them.
    m_monitors->releaseAll();
    if (m_pluginManager)
        m_pluginManager->releaseThreadPlugins(this);
    QMutexLocker locker(&m_mutex);
    m_running = false;
    m_shutDown = true;
    m_queue.clear();
    m_cond.wakeAll();
}

void CTaskThread::onStop()
{
    {
        QMutexLocker locker(&m_mutex);
        m_stopRequested = true;
        m_cond.wakeAll();
    }
    m_queueObject->notifyNewItem();
}

void CTaskThread::onTerminate()
{
    // The library context of a thread being killed must not be used from another thread.
    m_monitors->dropAll();
    CTaskPtr task;
    {
        QMutexLocker locker(&m_mutex);
        task.swap(m_current);
        m_running = false;
        m_cond.wakeAll();
    }
    if (task)
        runTaskStep("terminate task", [&] { task->done(this); });
}
