#include "CSnmpTableCache.h"

#include "CTimerThread.h"

#include <QThread>

CSnmpTableCache* CSnmpTableCache::instance()
{
    static CSnmpTableCache* cache = new CSnmpTableCache;  // lives for the whole process
    return cache;
}

void CSnmpTableCache::doMaintenance()
{
    m_lastThread.store(QThread::currentThread());
    ++m_runs;
}

void snmp_table_cache_init()
{
    if (CTimerThread* thread = CTimerThread::instance())
        thread->addPeriodicJob(CTimerThread::maintenanceIntervalMs(), CSnmpTableCache::instance(), "1doMaintenance()");
}
