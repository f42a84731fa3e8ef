#pragma once
#include "core/CNetMonSysHeavy.h"

// A component that starts, waits for its stop and does nothing else: stands in for the
// components an in-process daemon (test or benchmark) does not exercise.
class StubComponent : public CNetMonSysHeavy
{
public:
    using CNetMonSysHeavy::CNetMonSysHeavy;

protected:
    bool init() override { return true; }
    void postInit() override {}
    bool runStep() override
    {
        waitForStop();
        return false;
    }
    void shutdown() override {}
    void onStop() override {}
    void onTerminate() override {}
};
