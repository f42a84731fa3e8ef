#include "SyslogLine.h"

#include "common/DataStreamLimits.h"

QDataStream& operator<<(QDataStream& out, const QExplicitlySharedDataPointer<const SyslogLine>& line)
{
    const bool present = line && line->valid;
    out << present;
    if (!present)
        return out;
    out << line->isRfc5424 << line->hostName << line->appName << qint32(line->priority) << qint32(line->facility)
        << qint32(line->severity) << line->timestamp << line->message << qint32(line->processId) << line->messageId
        << line->structuredData;
    return out;
}

namespace {

// Qt's map form (count, then pairs), with the count checked against the bytes left.
bool readStringMap(QDataStream& in, QMap<QString, QString>& map)
{
    quint32 n = 0;
    in >> n;
    if (!streamCountFits(in, n, 8)) {
        markStreamCorrupt(in);
        return false;
    }
    for (quint32 i = 0; i < n; ++i) {
        QString k, v;
        in >> k >> v;
        if (in.status() != QDataStream::Ok)
            return false;
        map.insert(k, v);
    }
    return true;
}

} // namespace

QDataStream& operator>>(QDataStream& in, QExplicitlySharedDataPointer<const SyslogLine>& line)
{
    line.reset();
    bool present = false;
    in >> present;
    if (!present || in.status() != QDataStream::Ok)
        return in;
    QExplicitlySharedDataPointer<SyslogLine> l(new SyslogLine);
    qint32 priority = 0, facility = 0, severity = 0, processId = 0;
    in >> l->isRfc5424 >> l->hostName >> l->appName >> priority >> facility >> severity >> l->timestamp >> l->message
        >> processId >> l->messageId;
    l->priority = priority;
    l->facility = facility;
    l->severity = severity;
    l->processId = processId;
    quint32 n = 0;
    in >> n;
    if (!streamCountFits(in, n, 8)) {
        markStreamCorrupt(in);
        return in;
    }
    for (quint32 i = 0; i < n; ++i) {
        QString id;
        QMap<QString, QString> params;
        in >> id;
        if (!readStringMap(in, params) || in.status() != QDataStream::Ok)
            return in;
        l->structuredData.insert(id, params);
    }
    if (in.status() != QDataStream::Ok)
        return in;
    l->valid = true;
    line = l;
    return in;
}
