#pragma once
#include "core/CNetMonSysHeavy.h"

// The syslog receiver's manager (name "syslog lines manager", bit 64).
// Placeholder body: it takes its place, name and bit in the root, initialises, waits for the
// stop flag and does nothing else. Thread: its own; constructed and stopped by the root.
class SyslogLineManager : public CNetMonSysHeavy
{
    Q_OBJECT
public:
    SyslogLineManager(QObject* parent, const QString& name, int subsystemBit);

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override {}
    void onStop() override {}
    void onTerminate() override {}
    void postInit() override {}
};
