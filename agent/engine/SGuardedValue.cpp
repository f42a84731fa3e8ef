#include "SGuardedValue.h"

#include <QtEndian>
#include <QtGlobal>
#include <cstring>

namespace {
quint32 readBe32(const QByteArray& b, int offset)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + offset);
}
quint16 crc(const char* data, size_t len)
{
    return qChecksum(data, len, Qt::ChecksumIso3309);
}
}

SGuardedValue::SGuardedValue(const QString& valueName)
    : name(valueName)
    , bytes(8, '\0')
{
}

SGuardedValue::~SGuardedValue()
{
    verify();
}

QByteArray SGuardedValue::encode(const QByteArray& value)
{
    const quint32 length = static_cast<quint32>(value.size());
    QByteArray form(value.size() + 8, '\0');
    uchar* p = reinterpret_cast<uchar*>(form.data());
    qToBigEndian<quint32>(length, p);
    if (length)
        memcpy(p + 4, value.constData(), length);
    qToBigEndian<quint16>(crc(value.constData(), length), p + 4 + length + 2);
    return form;
}

void SGuardedValue::setValue(const QByteArray& value)
{
    bytes = encode(value);
}

const char* SGuardedValue::valueData()
{
    if (bytes.size() < 5)
        return "";
    return bytes.data() + 4;   // data() detaches: the pointer belongs to this holder alone
}

QByteArray SGuardedValue::value() const
{
    if (bytes.size() < 4)
        return QByteArray();
    const quint32 length = readBe32(bytes, 0);
    const int available = bytes.size() - 4;
    if (length == kUnverifiedLength || length > static_cast<quint32>(available))
        return bytes.mid(4, qstrnlen(bytes.constData() + 4, static_cast<uint>(available)));
    return bytes.mid(4, static_cast<int>(length));
}

void SGuardedValue::verify() const
{
    const int n = bytes.size();
    if (n < 4) {
        qWarning("%s", qPrintable(QStringLiteral("bad offset %1 for setting %2").arg(0).arg(name)));
        return;
    }
    const quint32 length = readBe32(bytes, 0);
    if (length == kUnverifiedLength)
        return;
    if (static_cast<qint64>(length) != static_cast<qint64>(n) - 8) {
        qWarning("%s", qPrintable(QStringLiteral("setting %1 has bad size").arg(name)));
        return;
    }
    // The last four bytes must read as the checksum: the two zero bytes included.
    if (readBe32(bytes, n - 4) != crc(bytes.constData() + 4, length))
        qWarning("%s", qPrintable(QStringLiteral("setting %1 has bad checksum").arg(name)));
}

QString SGuardedValue::checkForm(const QByteArray& form)
{
    const int n = form.size();
    if (n < 4)
        return QStringLiteral("guarded value shorter than its header");
    const quint32 length = readBe32(form, 0);
    const qint64 available = n - 4;
    if (length == kUnverifiedLength) {
        if (!memchr(form.constData() + 4, 0, static_cast<size_t>(available)))
            return QStringLiteral("guarded value without its terminating zero");
        return QString();
    }
    if (static_cast<qint64>(length) > available)
        return QStringLiteral("guarded value length %1 beyond the %2 bytes present").arg(length).arg(available);
    if (static_cast<qint64>(length) == available || form.at(4 + static_cast<int>(length)) != '\0')
        return QStringLiteral("guarded value without its terminating zero");
    return QString();
}
