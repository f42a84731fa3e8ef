#pragma once
// The SNMP memory monitor's job: metric, type and units, the storage rows of the agent's
// physical memory, swap space and virtual memory, and where each kind's figures come from.
// Threads and ownership: as CSnmpMonitorJob (one poll at a time, owned by the monitor's slot).

#include "CSnmpMonitorJob.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <cstdint>

class CSnmpMemoryJob : public CSnmpMonitorJob
{
public:
    enum Metric { kPhysical = 0, kSwap = 1, kVirtual = 2 };
    // 0 none yet, 1 its own storage row, 2 derived from the other two rows, 3 UCD statistics.
    enum Source { kNone = 0, kStorageRow = 1, kDerived = 2, kUcd = 3 };
    static constexpr const char* kStorageOid = ".1.3.6.1.2.1.25.2.3";
    static constexpr const char* kUcdMemoryOid = ".1.3.6.1.4.1.2021.4";

    using CSnmpMonitorJob::CSnmpMonitorJob;

    static QStringList storageColumns();
    // Takes the memory rows of a storage table read with storageColumns() and sets the sources.
    void readStorageTable(const QList<QStringList>& table);
    // hrStorageSize and hrStorageUsed of the row `name`; `unitBytes` its allocation units.
    void buildHrSizeAndUsedOids(QString& sizeOid, QString& usedOid, int64_t& unitBytes, const QString& name) const;
    // The figure to report; false for a type or units out of range. Marks an unknown source as UCD.
    bool processResults(int64_t total, int64_t reading, int64_t unitBytes, int64_t& value, const char*& unit);

    int metric = 0;
    int type = 0;   // 0 free, 1 used
    int units = 1;  // 0 MB, 1 %
    int sources[3] = {kNone, kNone, kNone};
    QMap<QString, QPair<int, int64_t>> rows;  // lower-cased description -> (index, allocation units)
    bool tableRead = false;
};
