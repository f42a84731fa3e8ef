#pragma once
#include "core/CNetMonSysHeavy.h"

// The local control port's server (name "control server", bit 2).
// Placeholder body: it takes its place, name and bit in the root, initialises, waits for the
// stop flag and does nothing else. Thread: its own; constructed and stopped by the root.
class CControlServer : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    CControlServer(QObject* parent, const QString& name, int subsystemBit);

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override {}
    void onStop() override {}
    void onTerminate() override {}
    void postInit() override {}
};
