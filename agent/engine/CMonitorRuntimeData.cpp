#include "CMonitorRuntimeData.h"
#include "CTaskClock.h"

#include <stdexcept>

CMonitorRuntimeData::CMonitorRuntimeData(const Optional<int>& id)
    : lastUse(CTaskClock::current()->now())
    , name(id.hasValue() ? QString::number(id.rawValue()) : QStringLiteral("-1"))
    , monitorId(id)
{
}

void CMonitorRuntimeData::load(const stZamMonitorPtr& newRecord)
{
    record = newRecord;
    pluginId = record ? record->pluginId : 0;
    timeoutMs = record ? qBound(0, record->timeout, INT_MAX / 1000) * 1000 : 0;
    if (monitorId.hasValue())
        common = CMonitorCommonData::acquire(monitorId.rawValue());
    else
        common = CMonitorCommonDataPtr(new CMonitorCommonData(-1));
    if (!common)
        throw std::runtime_error("cannot create common monitor data");
    if (record && !record->monitorName.isEmpty())
        name = record->monitorName;   // else the id stays the name, so log lines still say which
    intA = 0;
    intB = -1;
    loaded = true;
}

bool CMonitorRuntimeData::hasCommonData() const
{
    if (common)
        return true;
    qWarning("%s", qPrintable(QStringLiteral("common data is NULL for %1").arg(name)));
    return false;
}

CMonitorCommonData& CMonitorRuntimeData::commonData() const
{
    if (!common)
        throw std::runtime_error("cannot create common monitor data");
    return *common;
}

void CMonitorRuntimeData::beginPoll()
{
    if (!hasCommonData())
        return;
    const int count = common->pollingCount.fetchAndAddOrdered(1) + 1;
    if (count > 1)
        qWarning("%s", qPrintable(QStringLiteral("polling %1 in %2 threads").arg(name).arg(count)));
}

void CMonitorRuntimeData::endPoll()
{
    if (hasCommonData())
        common->pollingCount.storeRelease(0);
}

void CMonitorRuntimeData::beforeInvalidate(unsigned flags)
{
    if (hasCommonData() && (flags & 1) && common->pollingCount.loadAcquire() > 0)
        qWarning("%s", qPrintable(QStringLiteral("invalidating %1 while polling").arg(name)));
}

void CMonitorRuntimeData::afterInvalidate(unsigned flags)
{
    if ((flags & 4) || !common)
        return;
    common->lastValue = SStatusValue();
    common->lastValueTime = QDateTime();
}
