#pragma once
#include "engine/CScheduleInfo.h"

// Never falls due.
class CScheduleInfoDummy : public CScheduleInfo
{
public:
    bool nextRunTime(const CTask* task, const QDateTime& now, const QDateTime& previousDueTime,
                     const QDateTime& previousBaseTime, QDateTime& out) const override;
};
