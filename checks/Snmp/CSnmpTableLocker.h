#pragma once
// Holds a cache entry locked for one poll: unlocks it and drops the reference when it goes.
// Threads: lives on the poll's stack. Ownership: one shared reference to the entry.

#include "CSnmpTableCacheEntry.h"

#include <QSharedPointer>

class CSnmpTableLocker
{
public:
    // `entry` arrives locked by the calling thread (or null).
    explicit CSnmpTableLocker(QSharedPointer<CSnmpTableCacheEntry> entry) : m_entry(std::move(entry)) {}
    ~CSnmpTableLocker()
    {
        if (m_entry)
            m_entry->mutex.unlock();
    }
    CSnmpTableLocker(const CSnmpTableLocker&) = delete;
    CSnmpTableLocker& operator=(const CSnmpTableLocker&) = delete;

    CSnmpTableCacheEntry* operator->() const { return m_entry.data(); }
    explicit operator bool() const { return !m_entry.isNull(); }

private:
    QSharedPointer<CSnmpTableCacheEntry> m_entry;
};
