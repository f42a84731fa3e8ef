#include "CTaskManagerScheduler.h"
#include "core/PerformanceStatistics.h"

#include <QMutexLocker>

CTaskManagerScheduler::CTaskManagerScheduler(QObject* parent, std::function<void()> onWake,
                                             std::function<void()> onReschedule, CTaskClock* clock)
    : CNetMonSysLight(parent, QStringLiteral("task manager scheduler"))
    , m_clock(clock)
    , m_onWake(std::move(onWake))
    , m_onReschedule(std::move(onReschedule))
{
    start(QThread::InheritPriority);
}

CTaskManagerScheduler::~CTaskManagerScheduler()
{
    if (isRunning()) {
        stop();
        wait();
    }
}

void CTaskManagerScheduler::setNextTaskManagerWake(const QDateTime& when)
{
    QMutexLocker locker(&m_mutex);
    m_wake = when;
}

void CTaskManagerScheduler::setNextRescheduling(const QDateTime& when)
{
    QMutexLocker locker(&m_mutex);
    m_rescheduling = when;
}

QDateTime CTaskManagerScheduler::nextTaskManagerWake() const
{
    QMutexLocker locker(&m_mutex);
    return m_wake;
}

QDateTime CTaskManagerScheduler::nextRescheduling() const
{
    QMutexLocker locker(&m_mutex);
    return m_rescheduling;
}

int CTaskManagerScheduler::load() const
{
    QMutexLocker locker(&m_mutex);
    return m_load;
}

bool CTaskManagerScheduler::runStep()
{
    for (;;) {
        if (m_semaphore.tryAcquire(1, kTickMs))
            return false;
        tick();
    }
}

void CTaskManagerScheduler::tick()
{
    const int load = m_clock->loadPercent();
    addStatisticValue(STAT_CPU_LOAD, static_cast<quint32>(load < 0 ? 0 : load));
    const QDateTime now = m_clock->now();
    bool wakeDue = false;
    bool reschedulingDue = false;
    {
        QMutexLocker locker(&m_mutex);
        m_load = load;
        if (m_lastSeen.isNull())
            m_lastSeen = now;
        if (now < m_lastSeen) {
            qWarning("system time manipulation detected");
            const qint64 back = now.secsTo(m_lastSeen);
            if (!m_wake.isNull())
                m_wake = m_wake.addSecs(-back);
            if (!m_rescheduling.isNull())
                m_rescheduling = m_rescheduling.addSecs(-back);
        }
        m_lastSeen = now;
        if (!m_wake.isNull() && !(now < m_wake)) {
            m_wake = QDateTime();
            wakeDue = true;
        }
        if (!m_rescheduling.isNull() && !(now < m_rescheduling)) {
            m_rescheduling = QDateTime();
            reschedulingDue = true;
        }
    }
    if (wakeDue && m_onWake)
        m_onWake();
    if (reschedulingDue && m_onReschedule)
        m_onReschedule();
}

void CTaskManagerScheduler::shutdown()
{
    m_semaphore.release(2);
}

void CTaskManagerScheduler::onStop()
{
    {
        QMutexLocker locker(&m_mutex);
        if (m_stopAsked)
            return;
        m_stopAsked = true;
    }
    m_semaphore.release(1);
    // Returns once the loop has ended and shutdown has run (bounded, in case it never ran).
    if (isRunning())
        m_semaphore.tryAcquire(2, 30000);
}
