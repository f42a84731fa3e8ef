#pragma once
#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <QtGlobal>

class QIODevice;
class NotificationBase;
class NotificationParser;

using NotificationPtr = QExplicitlySharedDataPointer<NotificationBase>;

// A message of the local control port. One frame on the stream is a 4-byte big-endian
// payload length, a type byte (0 fixed size, 1 int+string) and the payload, written with
// QDataStream version 11 (big-endian). Notifications are immutable once built and may be
// shared between threads.
class NotificationBase : public QSharedData
{
public:
    enum Type : quint8 { FixedSizeType = 0, IntStrType = 1 };

    static constexpr int kHeaderSize = 5;
    // A fixed-size payload is 16 bytes; a longer one is refused as a broken stream.
    static constexpr int kFixedSizePayload = 16;
    // Cap of every other payload: nothing on this port needs more, and a peer must not make
    // the reader wait for (and buffer) gigabytes.
    static constexpr int kMaxPayload = 64 * 1024;

    explicit NotificationBase(quint8 type) : m_type(type) {}
    virtual ~NotificationBase() = default;

    quint8 type() const { return m_type; }

    virtual void dispatchTo(NotificationParser& parser) const = 0;
    virtual QString toString() const = 0;
    virtual QByteArray serialize() const = 0;

    // Writes one frame; false without a notification or device, on a write error, or when
    // the payload exceeds the cap (a reader would refuse it).
    static bool writeTo(const NotificationBase* notification, QIODevice* device);
    static bool writeTo(const NotificationPtr& notification, QIODevice* device)
    {
        return writeTo(notification.data(), device);
    }
    // The frame's bytes, empty when the payload exceeds the cap.
    static QByteArray frameBytes(const NotificationBase& notification);

    // Reads one complete frame from the device, never consuming part of one.
    // Null with error clear: wait for more data, or (skipped set) a frame of an unknown type
    // was consumed with the warning "bad notification type" and the next frame may follow.
    // Null with error set: no device, a failed read, or a length over the cap (nothing is
    // consumed then; the caller drops the stream).
    static NotificationPtr readFrom(QIODevice* device, bool& error, bool* skipped = nullptr);

    // The notification of a type byte and payload; null with the warning "bad notification
    // type" for a type other than 0 and 1.
    static NotificationPtr create(quint8 type, const QByteArray& payload);

    // Pure parsing over bytes, shared by readFrom, the tests and the fuzz target.
    enum class FrameStatus { Incomplete, Complete, Skipped, Error };
    struct Frame
    {
        FrameStatus status = FrameStatus::Incomplete;
        int size = 0;                  // bytes the frame takes (Complete, Skipped)
        quint8 type = 0;
        NotificationPtr notification;  // Complete only
        const char* error = nullptr;   // Error only
    };
    // Header of 5 bytes: type and payload length, or an error for a length over the cap.
    static Frame parseHeader(const char* header);
    // The first frame of the bytes.
    static Frame parseFrame(const char* data, qint64 size);
    // The notification of a known type (0 or 1), else null; no logging.
    static NotificationPtr fromPayload(quint8 type, const char* payload, int size);

private:
    const quint8 m_type;
};
