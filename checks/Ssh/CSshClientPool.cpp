#include "CSshClientPool.h"

#include "CTimerThread.h"

#include <QThread>

CSshClientPool* CSshClientPool::instance()
{
    static CSshClientPool* pool = new CSshClientPool;  // lives for the whole process
    return pool;
}

void CSshClientPool::doMaintenance()
{
    m_lastThread.store(QThread::currentThread());
    ++m_runs;
}

void ssh_client_pool_init()
{
    if (CTimerThread* thread = CTimerThread::instance())
        thread->addPeriodicJob(CTimerThread::maintenanceIntervalMs(), CSshClientPool::instance(), "1doMaintenance()");
}
