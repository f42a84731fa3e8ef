#include "CSnmpDiskSpaceJob.h"

#include "SnmpRounding.h"

#include <QRegularExpression>

bool CSnmpDiskSpaceJob::extractPath(const QString& text, QString& path)
{
    if (text.startsWith(QLatin1Char('/'))) {
        path = text;
        return true;
    }
    const int blank = text.indexOf(QLatin1Char(' '));
    const QString word = blank < 0 ? text : text.left(blank);
    static const QRegularExpression drive(QStringLiteral("^[a-zA-Z]:\\\\$"));
    if (!drive.match(word).hasMatch())
        return false;
    path = word;
    return true;
}

QStringList CSnmpDiskSpaceJob::columnsOf(const QString& tableOid)
{
    if (tableOid == QLatin1String(kStorageOid))
        return {QStringLiteral(".1.1"), QStringLiteral(".1.3"), QStringLiteral(".1.4")};
    return {QStringLiteral(".1.1"), QStringLiteral(".1.2")};
}

bool CSnmpDiskSpaceJob::locate(const QList<QStringList>& table, bool storageTable, QStringList& candidates)
{
    if (table.size() < (storageTable ? 3 : 2))
        return false;
    const QString wanted = QString::fromUtf8(path.c_str()).toLower();
    const QStringList& indexes = table.at(0);
    for (int row = 0; row < indexes.size(); ++row) {
        QString found;
        if (!extractPath(table.at(1).value(row).toLower(), found))
            continue;
        if (found != wanted) {
            candidates << QLatin1Char('"') + found + QLatin1Char('"');
            continue;
        }
        bool ok = false;
        const int index = indexes.at(row).toInt(&ok);
        if (!ok)
            continue;
        storageIndex = index;
        if (storageTable) {
            allocationUnit = table.at(2).value(row).toLongLong();
            tableKind = kStorageTable;
        } else {
            allocationUnit = 1;
            tableKind = kUcdDiskTable;
        }
        return true;
    }
    return false;
}

bool CSnmpDiskSpaceJob::computeValue(int64_t total, int64_t used, int64_t unitBytes, int64_t& value,
                                     const char*& unit) const
{
    double factor = 0;
    switch (units) {
    case 0:
        unit = " MB";
        factor = static_cast<double>(unitBytes) / 1048576.0;
        break;
    case 1:
        unit = " GB";
        factor = static_cast<double>(unitBytes) / 1073741824.0;
        break;
    case 2:
        unit = " %";
        factor = total < 1 ? 100.0 : 100.0 / static_cast<double>(total);
        break;
    default:
        return false;
    }
    const int64_t amount = type == 1 ? used : total - used;
    value = snmpRoundHalfAway(static_cast<double>(amount) * factor);
    return true;
}
