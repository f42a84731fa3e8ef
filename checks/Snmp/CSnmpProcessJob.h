#pragma once
// The SNMP process monitor's job: which processes to match (name or path, mandatory
// arguments), the processor count, and the CPU-time bookkeeping between polls (the last
// records, the CPU time that ended processes had, the previous total, table time and figure).
// Threads and ownership: as CSnmpMonitorJob (one poll at a time, owned by the monitor's slot).

#include "CSnmpMonitorJob.h"

#include <QList>
#include <QStringList>
#include <cstdint>
#include <string>

class CSnmpProcessJob : public CSnmpMonitorJob
{
public:
    static constexpr const char* kTableOid = ".1.3.6.1.2.1.25";
    static constexpr const char* kProcessorLoadOid = ".1.3.6.1.2.1.25.3.3.1.2";

    using CSnmpMonitorJob::CSnmpMonitorJob;

    // hrSWRunIndex, Name, Path, Parameters, PerfCPU (centiseconds), PerfMem (KB).
    static QStringList columns();
    // The matching rows of a table read with columns(): their indexes, CPU times and memory.
    void validateRecords(const QList<QStringList>& table, QStringList& indexes, QStringList& cpuTimes,
                         QStringList& memories) const;
    // Adds the last CPU time of each previously matched process that is gone now.
    void checkForStoppedProcesses(const QStringList& currentIndexes);
    // One CPU poll's percentage of all processors from the matching processes of a table read
    // at `tableTime` (ms); the same table again repeats the previous figure.
    uint64_t cpuPercent(const QStringList& indexes, const QStringList& cpuTimes, int processors, uint32_t tableTime);

    int metric = 0;  // 0 count, 1 CPU %, 2 memory KB
    std::string name;
    std::string mandatoryArguments;
    int processors = 0;
    uint64_t stoppedCpuTime = 0;
    QList<QStringList> previousRecords;  // (indexes, CPU times) of the previous poll
    bool firstPoll = true;
    uint32_t previousTableTime = 0;
    uint64_t previousCpuTotal = 0;
    uint64_t previousPercent = 0;
};
