#pragma once
#include "core/CNetMonSysHeavy.h"

// The configuration manager (name "config manager", bit 1).
// Placeholder body: it takes its place, name and bit in the root, initialises, waits for the
// stop flag and does nothing else. Thread: its own; constructed and stopped by the root.
class CConfigManagerAgent : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    CConfigManagerAgent(QObject* parent, const QString& name, int subsystemBit);

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override {}
    void onStop() override {}
    void onTerminate() override {}
    void postInit() override {}
};
