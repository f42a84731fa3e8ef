// SNMP CPU monitor type: average processor load from the HOST-RESOURCES processor table, or
// the UCD system statistics (idle, user and system time, interrupts and context switches)
// where the agent has no processor rows. Runs on the calling task thread.

#include "Snmp/CSnmpCpuJob.h"
#include "Snmp/CSnmpWorker.h"
#include "Snmp/SnmpJobSetup.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"

namespace {

const QString kProcessorLoad = QStringLiteral(".1.3.6.1.2.1.25.3.3.1.2");
const QString kUcdStats = QStringLiteral(".1.3.6.1.4.1.2021.11");
const char* const kUcdSuffix[] = {".11.0", ".9.0", ".10.0", ".7.0", ".8.0"};

int pollCpu(stCoreZamContext* ctx, stZamMonitor* mon)
{
    if (const int rc = snmpCheckContext(ctx, mon))
        return rc;
    auto* job = snmpMonitorJob<CSnmpCpuJob>(mon, [](CSnmpCpuJob& j, std::vector<PluginOption>& options) {
        const int metricBit = CSnmpJob::kFirstTypeBit;
        options.push_back({'e', "Metric", metricBit, &j.metric, nullptr, nullptr});
        return metricBit;
    });
    if (!job)
        return 1;
    CSnmpWorker worker(job);
    CTimeWatcher watcher(mon->timeout > 0 ? mon->timeout : -1);
    if (const int rc = snmpTryInitSession(ctx, worker, watcher))
        return rc;
    monitorStillAlive(mon);
    if (job->metric < 0 || job->metric > 4)
        return job->onError("Unknown metric value", nullptr, nullptr, 1);

    if (job->metric == 0 && job->source != CSnmpCpuJob::kUcdStats) {
        QStringList loads;
        if (const int rc = worker.walkColumn(kProcessorLoad, loads))
            return rc;
        if (!loads.isEmpty()) {
            int64_t sum = 0;
            for (const QString& load : loads)
                sum += load.toLongLong();
            mon->perfValue = sum / loads.size();
            compose_INT64_PERFVAL_MEASURE_UNIT(mon, mon->perfValue, " %");
            job->source = CSnmpCpuJob::kProcessorTable;
            return 0;
        }
        // The processor table answered before and is empty now: the statistics may still answer.
    }
    bool notInteger = false;
    long value = 0;
    if (const int rc = worker.tryGetIntValue(kUcdStats + QLatin1String(kUcdSuffix[job->metric]), watcher, notInteger, value))
        return rc;
    // A late answer carries no figure: idle 0 would read as a fully busy processor.
    if (const int late = snmpFailIfLate(job, watcher))
        return late;
    if (notInteger)
        return job->onError("No information for this metric", nullptr, nullptr, 1);
    if (job->metric == 0) {
        mon->perfValue = 100 - value;
        if (job->source == CSnmpCpuJob::kNone)
            job->source = CSnmpCpuJob::kUcdStats;
    } else {
        mon->perfValue = value;
    }
    if (job->metric <= 2)
        compose_INT64_PERFVAL_MEASURE_UNIT(mon, mon->perfValue, " %");
    return 0;
}

}  // namespace

int poll_snmp_cpu(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return snmpGuardedPoll(mon, [&] { return pollCpu(ctx, mon); });
}

int invalidate_snmp_cpu(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                        unsigned flags)
{
    snmpInvalidateJob(mon, flags);
    return 0;
}
