#pragma once

#include <QDataStream>
#include <QIODevice>

// Guards for counts read from a peer's QDataStream record: a count is trusted only when
// the bytes still unread can hold that many elements of the given minimum size, so a
// hostile count never leads to a large allocation or a long loop of empty reads.
inline qint64 streamBytesLeft(const QDataStream& stream)
{
    QIODevice* dev = stream.device();
    return dev ? dev->bytesAvailable() : 0;
}

inline bool streamCountFits(const QDataStream& stream, qint64 count, qint64 minElementBytes)
{
    if (stream.status() != QDataStream::Ok || count < 0)
        return false;
    if (minElementBytes <= 0)
        minElementBytes = 1;
    return count <= streamBytesLeft(stream) / minElementBytes;
}

inline void markStreamCorrupt(QDataStream& stream)
{
    if (stream.status() == QDataStream::Ok)
        stream.setStatus(QDataStream::ReadCorruptData);
}
