// SNMP process monitor type: how many processes match a name (or path) and mandatory
// arguments in the agent's HOST-RESOURCES running-software tables, their memory, or their CPU
// use in percent of all processors between two table reads. The tables come through the shared
// table cache. Runs on the calling task thread.

#include "Snmp/CSnmpProcessJob.h"
#include "Snmp/CSnmpWorker.h"
#include "Snmp/SnmpJobSetup.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"

namespace {

enum OwnBits {
    kNameBit = CSnmpJob::kFirstTypeBit,
    kArgumentsBit = CSnmpJob::kFirstTypeBit << 1,
    kMetricBit = CSnmpJob::kFirstTypeBit << 2,
};

int searchProcessesTable(CSnmpWorker& worker, CSnmpProcessJob* job, QStringList& indexes, QStringList& cpuTimes,
                         QStringList& memories, unsigned& tableTime)
{
    QList<QStringList> table;
    if (const int rc = worker.walkTable(QLatin1String(CSnmpProcessJob::kTableOid), CSnmpProcessJob::columns(), table,
                                        tableTime))
        return rc;
    monitorStillAlive(job->monitor());
    job->validateRecords(table, indexes, cpuTimes, memories);
    return 0;
}

int pollProcess(stCoreZamContext* ctx, stZamMonitor* mon)
{
    if (const int rc = snmpCheckContext(ctx, mon))
        return rc;
    auto* job = snmpMonitorJob<CSnmpProcessJob>(mon, [](CSnmpProcessJob& j, std::vector<PluginOption>& options) {
        options.push_back({'e', "Metric", kMetricBit, &j.metric, nullptr, nullptr});
        options.push_back({'s', "Name", kNameBit, nullptr, &j.name, nullptr});
        options.push_back({'s', "Mandatory arguments", kArgumentsBit, nullptr, &j.mandatoryArguments, nullptr});
        return kMetricBit | kNameBit | kArgumentsBit;
    });
    if (!job)
        return 1;
    CSnmpWorker worker(job);
    CTimeWatcher watcher(mon->timeout > 0 ? mon->timeout : -1);
    if (const int rc = snmpTryInitSession(ctx, worker, watcher))
        return rc;
    monitorStillAlive(mon);
    if (job->metric < 0 || job->metric > 2)
        return job->onError("Unknown metric value", nullptr, nullptr, 1);
    QStringList indexes, cpuTimes, memories;
    unsigned tableTime = 0;
    if (const int rc = searchProcessesTable(worker, job, indexes, cpuTimes, memories, tableTime))
        return rc;

    switch (job->metric) {
    case 0:
        mon->perfValue = indexes.size();
        return 0;
    case 2: {
        int64_t sum = 0;
        for (const QString& kb : memories)
            sum += kb.toLongLong();
        mon->perfValue = sum;
        compose_INT64_PERFVAL_MEASURE_UNIT(mon, sum, " KB");
        return 0;
    }
    default:
        break;
    }
    if (job->processors == 0) {
        QStringList loads;
        if (const int rc = worker.walkColumn(QLatin1String(CSnmpProcessJob::kProcessorLoadOid), loads))
            return rc;
        if (loads.isEmpty())
            return job->onError("Cannot get number of cores", nullptr, nullptr, 1);
        job->processors = loads.size();
    }
    const uint64_t percent = job->cpuPercent(indexes, cpuTimes, job->processors, tableTime);
    mon->perfValue = static_cast<int64_t>(percent);
    compose_INT64_PERFVAL_MEASURE_UNIT(mon, mon->perfValue, " %");
    return 0;
}

}  // namespace

int poll_snmp_process(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return snmpGuardedPoll(mon, [&] { return pollProcess(ctx, mon); });
}

int invalidate_snmp_process(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                            unsigned flags)
{
    snmpInvalidateJob(mon, flags);
    return 0;
}
