#include "CMonitorCommonData.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>

namespace {
struct Registry
{
    QMutex mutex;
    QMap<int, CMonitorCommonDataPtr> records;
};
Registry& registry()
{
    static Registry r;
    return r;
}
}

CMonitorCommonData::CMonitorCommonData(int groupValue)
    : statusGroupValue(groupValue)
    , created(QDateTime::currentDateTime())
{
}

CMonitorCommonDataPtr CMonitorCommonData::acquire(int monitorId)
{
    Registry& r = registry();
    QMutexLocker locker(&r.mutex);
    CMonitorCommonDataPtr& slot = r.records[monitorId];
    if (!slot)
        slot = CMonitorCommonDataPtr(new CMonitorCommonData(-1));
    return slot;
}

void CMonitorCommonData::forget(int monitorId)
{
    CMonitorCommonDataPtr dropped;   // released outside the mutex
    Registry& r = registry();
    QMutexLocker locker(&r.mutex);
    dropped = r.records.take(monitorId);
}

int CMonitorCommonData::registeredCount()
{
    Registry& r = registry();
    QMutexLocker locker(&r.mutex);
    return r.records.size();
}

bool CMonitorCommonData::isRegistered(int monitorId, const CMonitorCommonData* record)
{
    Registry& r = registry();
    QMutexLocker locker(&r.mutex);
    return r.records.value(monitorId).data() == record;
}
