#pragma once

#include "CSnmpTableCacheEntry.h"
#include "CSnmpTableCacheKey.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>
#include <atomic>
#include <cstdint>

class QThread;

// Walked SNMP tables shared between polls and monitors: a table younger than lifeMs() is read
// from memory, and only one poll at a time refreshes an entry (the others wait for it and then
// use its result).
// Threads: task threads call getLockedEntry; doMaintenance runs on the maintenance thread.
// Locks: m_mutex guards the hash and is never held while waiting for an entry's mutex;
// maintenance only tries entry mutexes. Ownership: one instance for the process; entries are
// shared with their readers, so an erased entry lives until its last reader lets go.
class CSnmpTableCache : public QObject
{
    Q_OBJECT
public:
    static CSnmpTableCache* instance();

    // 55000 ms (shortened by NETAGENTD_TEST_TIME_SCALE).
    static int lifeMs();
    // How long one wait for an entry's mutex lasts before the stop request is asked again.
    static constexpr int kWaitSliceMs = 200;

    // The key's entry (made when missing), locked for the caller; null when `stillAlive` asks
    // the poll to stop while it waits.
    QSharedPointer<CSnmpTableCacheEntry> getLockedEntry(const CSnmpTableCacheKey& key, int (*stillAlive)(void*),
                                                        void* context);
    // True when the entry was refreshed completely less than lifeMs() before `now`.
    static bool isFresh(const CSnmpTableCacheEntry& entry, uint32_t now);

    int size() const;
    // Forgets every table no poll holds (benchmarks compare polls with and without sharing).
    void clear();
    int maintenanceRuns() const { return m_runs.load(); }
    QThread* lastMaintenanceThread() const { return m_lastThread.load(); }

public slots:
    // Erases stale entries that no poll holds or waits for.
    void doMaintenance();

private:
    CSnmpTableCache() = default;

    mutable QMutex m_mutex;
    QHash<CSnmpTableCacheKey, QSharedPointer<CSnmpTableCacheEntry>> m_entries;
    std::atomic<int> m_runs{0};
    std::atomic<QThread*> m_lastThread{nullptr};
};

// Registers the cache's maintenance with the maintenance thread, every 60000 ms.
void snmp_table_cache_init();
