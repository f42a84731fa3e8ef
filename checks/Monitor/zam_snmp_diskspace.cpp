// SNMP disk space monitor type: free or used space of one mounted disk, found by its path in
// the HOST-RESOURCES storage table or else the UCD disk table (both read through the shared
// table cache); an enumeration poll offers one new monitor per disk. Runs on the calling task
// thread.

#include "Snmp/CSnmpDiskSpaceJob.h"
#include "Snmp/CSnmpWorker.h"
#include "Snmp/SnmpJobSetup.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"

namespace {

enum OwnBits {
    kPathBit = CSnmpJob::kFirstTypeBit,
    kTypeBit = CSnmpJob::kFirstTypeBit << 1,
    kUnitsBit = CSnmpJob::kFirstTypeBit << 2,
};

const QString kStorage = QLatin1String(CSnmpDiskSpaceJob::kStorageOid);
const QString kUcdDisks = QLatin1String(CSnmpDiskSpaceJob::kUcdDiskOid);

int getDisksTable(CSnmpWorker& worker, const QString& tableOid, bool& isStorageTable, QList<QStringList>& table)
{
    isStorageTable = tableOid == kStorage;
    unsigned timestamp = 0;
    return worker.walkTable(tableOid, CSnmpDiskSpaceJob::columnsOf(tableOid), table, timestamp);
}

int extractPathsFromDisksTable(CSnmpWorker& worker, const QString& tableOid, QStringList& paths)
{
    paths.clear();
    bool storage = false;
    QList<QStringList> table;
    if (const int rc = getDisksTable(worker, tableOid, storage, table))
        return rc;
    if (table.size() < 2)
        return 0;
    for (const QString& text : table.at(1)) {
        QString path;
        if (CSnmpDiskSpaceJob::extractPath(text.toLower(), path))
            paths << path;
    }
    return 0;
}

int searchTableForPath(CSnmpWorker& worker, CSnmpDiskSpaceJob* job, const QString& tableOid, QStringList& candidates)
{
    bool storage = false;
    QList<QStringList> table;
    if (const int rc = getDisksTable(worker, tableOid, storage, table))
        return rc;
    job->locate(table, storage, candidates);
    return 0;
}

int enumerate(CSnmpWorker& worker, stZamMonitor* mon)
{
    QStringList paths;
    if (const int rc = extractPathsFromDisksTable(worker, kStorage, paths))
        return rc;
    if (paths.isEmpty()) {
        if (const int rc = extractPathsFromDisksTable(worker, kUcdDisks, paths))
            return rc;
    }
    for (const QString& path : paths) {
        QMap<QString, CZamNewMonitorSetting> settings;
        settings.insert(QStringLiteral("Path"), CZamNewMonitorSetting(path, true));
        addNewMonitor(mon, QStringLiteral("SNMP Disk space"), path, settings);
    }
    mon->perfValue = paths.size();
    return 0;
}

int readInt(CSnmpWorker& worker, CTimeWatcher& watcher, const QString& oid, bool& notInteger, int64_t& out)
{
    long value = 0;
    const int rc = worker.tryGetIntValue(oid, watcher, notInteger, value);
    out = value;
    return rc;
}

int pollDisk(stCoreZamContext* ctx, stZamMonitor* mon)
{
    if (const int rc = snmpCheckContext(ctx, mon))
        return rc;
    auto* job = snmpMonitorJob<CSnmpDiskSpaceJob>(mon, [](CSnmpDiskSpaceJob& j, std::vector<PluginOption>& options) {
        options.push_back({'s', "Path", kPathBit, nullptr, &j.path, nullptr});
        options.push_back({'e', "Type", kTypeBit, &j.type, nullptr, nullptr});
        options.push_back({'e', "Units", kUnitsBit, &j.units, nullptr, nullptr});
        return kPathBit | kTypeBit | kUnitsBit;
    });
    if (!job)
        return 1;
    CSnmpWorker worker(job);
    CTimeWatcher watcher(mon->timeout > 0 ? mon->timeout : -1);
    if (const int rc = snmpTryInitSession(ctx, worker, watcher))
        return rc;
    monitorStillAlive(mon);

    if (mon->mode == 2)
        return enumerate(worker, mon);
    if (job->type < 0 || job->type > 1)
        return job->onError("Unknown type value", nullptr, nullptr, 1);
    if (job->units < 0 || job->units > 2)
        return job->onError("Unknown units value", nullptr, nullptr, 1);

    // Net-SNMP renumbers hrStorage when mounts change: a disk is read only by the index this
    // poll's table gives it, never by one remembered from an older table.
    job->tableKind = CSnmpDiskSpaceJob::kNotFound;
    QStringList candidates;
    if (const int rc = searchTableForPath(worker, job, kStorage, candidates))
        return rc;
    if (job->tableKind == CSnmpDiskSpaceJob::kNotFound) {
        if (const int rc = searchTableForPath(worker, job, kUcdDisks, candidates))
            return rc;
    }
    if (job->tableKind == CSnmpDiskSpaceJob::kNotFound) {
        candidates.removeDuplicates();
        const QByteArray text = candidates.isEmpty()
            ? QByteArray("No available disk information or MIBs were not found")
            : (QStringLiteral("Unknown disk, select one of: ") + candidates.join(QLatin1Char(' '))).toUtf8();
        return CSnmpMonitorJob::onMonError(mon, text.constData(), nullptr, nullptr, 1);
    }

    monitorStillAlive(mon);
    const QString index = QString::number(job->storageIndex);
    bool notInteger = false;
    int64_t total = 0, used = 0, unitBytes = 0;
    if (job->tableKind == CSnmpDiskSpaceJob::kStorageTable) {
        if (const int rc = readInt(worker, watcher, kStorage + QStringLiteral(".1.5.") + index, notInteger, total))
            return rc;
        const bool sizeMissing = notInteger;
        if (const int rc = readInt(worker, watcher, kStorage + QStringLiteral(".1.6.") + index, notInteger, used))
            return rc;
        // Either figure missing means no figure, not a reading with a zero in it.
        notInteger = notInteger || sizeMissing;
        unitBytes = job->allocationUnit;
    } else {
        int64_t parts[4] = {};
        const char* const columns[4] = {".1.12.", ".1.11.", ".1.16.", ".1.15."};
        bool anyMissing = false;
        for (int i = 0; i < 4; ++i) {
            if (const int rc = readInt(worker, watcher, kUcdDisks + QLatin1String(columns[i]) + index, notInteger, parts[i]))
                return rc;
            anyMissing = anyMissing || notInteger;
        }
        notInteger = anyMissing;
        total = parts[0] * 4294967296LL + parts[1];
        used = parts[2] * 4294967296LL + parts[3];
        unitBytes = 1024;
    }
    if (const int rc = snmpFailIfLate(job, watcher))
        return rc;
    if (notInteger)
        return job->onError("No information was found", nullptr, nullptr, 1);
    int64_t value = 0;
    const char* unit = "";
    if (!job->computeValue(total, used, unitBytes, value, unit))
        return job->onError("Unknown units value", nullptr, nullptr, 1);
    mon->perfValue = value;
    compose_INT64_PERFVAL_MEASURE_UNIT(mon, value, unit);
    return 0;
}

}  // namespace

int poll_snmp_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return snmpGuardedPoll(mon, [&] { return pollDisk(ctx, mon); });
}

int invalidate_snmp_diskspace(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                              unsigned flags)
{
    snmpInvalidateJob(mon, flags);
    return 0;
}
