#pragma once
#include "SMonitorStatus.h"

#include <QAtomicInt>
#include <QAtomicPointer>
#include <QDateTime>
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <QStringList>

class CMonitorCommonData;
using CMonitorCommonDataPtr = QExplicitlySharedDataPointer<CMonitorCommonData>;

// What every task thread that polls one monitor shares: the library's cached data of the
// monitor and the number of threads polling it right now. One record per monitor id in a
// process-wide registry, from the monitor's first poll until the monitor is deleted.
// Threads: any task thread; the polling count and the cached-data slot are atomic, the registry
// map has its own mutex.
class CMonitorCommonData : public QSharedData
{
public:
    explicit CMonitorCommonData(int statusGroupValue = -1);

    // The registered record of a monitor id, made on first use.
    static CMonitorCommonDataPtr acquire(int monitorId);
    // Drops the registry's reference (the monitor was deleted); holders keep theirs.
    static void forget(int monitorId);
    static int registeredCount();
    // True when the registry holds exactly this record for the id.
    static bool isRegistered(int monitorId, const CMonitorCommonData* record);

    void* cachedData() const { return m_cachedData.loadAcquire(); }
    void setCachedData(void* data) { m_cachedData.storeRelease(data); }

    // Status group, initialised only.
    int statusKind = 1;
    qint64 statusValue = 0;
    QString statusText;
    int statusGroupValue;
    int statusSecond = -1;
    QString statusMessage = QStringLiteral("Something is wrong");
    QStringList statusList;
    QDateTime created;

    QDateTime lastValueTime;
    SStatusValue lastValue;
    int reserved = 0;
    QAtomicInt pollingCount{0};

private:
    QAtomicPointer<void> m_cachedData{nullptr};
};
