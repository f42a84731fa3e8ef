#include "CSnmpTableCache.h"

#include "CTimeWatcher.h"
#include "CTimerThread.h"
#include "common/TestTimeScale.h"

#include <QMutexLocker>
#include <QThread>

CSnmpTableCache* CSnmpTableCache::instance()
{
    static CSnmpTableCache* cache = new CSnmpTableCache;  // lives for the whole process
    return cache;
}

int CSnmpTableCache::lifeMs()
{
    return zam::scaledMs(55000);
}

bool CSnmpTableCache::isFresh(const CSnmpTableCacheEntry& entry, uint32_t now)
{
    return entry.valid && now - entry.end <= static_cast<uint32_t>(lifeMs());
}

QSharedPointer<CSnmpTableCacheEntry> CSnmpTableCache::getLockedEntry(const CSnmpTableCacheKey& key,
                                                                     int (*stillAlive)(void*), void* context)
{
    for (;;) {
        if (stillAlive && stillAlive(context))
            return {};
        QSharedPointer<CSnmpTableCacheEntry> entry;
        {
            QMutexLocker lock(&m_mutex);
            auto it = m_entries.find(key);
            if (it == m_entries.end())
                it = m_entries.insert(key, QSharedPointer<CSnmpTableCacheEntry>::create());
            entry = it.value();
            ++entry->waiters;
        }
        // Short waits, so that a stop request is seen while another poll refreshes the table.
        const bool locked = entry->mutex.tryLock(kWaitSliceMs);
        --entry->waiters;
        if (locked)
            return entry;
    }
}

int CSnmpTableCache::size() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries.size();
}

void CSnmpTableCache::clear()
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it.value()->waiters.load() == 0 && it.value()->mutex.tryLock()) {
            it.value()->mutex.unlock();
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

void CSnmpTableCache::doMaintenance()
{
    m_lastThread.store(QThread::currentThread());
    ++m_runs;
    const uint32_t now = CTimeWatcher::nowMillisec();
    QMutexLocker lock(&m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        CSnmpTableCacheEntry& entry = *it.value();
        if (entry.waiters.load() != 0 || !entry.mutex.tryLock()) {
            ++it;
            continue;
        }
        // Signed age: an entry refreshed after `now` was taken is young, not 49 days old.
        const int32_t age = static_cast<int32_t>(now - entry.end);
        const bool keep = entry.valid && age <= lifeMs();
        entry.mutex.unlock();
        it = keep ? std::next(it) : m_entries.erase(it);
    }
}

void snmp_table_cache_init()
{
    if (CTimerThread* thread = CTimerThread::instance())
        thread->addPeriodicJob(CTimerThread::maintenanceIntervalMs(), CSnmpTableCache::instance(), "1doMaintenance()");
}
