#include "engine/CScheduleInfoDummy.h"

bool CScheduleInfoDummy::nextRunTime(const CTask*, const QDateTime&, const QDateTime&, const QDateTime&,
                                     QDateTime&) const
{
    return false;
}
