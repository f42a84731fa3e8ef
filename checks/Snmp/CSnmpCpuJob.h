#pragma once
// The SNMP CPU monitor's job: the metric, and which source answered (the HOST-RESOURCES
// processor table or the UCD system statistics), kept so later polls ask that one directly.
// Threads and ownership: as CSnmpMonitorJob (one poll at a time, owned by the monitor's slot).

#include "CSnmpMonitorJob.h"

class CSnmpCpuJob : public CSnmpMonitorJob
{
public:
    enum Source { kNone = 0, kProcessorTable = 1, kUcdStats = 2 };

    using CSnmpMonitorJob::CSnmpMonitorJob;

    int metric = 0;  // 0 total, 1 user, 2 system, 3 interrupts/s, 4 context switches/s
    int source = kNone;
};
