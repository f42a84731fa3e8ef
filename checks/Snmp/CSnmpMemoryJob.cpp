#include "CSnmpMemoryJob.h"

#include "SnmpRounding.h"

namespace {
const QString kPhysicalRow = QStringLiteral("physical memory");
const QString kSwapRow = QStringLiteral("swap space");
const QString kVirtualRow = QStringLiteral("virtual memory");
}

QStringList CSnmpMemoryJob::storageColumns()
{
    return {QStringLiteral(".1.1"), QStringLiteral(".1.3"), QStringLiteral(".1.4")};
}

void CSnmpMemoryJob::readStorageTable(const QList<QStringList>& table)
{
    if (table.size() < 3)
        return;
    const QStringList& indexes = table.at(0);
    for (int row = 0; row < indexes.size(); ++row) {
        const QString description = table.at(1).value(row).toLower();
        int metricOfRow = -1;
        if (description == kPhysicalRow)
            metricOfRow = kPhysical;
        else if (description == kSwapRow)
            metricOfRow = kSwap;
        else if (description == kVirtualRow)
            metricOfRow = kVirtual;
        if (metricOfRow < 0)
            continue;
        sources[metricOfRow] = kStorageRow;
        rows.insert(description, qMakePair(indexes.at(row).toInt(), table.at(2).value(row).toLongLong()));
    }
    if (rows.contains(kPhysicalRow)) {
        if (rows.contains(kSwapRow))
            sources[kVirtual] = kDerived;
        else if (rows.contains(kVirtualRow))
            sources[kSwap] = kDerived;
    }
}

void CSnmpMemoryJob::buildHrSizeAndUsedOids(QString& sizeOid, QString& usedOid, int64_t& unitBytes,
                                            const QString& name) const
{
    const QPair<int, int64_t> row = rows.value(name, qMakePair(0, int64_t(0)));
    const QString index = QString::number(row.first);
    sizeOid = QLatin1String(kStorageOid) + QStringLiteral(".1.5.") + index;
    usedOid = QLatin1String(kStorageOid) + QStringLiteral(".1.6.") + index;
    unitBytes = row.second;
}

bool CSnmpMemoryJob::processResults(int64_t total, int64_t reading, int64_t unitBytes, int64_t& value,
                                    const char*& unit)
{
    if (type < 0 || type > 1 || units < 0 || units > 1 || metric < 0 || metric > 2)
        return false;
    const int64_t totalMB = total * unitBytes / 1048576;
    const int64_t readingMB = reading * unitBytes / 1048576;
    if (sources[metric] == kNone)
        sources[metric] = kUcd;
    const bool deliversUsed = sources[metric] != kUcd;
    const bool wantUsed = type == 1;
    value = deliversUsed == wantUsed ? readingMB : totalMB - readingMB;
    if (units == 0) {
        unit = " MB";
        return true;
    }
    const double factor = total * unitBytes >= 1048576 ? 100.0 / static_cast<double>(totalMB) : 100.0;
    value = snmpRoundHalfAway(static_cast<double>(value) * factor);
    unit = " %";
    return true;
}
