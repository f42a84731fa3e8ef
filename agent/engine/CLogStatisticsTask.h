#pragma once
#include "engine/CTask.h"

// Writes the performance report and resets the counters; run every 300 s by the schedule
// manager. Never deadlocked; delivers no result.
class CLogStatisticsTask : public CTask
{
public:
    CLogStatisticsTask();
    void exec(CTaskThread* thread) override;
    bool isDeadlocked(int seconds) override { return CTask::isDeadlocked(seconds); }
};
