#include "CSnmpProcessJob.h"

#include "zam_settings.h"

namespace {

QString slashed(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return out;
}

QString normalised(const QString& text)
{
    return slashed(text).toLower();
}

}  // namespace

QStringList CSnmpProcessJob::columns()
{
    return {QStringLiteral(".4.2.1.1"), QStringLiteral(".4.2.1.2"), QStringLiteral(".4.2.1.4"),
            QStringLiteral(".4.2.1.5"), QStringLiteral(".5.1.1.1"), QStringLiteral(".5.1.1.2")};
}

void CSnmpProcessJob::validateRecords(const QList<QStringList>& table, QStringList& indexes, QStringList& cpuTimes,
                                      QStringList& memories) const
{
    if (table.size() < 6)
        return;
    const QString wanted = normalised(QString::fromUtf8(name.c_str()));
    const bool byPath = wanted.contains(QLatin1Char('/'));
    QStringList mandatory;
    for (const QString& arg : getArgsList(QString::fromUtf8(mandatoryArguments.c_str())))
        mandatory << slashed(arg);  // "-D" and "-d" are different options
    const QStringList& rowIndexes = table.at(0);
    const QStringList& names = table.at(1);
    const QStringList& paths = table.at(2);
    // A table whose name or path column came back empty matches nothing.
    if (names.isEmpty() || paths.isEmpty())
        return;
    for (int row = 0; row < rowIndexes.size(); ++row) {
        if (!mandatory.isEmpty()) {
            QStringList rowArgs;
            for (const QString& arg : getArgsList(table.at(3).value(row)))
                rowArgs << slashed(arg);
            bool all = true;
            for (const QString& arg : mandatory) {
                if (!rowArgs.contains(arg)) {
                    all = false;
                    break;
                }
            }
            if (!all)
                continue;
        }
        if (!wanted.isEmpty()) {
            const QString have = byPath ? normalised(paths.value(row)) : names.value(row).toLower();
            if (have != wanted)
                continue;
        }
        const QString cpu = table.at(4).value(row);
        const QString mem = table.at(5).value(row);
        indexes << rowIndexes.at(row);
        cpuTimes << (cpu.isEmpty() ? QStringLiteral("0") : cpu);
        memories << (mem.isEmpty() ? QStringLiteral("0") : mem);
    }
}

void CSnmpProcessJob::checkForStoppedProcesses(const QStringList& currentIndexes)
{
    if (previousRecords.size() < 2)
        return;
    const QStringList& indexes = previousRecords.at(0);
    const QStringList& cpuTimes = previousRecords.at(1);
    for (int i = 0; i < indexes.size(); ++i) {
        if (currentIndexes.contains(indexes.at(i)))
            continue;
        bool ok = false;
        const qulonglong cpu = cpuTimes.value(i).toULongLong(&ok);
        if (ok)
            stoppedCpuTime += cpu;
    }
}

uint64_t CSnmpProcessJob::cpuPercent(const QStringList& indexes, const QStringList& cpuTimes, int processorCount,
                                     uint32_t tableTime)
{
    if (!firstPoll && tableTime == previousTableTime)
        return previousPercent;
    uint64_t sum = 0;
    for (const QString& text : cpuTimes) {
        bool ok = false;
        const qulonglong cpu = text.toULongLong(&ok);
        if (ok)
            sum += cpu;
    }
    if (!firstPoll)
        checkForStoppedProcesses(indexes);
    previousRecords = {indexes, cpuTimes};
    const uint64_t total = sum + stoppedCpuTime;
    uint64_t percent = 0;
    const uint64_t span = static_cast<uint64_t>(static_cast<uint32_t>(tableTime - previousTableTime))
        * static_cast<uint64_t>(processorCount > 0 ? processorCount : 1);
    if (!firstPoll && total > previousCpuTotal && span > 0)
        percent = (total - previousCpuTotal) * 1000 / span;
    previousPercent = percent;
    previousCpuTotal = total;
    previousTableTime = tableTime;
    firstPoll = false;
    return percent;
}
