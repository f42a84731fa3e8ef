#include "CSnmpTrap.h"

#include "common/DataStreamLimits.h"

#include <QHash>
#include <QTextCodec>

QDataStream& operator<<(QDataStream& out, const QExplicitlySharedDataPointer<const CSnmpTrap>& trap)
{
    out << bool(trap);
    if (!trap)
        return out;
    out << qint32(trap->version) << trap->sender << trap->trapOid << qint32(trap->payload.size());
    for (auto it = trap->payload.constBegin(); it != trap->payload.constEnd(); ++it)
        out << it.key() << true << it.value().data;
    out << qint32(trap->timestamp) << trap->enterprise << trap->community << trap->securityName;
    return out;
}

QDataStream& operator>>(QDataStream& in, QExplicitlySharedDataPointer<const CSnmpTrap>& trap)
{
    trap.reset();
    bool present = false;
    in >> present;
    if (!present || in.status() != QDataStream::Ok)
        return in;
    QExplicitlySharedDataPointer<CSnmpTrap> t(new CSnmpTrap);
    qint32 version = 0, count = 0, timestamp = 0;
    in >> version >> t->sender >> t->trapOid >> count;
    t->version = version;
    // An entry takes at least its key length, its flag and its data length.
    if (!streamCountFits(in, count, 9)) {
        markStreamCorrupt(in);
        return in;
    }
    for (qint32 i = 0; i < count; ++i) {
        QString key;
        bool hasValue = false;
        in >> key >> hasValue;
        CSnmpTrapPayload value;
        // The writer always sets the flag; an entry without one carries no data.
        if (hasValue)
            in >> value.data;
        if (in.status() != QDataStream::Ok)
            return in;
        t->payload.insert(key, value);
    }
    in >> timestamp >> t->enterprise >> t->community >> t->securityName;
    t->timestamp = timestamp;
    if (in.status() == QDataStream::Ok)
        trap = t;
    return in;
}

const QString kUndefinedTrapEncoding = QStringLiteral("Undefined encoding (ASCII plain text / Raw hex)");

namespace {

bool isTextByte(uchar c)
{
    return (c >= 7 && c <= 13) || (c >= 32 && c <= 126);
}

const QHash<QString, QString>& genericNames()
{
    // Built once, thread-safely, by the static's initialisation.
    static const QHash<QString, QString> names = {
        {QStringLiteral(".1.3.6.1.2.1.1.3"), QStringLiteral("sysUpTime")},
        {QStringLiteral(".1.3.6.1.6.3.1.1.5.1"), QStringLiteral("coldStart")},
        {QStringLiteral(".1.3.6.1.6.3.1.1.5.2"), QStringLiteral("warmStart")},
        {QStringLiteral(".1.3.6.1.6.3.1.1.5.3"), QStringLiteral("linkDown")},
        {QStringLiteral(".1.3.6.1.6.3.1.1.5.4"), QStringLiteral("linkUp")},
        {QStringLiteral(".1.3.6.1.6.3.1.1.5.5"), QStringLiteral("authenticationFailure")},
        {QStringLiteral(".1.3.6.1.6.3.1.1.5.6"), QStringLiteral("egpNeighborLoss")},
    };
    return names;
}

bool finds(const QRegExp& re, const QString& text)
{
    return re.indexIn(text) >= 0;
}

} // namespace

QString CSnmpTrapPayload::toText(const QString& encoding) const
{
    if (encoding == kUndefinedTrapEncoding) {
        for (char c : data)
            if (!isTextByte(static_cast<uchar>(c)))
                return QString::fromLatin1(data.toHex());
        QString text = QString::fromLatin1(data);
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        text.replace(QLatin1Char('"'), QLatin1String("\\\""));
        text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
        return text;
    }
    if (!encoding.isEmpty())
        if (QTextCodec* codec = QTextCodec::codecForName(encoding.toUtf8()))
            return codec->toUnicode(data);
    return QString::fromUtf8(data);
}

QString normalizeOidText(const QString& text)
{
    if (!text.isEmpty() && text.at(0).isDigit())
        return QLatin1Char('.') + text;
    return text;
}

QString genericTrapName(const QString& oidText)
{
    const QHash<QString, QString>& names = genericNames();
    auto it = names.constFind(oidText);
    if (it != names.constEnd())
        return it.value();
    const int dot = oidText.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        it = names.constFind(oidText.left(dot));
        if (it != names.constEnd())
            return it.value() + oidText.mid(dot);
    }
    return oidText;
}

QString trapReceivedText(const QString& oidText)
{
    return QStringLiteral("Received %1 trap").arg(genericTrapName(oidText));
}

bool CSnmpTrap::oidMatches(const QRegExp& include, const QRegExp& exclude) const
{
    return (include.isEmpty() || finds(include, trapOid)) && (exclude.isEmpty() || !finds(exclude, trapOid));
}

bool CSnmpTrap::payloadMatches(const QRegExp& include, const QRegExp& exclude, const QString& encoding) const
{
    if (include.isEmpty() && exclude.isEmpty())
        return true;
    bool found = include.isEmpty();
    auto test = [&](const QString& text) {
        if (!exclude.isEmpty() && finds(exclude, text))
            return false;
        if (!found && finds(include, text))
            found = true;
        return true;
    };
    if (payload.isEmpty())
        return test(QString()) && found;
    for (auto it = payload.constBegin(); it != payload.constEnd(); ++it)
        if (!test(it.key() + QLatin1Char('=') + it.value().toText(encoding)))
            return false;
    return found;
}

bool CSnmpTrap::anyPayloadValueMatches(const QRegExp& re, const QString& encoding) const
{
    if (re.isEmpty())
        return true;
    if (payload.isEmpty())
        return finds(re, QString());
    for (auto it = payload.constBegin(); it != payload.constEnd(); ++it)
        if (finds(re, it.value().toText(encoding)))
            return true;
    return false;
}
