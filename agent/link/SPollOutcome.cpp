#include "SPollOutcome.h"

#include "common/DataStreamLimits.h"

#include <QDataStream>

namespace {
constexpr int LinkStreamVersion = 7;
}

QByteArray writePollDurationRecord(const SPollOutcome& o)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(LinkStreamVersion);
    out << qint64(o.perfValue) << qint32(o.resultCode) << qint32(o.measuredValue);
    for (qint32 w : o.words)
        out << w;
    out << o.resultSections;
    QByteArray middle = o.middle.left(SPollOutcome::MiddleSize);
    if (middle.size() < SPollOutcome::MiddleSize)
        middle.append(SPollOutcome::MiddleSize - middle.size(), '\0');
    out.writeRawData(middle.constData(), middle.size());
    return record;
}

QByteArray writeNewMonitorsRecord(const QList<CNewMonitorInfo>& monitors)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(LinkStreamVersion);
    for (const CNewMonitorInfo& m : monitors)
        out << true << m;
    out << false;
    return record;
}

bool readPollDurationRecord(const QByteArray& record, SPollOutcome& o)
{
    QDataStream in(record);
    in.setVersion(LinkStreamVersion);
    qint64 perf = 0;
    in >> perf >> o.resultCode >> o.measuredValue;
    for (qint32& w : o.words)
        in >> w;
    in >> o.resultSections;
    o.perfValue = perf;
    o.middle = QByteArray(SPollOutcome::MiddleSize, Qt::Uninitialized);
    if (in.readRawData(o.middle.data(), SPollOutcome::MiddleSize) != SPollOutcome::MiddleSize)
        return false;
    return in.status() == QDataStream::Ok && in.atEnd();
}

bool readNewMonitorsRecord(const QByteArray& record, QList<CNewMonitorInfo>& monitors)
{
    monitors.clear();
    QDataStream in(record);
    in.setVersion(LinkStreamVersion);
    for (;;) {
        bool more = false;
        in >> more;
        if (in.status() != QDataStream::Ok) {
            monitors.clear();
            return false;
        }
        if (!more)
            return true;
        CNewMonitorInfo m;
        in >> m;
        if (in.status() != QDataStream::Ok) {
            monitors.clear();
            return false;
        }
        monitors.append(m);
    }
}
