#include "engine/CScheduleManagerAgent.h"

#include "common/TestTimeScale.h"
#include "engine/CLogStatisticsTask.h"
#include "engine/CScheduleInfoInterval.h"

#include <algorithm>

namespace {
constexpr int kStatisticsIntervalMs = 300000;
}

CScheduleManagerAgent::CScheduleManagerAgent(QObject* parent, const QString& name, int subsystemBit)
    : CScheduleManagerBase(parent, name, subsystemBit)
{
    // No deleteLater on finished: the root owns and deletes its components, and no event loop
    // runs where a deferred delete would be processed.
}

void CScheduleManagerAgent::addStatisticsTask()
{
    if (!m_statisticsTask)
        m_statisticsTask = CScheduleManagerTaskPtr(new CScheduleManagerTask(CTaskPtr(new CLogStatisticsTask), QString()));
    const int seconds = std::max(1, zam::scaledMs(kStatisticsIntervalMs) / 1000);
    addTask(m_statisticsTask, CScheduleInfoPtr(new CScheduleInfoInterval(seconds, 1)));
}

void CScheduleManagerAgent::postInit()
{
    addStatisticsTask();
    CScheduleManagerBase::postInit();
}
