#include "PasswordText.h"

#include <QByteArray>
#include <QRegularExpression>

namespace {

// The crypt steps copy the bytes unchanged; they are kept as the place where a real cipher
// would sit.
bool encodeStep(const QByteArray& in, QByteArray* out)
{
    *out = in;
    return true;
}

bool decodeStep(const QByteArray& in, QByteArray* out)
{
    *out = in;
    return true;
}

} // namespace

bool encodePasswordText(const QString& text, QString* stored)
{
    if (text == QLatin1String("$AdminPassword")) {
        *stored = QLatin1Char(':') + text;
        return true;
    }
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    QByteArray encoded;
    if (!encodeStep(bytes, &encoded)) {
        *stored = QLatin1Char(':') + text;
        return false;
    }
    *stored = QString::fromLatin1(encoded.toHex());
    return true;
}

bool decodePasswordText(const QString& stored, QString* text, const void*)
{
    static const QRegularExpression hexPairs(QStringLiteral("\\A(?:[0-9a-fA-F][0-9a-fA-F])+\\z"));
    if (hexPairs.match(stored).hasMatch()) {
        QByteArray bytes;
        if (!decodeStep(QByteArray::fromHex(stored.toLatin1()), &bytes)) {
            *text = stored;
            return false;
        }
        QString out;
        out.reserve(bytes.size() / 2);
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            out.append(QChar(ushort(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8))));
        *text = out;
        return true;
    }
    if (stored.startsWith(QLatin1Char(':'))) {
        *text = stored.mid(1);
        return true;
    }
    *text = stored;
    return true;
}
