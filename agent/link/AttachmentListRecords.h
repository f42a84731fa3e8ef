#pragma once

// The attachment lists of the attachment messages: uint32 count, then the records in
// their own stream form. A count that the bytes left cannot hold, or a read error in any
// element, empties the whole list.

#include "common/DataStreamLimits.h"

#include <QByteArray>
#include <QDataStream>
#include <QList>

// No attachment record is shorter than its int32 id.
constexpr qint64 MinAttachmentRecordBytes = 4;

template <class Record>
bool readAttachmentList(const QByteArray& bytes, QList<Record>& list)
{
    list.clear();
    QDataStream in(bytes);
    in.setVersion(7);
    quint32 count = 0;
    in >> count;
    if (!streamCountFits(in, count, MinAttachmentRecordBytes))
        return false;
    for (quint32 i = 0; i < count; ++i) {
        Record r;
        in >> r;
        if (in.status() != QDataStream::Ok) {
            list.clear();
            return false;
        }
        list.append(r);
    }
    return true;
}

template <class Record>
QByteArray writeAttachmentList(const QList<Record>& list)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    out << quint32(list.size());
    for (const Record& r : list)
        out << r;
    return bytes;
}
