#include "NotificationIntStr.h"
#include "NotificationParser.h"

#include <QDataStream>
#include <QtEndian>

namespace {

// Bounded big-endian reader over the payload; every read fails once the bytes run out.
class PayloadReader
{
public:
    PayloadReader(const char* data, int size) : m_data(data), m_size(size) {}

    int remaining() const { return m_size - m_pos; }

    bool readInt(qint32& value)
    {
        if (remaining() < 4)
            return false;
        value = qFromBigEndian<qint32>(m_data + m_pos);
        m_pos += 4;
        return true;
    }

    // A 32-bit byte length (all ones: null string) and that many bytes of UTF-16BE.
    bool readString(QString& value)
    {
        if (remaining() < 4)
            return false;
        const quint32 bytes = qFromBigEndian<quint32>(m_data + m_pos);
        if (bytes == 0xFFFFFFFFu) {
            m_pos += 4;
            value = QString();
            return true;
        }
        if ((bytes & 1u) || bytes > quint32(remaining() - 4))
            return false;
        m_pos += 4;
        const int units = int(bytes / 2);
        value = QString(units, Qt::Uninitialized);   // non-null, also when empty
        QChar* out = value.data();
        for (int i = 0; i < units; ++i)
            out[i] = QChar(qFromBigEndian<quint16>(m_data + m_pos + 2 * i));
        m_pos += int(bytes);
        return true;
    }

private:
    const char* m_data;
    int m_size;
    int m_pos = 0;
};

}

NotificationIntStr::NotificationIntStr(qint32 code, const QList<qint32>& integers, const QStringList& strings)
    : NotificationBase(IntStrType)
    , m_code(code)
    , m_integers(integers)
    , m_strings(strings)
{
}

NotificationIntStr::NotificationIntStr(const char* payload, int size)
    : NotificationBase(IntStrType)
{
    PayloadReader in(payload, size);
    qint32 n = 0;
    qint32 m = 0;
    if (!in.readInt(m_code) || !in.readInt(n) || !in.readInt(m))
        return;
    for (qint32 i = 0; i < n; ++i) {
        qint32 value;
        if (!in.readInt(value))
            return;
        m_integers.append(value);
    }
    for (qint32 i = 0; i < m; ++i) {
        QString value;
        if (!in.readString(value))
            return;
        m_strings.append(value);
    }
}

NotificationIntStr::NotificationIntStr(const QByteArray& payload)
    : NotificationIntStr(payload.constData(), payload.size())
{
}

void NotificationIntStr::dispatchTo(NotificationParser& parser) const
{
    parser.handleIntStr(*this);
}

QString NotificationIntStr::toString() const
{
    return QStringLiteral("int str %1 %2 %3").arg(m_code).arg(m_integers.size()).arg(m_strings.size());
}

QByteArray NotificationIntStr::serialize() const
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_5);
    out << m_code << qint32(m_integers.size()) << qint32(m_strings.size());
    for (qint32 value : m_integers)
        out << value;
    for (const QString& value : m_strings)
        out << value;
    return payload;
}
