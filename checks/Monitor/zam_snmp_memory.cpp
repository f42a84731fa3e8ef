// SNMP memory monitor type: free or used physical memory, swap space or virtual memory, from
// the HOST-RESOURCES storage rows (read once through the shared table cache), derived from the
// other two rows where one is missing, or from the UCD memory statistics for physical memory.
// Runs on the calling task thread.

#include "Snmp/CSnmpMemoryJob.h"
#include "Snmp/CSnmpWorker.h"
#include "Snmp/SnmpJobSetup.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"

namespace {

enum OwnBits {
    kTypeBit = CSnmpJob::kFirstTypeBit,
    kUnitsBit = CSnmpJob::kFirstTypeBit << 1,
    kMetricBit = CSnmpJob::kFirstTypeBit << 2,
};

const QString kPhysicalRow = QStringLiteral("physical memory");
const QString kSwapRow = QStringLiteral("swap space");
const QString kVirtualRow = QStringLiteral("virtual memory");

int getHrTableInfo(CSnmpWorker& worker, CSnmpMemoryJob* job)
{
    QList<QStringList> table;
    unsigned timestamp = 0;
    const int rc = worker.walkTable(QLatin1String(CSnmpMemoryJob::kStorageOid), CSnmpMemoryJob::storageColumns(), table,
                                    timestamp);
    if (rc == 0)
        job->readStorageTable(table);
    return rc;
}

int getFreeOrUsedAndSizeValues(CSnmpWorker& worker, CTimeWatcher& watcher, const QString& firstOid,
                               const QString& secondOid, bool& notInteger, int64_t& secondValue, int64_t& firstValue)
{
    long first = 0, second = 0;
    if (const int rc = worker.tryGetIntValue(firstOid, watcher, notInteger, first))
        return rc;
    const bool firstMissing = notInteger;
    const int rc = worker.tryGetIntValue(secondOid, watcher, notInteger, second);
    notInteger = notInteger || firstMissing;
    firstValue = first;
    secondValue = second;
    return rc;
}

// Size and used amount of one storage row in bytes.
int readRowBytes(CSnmpWorker& worker, CTimeWatcher& watcher, CSnmpMemoryJob* job, const QString& name,
                 bool& notInteger, int64_t& size, int64_t& used)
{
    QString sizeOid, usedOid;
    int64_t unitBytes = 0;
    job->buildHrSizeAndUsedOids(sizeOid, usedOid, unitBytes, name);
    if (const int rc = getFreeOrUsedAndSizeValues(worker, watcher, sizeOid, usedOid, notInteger, used, size))
        return rc;
    size *= unitBytes;
    used *= unitBytes;
    return 0;
}

// Two rows combined: their sizes and used amounts added (sign 1) or the second taken from the
// first (sign -1), in bytes.
int readCombined(CSnmpWorker& worker, CTimeWatcher& watcher, CSnmpMemoryJob* job, const QString& a, const QString& b,
                 int sign, bool& notInteger, int64_t& total, int64_t& reading)
{
    int64_t sizeA = 0, usedA = 0, sizeB = 0, usedB = 0;
    if (const int rc = readRowBytes(worker, watcher, job, a, notInteger, sizeA, usedA))
        return rc;
    const bool aMissing = notInteger;
    if (const int rc = readRowBytes(worker, watcher, job, b, notInteger, sizeB, usedB))
        return rc;
    notInteger = notInteger || aMissing;
    total = sizeA + sign * sizeB;
    reading = usedA + sign * usedB;
    return 0;
}

int pollMemory(stCoreZamContext* ctx, stZamMonitor* mon)
{
    if (const int rc = snmpCheckContext(ctx, mon))
        return rc;
    auto* job = snmpMonitorJob<CSnmpMemoryJob>(mon, [](CSnmpMemoryJob& j, std::vector<PluginOption>& options) {
        options.push_back({'e', "Metric", kMetricBit, &j.metric, nullptr, nullptr});
        options.push_back({'e', "Type", kTypeBit, &j.type, nullptr, nullptr});
        options.push_back({'e', "Units", kUnitsBit, &j.units, nullptr, nullptr});
        return kMetricBit | kTypeBit | kUnitsBit;
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
    if (job->type < 0 || job->type > 1)
        return job->onError("Unknown type value", nullptr, nullptr, 1);
    if (job->units < 0 || job->units > 1)
        return job->onError("Unknown units value", nullptr, nullptr, 1);
    // A failed table read leaves its reason; the UCD figures may still serve this poll.
    if (!job->tableRead && getHrTableInfo(worker, job) == 0)
        job->tableRead = true;
    monitorStillAlive(mon);

    bool notInteger = false;
    int64_t total = 0, reading = 0, unitBytes = 1024;
    const int source = job->sources[job->metric];
    int rc = 0;
    switch (job->metric) {
    case CSnmpMemoryJob::kPhysical:
        if (source == CSnmpMemoryJob::kStorageRow) {
            QString sizeOid, usedOid;
            job->buildHrSizeAndUsedOids(sizeOid, usedOid, unitBytes, kPhysicalRow);
            rc = getFreeOrUsedAndSizeValues(worker, watcher, sizeOid, usedOid, notInteger, reading, total);
        } else {
            const QString ucd = QLatin1String(CSnmpMemoryJob::kUcdMemoryOid);
            rc = getFreeOrUsedAndSizeValues(worker, watcher, ucd + QStringLiteral(".5.0"), ucd + QStringLiteral(".6.0"),
                                            notInteger, reading, total);
        }
        break;
    case CSnmpMemoryJob::kSwap:
    case CSnmpMemoryJob::kVirtual: {
        const QString& own = job->metric == CSnmpMemoryJob::kSwap ? kSwapRow : kVirtualRow;
        if (source == CSnmpMemoryJob::kStorageRow) {
            QString sizeOid, usedOid;
            job->buildHrSizeAndUsedOids(sizeOid, usedOid, unitBytes, own);
            rc = getFreeOrUsedAndSizeValues(worker, watcher, sizeOid, usedOid, notInteger, reading, total);
        } else if (source == CSnmpMemoryJob::kDerived) {
            unitBytes = 1;
            rc = job->metric == CSnmpMemoryJob::kSwap
                ? readCombined(worker, watcher, job, kVirtualRow, kPhysicalRow, -1, notInteger, total, reading)
                : readCombined(worker, watcher, job, kPhysicalRow, kSwapRow, 1, notInteger, total, reading);
        } else {
            return job->onError("No available information source", nullptr, nullptr, 1);
        }
        break;
    }
    }
    if (rc != 0)
        return rc;
    if (const int late = snmpFailIfLate(job, watcher))
        return late;
    if (notInteger)
        return job->onError("No information for this metric", nullptr, nullptr, 1);
    int64_t value = 0;
    const char* unit = "";
    if (!job->processResults(total, reading, unitBytes, value, unit))
        return job->onError("Unknown units value", nullptr, nullptr, 1);
    // The figure stands: a table read that failed earlier in this poll is no failure of it.
    mon->failReason[0] = '\0';
    setMonSuccess(mon);
    mon->perfValue = value;
    compose_INT64_PERFVAL_MEASURE_UNIT(mon, value, unit);
    return 0;
}

}  // namespace

int poll_snmp_memory(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return snmpGuardedPoll(mon, [&] { return pollMemory(ctx, mon); });
}

int invalidate_snmp_memory(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                           unsigned flags)
{
    snmpInvalidateJob(mon, flags);
    return 0;
}
