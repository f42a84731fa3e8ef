#include "engine/CLogStatisticsTask.h"

#include "core/PerformanceStatistics.h"

CLogStatisticsTask::CLogStatisticsTask()
    : CTask(QStringLiteral("logging statistics task"))
{
}

void CLogStatisticsTask::exec(CTaskThread*)
{
    writeStatisticsReport();
}
