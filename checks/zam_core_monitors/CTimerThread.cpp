#include "CTimerThread.h"

#include "Debug.h"
#include "Snmp/CSnmpTableCache.h"
#include "Ssh/CSshClientPool.h"
#include "common/TestTimeScale.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutexLocker>
#include <QTimer>

CTimerThread* CTimerThread::m_instance = nullptr;

CTimerThread::~CTimerThread()
{
    // Timers that never reached the thread (it did not run) are still ours.
    qDeleteAll(m_timers);
}

CTimerThread* CTimerThread::instance()
{
    return m_instance;
}

int CTimerThread::maintenanceIntervalMs()
{
    return zam::scaledMs(60000);
}

void CTimerThread::threadStart()
{
    if (m_instance)
        return;
    m_instance = new CTimerThread;
    ssh_client_pool_init();
    snmp_table_cache_init();
    m_instance->start(QThread::InheritPriority);
}

void CTimerThread::threadStop()
{
    CTimerThread* thread = m_instance;
    if (!thread)
        return;
    {
        QMutexLocker lock(&thread->m_mutex);
        thread->m_returnThread = QThread::currentThread();
    }
    thread->quit();
    while (!thread->wait(100)) {
    }
    delete thread;
    m_instance = nullptr;
}

void CTimerThread::addPeriodicJob(int ms, QObject* object, const char* slot)
{
    if (!object || !slot)
        return;
    QMutexLocker lock(&m_mutex);
    auto* timer = new QTimer;
    if (!QObject::connect(timer, SIGNAL(timeout()), object, slot)) {
        Debug::warning("maintenance job has no such slot");
        delete timer;
        return;
    }
    timer->setInterval(ms);
    if (object->thread() == QThread::currentThread())
        object->moveToThread(this);
    else
        Debug::warning("maintenance job object belongs to another thread");
    // The timer must live where its event loop runs, or it never fires.
    timer->moveToThread(this);
    if (isRunning())
        QMetaObject::invokeMethod(timer, "start", Qt::QueuedConnection);
    else
        QObject::connect(this, SIGNAL(started()), timer, SLOT(start()));
    m_timers.append(timer);
    m_objects.append(object);
}

void CTimerThread::run()
{
    exec();
    QMutexLocker lock(&m_mutex);
    for (QTimer* timer : qAsConst(m_timers)) {
        timer->stop();
        delete timer;
    }
    m_timers.clear();
    QThread* home = m_returnThread;
    if (!home && QCoreApplication::instance())
        home = QCoreApplication::instance()->thread();
    for (QObject* object : qAsConst(m_objects)) {
        if (object->thread() == this)
            object->moveToThread(home);
    }
    m_objects.clear();
}

void timer_thread_start()
{
    CTimerThread::threadStart();
}

void timer_thread_stop()
{
    CTimerThread::threadStop();
}
