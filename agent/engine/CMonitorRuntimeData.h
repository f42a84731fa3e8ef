#pragma once
#include "CMonitorCommonData.h"
#include "stZamMonitor.h"

#include <QDateTime>

class CMonitorRuntimeData;
using CMonitorRuntimeDataPtr = QExplicitlySharedDataPointer<CMonitorRuntimeData>;

// One task thread's state of one monitor: the working copy it polls and the monitor's shared
// common data. Threads: belongs to one task thread's registry; the common data is shared.
class CMonitorRuntimeData : public QSharedData
{
public:
    explicit CMonitorRuntimeData(const Optional<int>& monitorId);

    // Takes the record, finds (or, without id, makes) the common data; throws
    // std::runtime_error "cannot create common monitor data".
    void load(const stZamMonitorPtr& record);
    bool hasCommonData() const;   // false with "common data is NULL for %1"
    void beginPoll();             // warns "polling %1 in %2 threads" past one
    void endPoll();
    void beforeInvalidate(unsigned flags);
    void afterInvalidate(unsigned flags);
    // The common data, or the exception "cannot create common monitor data".
    CMonitorCommonData& commonData() const;

    QDateTime lastUse;
    QString name;
    bool loaded = false;
    Optional<int> monitorId;
    int pluginId = 0;
    int timeoutMs = 0;   // the record's time-out; feeds the poll task's deadlock threshold
    stZamMonitorPtr record;
    int intA = -1;
    int intB = 0;
    CMonitorCommonDataPtr common;
};
