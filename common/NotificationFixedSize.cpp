#include "NotificationFixedSize.h"
#include "NotificationParser.h"

#include <QDataStream>
#include <QtEndian>

namespace {
qint32 valueAt(const char* payload, int size, int index)
{
    const int offset = index * 4;
    return offset + 4 <= size ? qFromBigEndian<qint32>(payload + offset) : 0;
}
}

NotificationFixedSize::NotificationFixedSize(qint32 code, qint32 value1, qint32 value2, qint32 value3)
    : NotificationBase(FixedSizeType)
    , m_code(code)
    , m_value1(value1)
    , m_value2(value2)
    , m_value3(value3)
{
}

NotificationFixedSize::NotificationFixedSize(const char* payload, int size)
    : NotificationBase(FixedSizeType)
    , m_code(valueAt(payload, size, 0))
    , m_value1(valueAt(payload, size, 1))
    , m_value2(valueAt(payload, size, 2))
    , m_value3(valueAt(payload, size, 3))
{
}

NotificationFixedSize::NotificationFixedSize(const QByteArray& payload)
    : NotificationFixedSize(payload.constData(), payload.size())
{
}

void NotificationFixedSize::dispatchTo(NotificationParser& parser) const
{
    parser.handleFixedSize(*this);
}

QString NotificationFixedSize::toString() const
{
    return QStringLiteral("fixed size %1 %2 %3 %4")
        .arg(quint32(m_code))
        .arg(quint32(m_value1))
        .arg(quint32(m_value2))
        .arg(quint32(m_value3));
}

QByteArray NotificationFixedSize::serialize() const
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_5);
    out << m_code << m_value1 << m_value2 << m_value3;
    return payload;
}
