#pragma once
#include "core/CNetMonSysHeavy.h"

// The schedule manager (name "schedule manager", bit 8).
// Placeholder body: it takes its place, name and bit in the root, initialises, waits for the
// stop flag and does nothing else. Thread: its own; constructed and stopped by the root.
class CScheduleManagerAgent : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    CScheduleManagerAgent(QObject* parent, const QString& name, int subsystemBit);

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override {}
    void onStop() override {}
    void onTerminate() override {}
    void postInit() override {}
};
