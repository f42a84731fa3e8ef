#pragma once
#include "NotificationBase.h"

// Fixed-size notification (type 0): a code and three values, 16 bytes of payload.
class NotificationFixedSize : public NotificationBase
{
public:
    // Codes in use on the control port.
    enum Code : qint32 {
        EchoRequest = 1,
        EchoReply = 2,
        LinkStatusRequest = 10001,
        LinkStatus = 10002,
        Reserved10003 = 10003,
        Reserved10004 = 10004,
    };

    NotificationFixedSize(qint32 code, qint32 value1, qint32 value2, qint32 value3);
    // Reads code and values; bytes missing at the end read as 0.
    NotificationFixedSize(const char* payload, int size);
    explicit NotificationFixedSize(const QByteArray& payload);

    qint32 code() const { return m_code; }
    qint32 value1() const { return m_value1; }
    qint32 value2() const { return m_value2; }
    qint32 value3() const { return m_value3; }

    void dispatchTo(NotificationParser& parser) const override;
    QString toString() const override;
    QByteArray serialize() const override;

private:
    qint32 m_code = 0;
    qint32 m_value1 = 0;
    qint32 m_value2 = 0;
    qint32 m_value3 = 0;
};
