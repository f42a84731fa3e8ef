#include "NotificationBase.h"
#include "NotificationFixedSize.h"
#include "NotificationIntStr.h"

#include <QIODevice>
#include <QtEndian>

namespace {

// Writes all bytes, repeating short writes; false on a write error.
bool writeAll(QIODevice* device, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 n = device->write(data, size);
        if (n <= 0)
            return false;   // an error, or a device that takes nothing (no endless loop)
        data += n;
        size -= n;
    }
    return true;
}

// Reads exactly size bytes that are known to be available; false on a read error.
bool readAll(QIODevice* device, char* data, qint64 size)
{
    while (size > 0) {
        const qint64 n = device->read(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

int payloadCap(quint8 type)
{
    return type == NotificationBase::FixedSizeType ? NotificationBase::kFixedSizePayload
                                                   : NotificationBase::kMaxPayload;
}

}

NotificationBase::Frame NotificationBase::parseHeader(const char* header)
{
    Frame frame;
    const quint32 length = qFromBigEndian<quint32>(header);
    frame.type = quint8(header[4]);
    if (length > quint32(payloadCap(frame.type))) {
        frame.status = FrameStatus::Error;
        frame.error = "payload length over the limit";
        return frame;
    }
    frame.size = kHeaderSize + int(length);
    return frame;
}

NotificationPtr NotificationBase::fromPayload(quint8 type, const char* payload, int size)
{
    switch (type) {
    case FixedSizeType:
        return NotificationPtr(new NotificationFixedSize(payload, size));
    case IntStrType:
        return NotificationPtr(new NotificationIntStr(payload, size));
    default:
        return NotificationPtr();
    }
}

NotificationBase::Frame NotificationBase::parseFrame(const char* data, qint64 size)
{
    if (size < kHeaderSize)
        return Frame();
    Frame frame = parseHeader(data);
    if (frame.status == FrameStatus::Error)
        return frame;
    if (size < frame.size) {
        frame.size = 0;
        return frame;   // Incomplete
    }
    frame.notification = fromPayload(frame.type, data + kHeaderSize, frame.size - kHeaderSize);
    frame.status = frame.notification ? FrameStatus::Complete : FrameStatus::Skipped;
    return frame;
}

NotificationPtr NotificationBase::create(quint8 type, const QByteArray& payload)
{
    NotificationPtr n = fromPayload(type, payload.constData(), payload.size());
    if (!n)
        qWarning("bad notification type");
    return n;
}

QByteArray NotificationBase::frameBytes(const NotificationBase& notification)
{
    const QByteArray payload = notification.serialize();
    if (payload.size() > payloadCap(notification.type()))
        return QByteArray();
    QByteArray frame(kHeaderSize, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    frame[4] = char(notification.type());
    frame += payload;
    return frame;
}

bool NotificationBase::writeTo(const NotificationBase* notification, QIODevice* device)
{
    if (!notification || !device)
        return false;
    const QByteArray frame = frameBytes(*notification);
    if (frame.isEmpty())
        return false;
    return writeAll(device, frame.constData(), kHeaderSize)
        && writeAll(device, frame.constData() + kHeaderSize, frame.size() - kHeaderSize);
}

NotificationPtr NotificationBase::readFrom(QIODevice* device, bool& error, bool* skipped)
{
    error = false;
    if (skipped)
        *skipped = false;
    if (!device) {
        error = true;
        return NotificationPtr();
    }
    if (device->bytesAvailable() < kHeaderSize)
        return NotificationPtr();
    char header[kHeaderSize];
    if (device->peek(header, kHeaderSize) != kHeaderSize) {
        error = true;
        return NotificationPtr();
    }
    const Frame frame = parseHeader(header);
    if (frame.status == FrameStatus::Error) {
        error = true;
        return NotificationPtr();
    }
    if (device->bytesAvailable() < frame.size)
        return NotificationPtr();
    QByteArray bytes(frame.size, Qt::Uninitialized);
    if (!readAll(device, bytes.data(), frame.size)) {
        error = true;
        return NotificationPtr();
    }
    NotificationPtr n = create(frame.type, bytes.mid(kHeaderSize));
    if (!n && skipped)
        *skipped = true;
    return n;
}
