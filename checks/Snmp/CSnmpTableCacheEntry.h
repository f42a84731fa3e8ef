#pragma once
// One cached table: its columns (the first holds the row indexes) and when its last refresh
// started and ended.
// Threads: the poll that holds `mutex` alone reads or writes the other fields; `waiters` counts
// polls that hold a reference and wait for the mutex, so maintenance leaves the entry alone.
// Ownership: shared by the cache's hash and its readers (QSharedPointer).

#include <QList>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <cstdint>

struct CSnmpTableCacheEntry {
    QMutex mutex;
    bool valid = false;
    QList<QStringList> table;
    uint32_t start = 0;  // ms of the monotonic raw clock, 32 bits
    uint32_t end = 0;
    std::atomic<int> waiters{0};
};
