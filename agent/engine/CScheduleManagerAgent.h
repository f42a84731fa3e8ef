#pragma once
#include "engine/CScheduleManagerBase.h"

// The schedule manager of this daemon ("schedule manager", bit 8): besides the mechanism it
// runs the performance-statistics report at once and every 300 s, and reconnects a lost link
// 60 s after the loss. Threads: as its base.
class CScheduleManagerAgent : public CScheduleManagerBase
{
    Q_OBJECT
public:
    CScheduleManagerAgent(QObject* parent, const QString& name, int subsystemBit);

    // Creates the statistics task on the first call and (re)registers it every 300 s.
    void addStatisticsTask();
    CScheduleManagerTaskPtr statisticsTask() const { return m_statisticsTask; }

protected:
    void postInit() override;

private:
    CScheduleManagerTaskPtr m_statisticsTask;   // this component's thread
};
