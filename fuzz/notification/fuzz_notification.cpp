// Control-port frames over untrusted bytes: the pure parser and the device reader must agree,
// never read outside the bytes, and every notification they make must survive a round trip.
#include "common/NotificationBase.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QtMessageHandler previous = qInstallMessageHandler(quiet);   // "bad notification type"
    (void)previous;
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);

    qint64 offset = 0;
    for (;;) {
        const NotificationBase::Frame frame =
            NotificationBase::parseFrame(bytes.constData() + offset, bytes.size() - offset);
        bool error = false;
        bool skipped = false;
        const NotificationPtr read = NotificationBase::readFrom(&device, error, &skipped);
        if (error != (frame.status == NotificationBase::FrameStatus::Error)
            || skipped != (frame.status == NotificationBase::FrameStatus::Skipped)
            || bool(read) != (frame.status == NotificationBase::FrameStatus::Complete))
            __builtin_trap();
        if (frame.status == NotificationBase::FrameStatus::Incomplete
            || frame.status == NotificationBase::FrameStatus::Error)
            break;
        if (frame.size < NotificationBase::kHeaderSize || offset + frame.size > bytes.size())
            __builtin_trap();
        offset += frame.size;
        if (device.pos() != offset)
            __builtin_trap();
        if (read) {
            const QByteArray again = NotificationBase::frameBytes(*read);
            const NotificationBase::Frame back = NotificationBase::parseFrame(again.constData(), again.size());
            if (back.status != NotificationBase::FrameStatus::Complete || back.size != again.size()
                || back.notification->toString() != read->toString()
                || back.notification->serialize() != read->serialize())
                __builtin_trap();
        }
    }
    return 0;
}
