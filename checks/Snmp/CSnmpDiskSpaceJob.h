#pragma once
// The SNMP disk space monitor's job: the disk's mount path, what to report, and where the last
// table search found the disk (storage index, allocation unit and table kind).
// Threads and ownership: as CSnmpMonitorJob (one poll at a time, owned by the monitor's slot).

#include "CSnmpMonitorJob.h"

#include <QList>
#include <QStringList>
#include <cstdint>

class CSnmpDiskSpaceJob : public CSnmpMonitorJob
{
public:
    enum TableKind { kNotFound = 0, kStorageTable = 1, kUcdDiskTable = 2 };
    static constexpr const char* kStorageOid = ".1.3.6.1.2.1.25.2.3";
    static constexpr const char* kUcdDiskOid = ".1.3.6.1.4.1.2021.9";

    using CSnmpMonitorJob::CSnmpMonitorJob;

    // A description that names a path: all of it when it starts with "/", else its first word
    // when that is a drive ("c:\").
    static bool extractPath(const QString& text, QString& path);
    // The columns read of a disk table (index column first).
    static QStringList columnsOf(const QString& tableOid);

    // Looks for the job's path in a table read with columnsOf(); on a hit stores index,
    // allocation unit and kind and answers true; every other path found is appended to
    // `candidates` between double quotes.
    bool locate(const QList<QStringList>& table, bool storageTable, QStringList& candidates);
    // The figure to report for `total` and `used` allocation units; false for units out of range.
    bool computeValue(int64_t total, int64_t used, int64_t allocationUnit, int64_t& value, const char*& unit) const;

    std::string path;
    int type = 0;   // 0 free, 1 used
    int units = 0;  // 0 MB, 1 GB, 2 %
    int storageIndex = 0;
    int64_t allocationUnit = 0;
    int tableKind = kNotFound;
};
