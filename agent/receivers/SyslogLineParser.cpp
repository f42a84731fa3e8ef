// Reading a syslog datagram into its SyslogLine: RFC 3164 and RFC 5424 forms, structured data,
// and the texts shown for a line. Pure functions of the bytes; any thread.

#include "SyslogLine.h"

#include <QRegExp>
#include <QStringList>
#include <QTextCodec>

namespace {

// A field's text: UTF-8 up to its first zero byte.
QString fieldText(const QByteArray& field)
{
    const int nul = field.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? field : field.left(nul));
}

QString nilToEmpty(const QString& text) { return text == QLatin1String("-") ? QString(QLatin1String("")) : text; }

// The fields joined by one space: the first as its bytes, the others through their text.
QByteArray joinFields(const QList<QByteArray>& fields)
{
    QByteArray joined;
    for (int i = 0; i < fields.size(); ++i) {
        if (i == 0) {
            joined = fields[0];
        } else {
            joined += ' ';
            joined += fieldText(fields[i]).toUtf8();
        }
    }
    return joined;
}

// Where RFC 5424's STRUCTURED-DATA ends, read forwards: elements back to back, each from '['
// to the ']' that is outside a quoted value (a backslash makes the next byte literal). The
// index of the last element's ']', or -1 when the text does not hold whole elements.
int structuredDataEnd(const QByteArray& text)
{
    int i = 0;
    int end = -1;
    while (i < text.size() && text[i] == '[') {
        bool quoted = false;
        int j = i + 1;
        for (; j < text.size(); ++j) {
            const char c = text[j];
            if (quoted && c == '\\') {
                ++j;
                continue;
            }
            if (c == '"')
                quoted = !quoted;
            else if (c == ']' && !quoted)
                break;
        }
        if (j >= text.size())
            return -1;
        end = j;
        i = j + 1;
    }
    return end;
}

// "Mmm d hh:mm:ss", the shape of an RFC 3164 TIMESTAMP (whether or not it is a valid time).
bool hasRfc3164TimeShape(const QString& text)
{
    static const QRegExp shape(QStringLiteral("^[A-Za-z]{3} \\d{1,2} \\d{2}:\\d{2}:\\d{2}$"));
    return QRegExp(shape).exactMatch(text);
}

} // namespace

QMap<qint64, QString> syslogFacilityNames()
{
    static const QMap<qint64, QString> names = [] {
        static const char* const list[] = {"kernel", "user",     "mail",     "daemon",   "auth",   "syslog", "lpr",    "news",
                                           "uucp",   "cron",     "security", "ftp",      "ntp",    "logaudit", "logalert", "clock",
                                           "local0", "local1",   "local2",   "local3",   "local4", "local5", "local6", "local7"};
        QMap<qint64, QString> map;
        for (int i = 0; i < 24; ++i)
            map.insert(qint64(1) << i, QString::fromLatin1(list[i]));
        return map;
    }();
    return names;
}

QMap<qint64, QString> syslogSeverityNames()
{
    static const QMap<qint64, QString> names = [] {
        static const char* const list[] = {"EMERG", "ALERT", "CRIT", "ERR", "WARNING", "NOTICE", "INFO", "DEBUG"};
        QMap<qint64, QString> map;
        for (int i = 0; i < 8; ++i)
            map.insert(qint64(1) << i, QString::fromLatin1(list[i]));
        return map;
    }();
    return names;
}

// The leading "<digits>"; matched through copies, a QRegExp keeps its last match.
static const QRegExp& priorityPattern()
{
    static const QRegExp pattern(QStringLiteral("^<(\\d+)>"));
    return pattern;
}

bool SyslogLine::parsePriority(const QString& field)
{
    QRegExp pri(priorityPattern());
    if (pri.indexIn(field) < 0)
        return false;
    // any number of digits: compare without converting what might overflow
    QString digits = pri.cap(1);
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() > 3 || digits.toInt() > 191)
        return false;
    priority = digits.toInt();
    facility = 1 << (priority >> 3);
    severity = 1 << (priority & 7);
    return true;
}

bool SyslogLine::parseRfc3164Time(const QString& text)
{
    // "MMM d hh:mm:ss" in English with no year: read as QLocale reads it (the year 1900, local
    // time, invalid dates refused), by hand, since that reading costs ten times the rest
    QString copy = text;
    copy.replace(QLatin1String("  "), QLatin1String(" "));
    static const QRegExp pattern(QStringLiteral("^([A-Za-z]{3}) (\\d{1,2}) (\\d{2}):(\\d{2}):(\\d{2})$"));
    QRegExp match(pattern);
    if (!match.exactMatch(copy))
        return false;
    static const QStringList months = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    const int month = months.indexOf(match.cap(1).toLower()) + 1;
    const QDate date(1900, month, match.cap(2).toInt());
    const QTime time(match.cap(3).toInt(), match.cap(4).toInt(), match.cap(5).toInt());
    if (month == 0 || !date.isValid() || !time.isValid())
        return false;
    timestamp = QDateTime(date, time, Qt::LocalTime);
    return true;
}

bool SyslogLine::parseTimeByPattern(const QString& text)
{
    QRegExp pattern(QStringLiteral("^(\\d{4,})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})?(?:\\.\\d+)?(Z|[+-]\\d{2}:?\\d{2})\\s"));
    if (pattern.indexIn(text) < 0)
        return false;
    const QString zone = pattern.cap(7);
    int offset = 0;
    if (!zone.endsWith(QLatin1Char('Z'))) {
        const int sign = zone.contains(QLatin1Char('+')) ? 1 : -1;
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.right(2).toInt();
        offset = sign * (hours * 60 + minutes) * 60;
    }
    const QDate date(pattern.cap(1).toInt(), pattern.cap(2).toInt(), pattern.cap(3).toInt());
    const QTime time(pattern.cap(4).toInt(), pattern.cap(5).toInt(), pattern.cap(6).isEmpty() ? 0 : pattern.cap(6).toInt(), 0);
    QDateTime stamp(date, time, Qt::UTC);
    stamp.setOffsetFromUtc(offset);
    timestamp = stamp;
    return true;
}

bool SyslogLine::parseRfc5424Time(const QString& text)
{
    if (text == QLatin1String("-")) {
        timestamp = QDateTime();
        return true;
    }
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODate);
    if (iso.isValid()) {
        timestamp = iso;
        return true;
    }
    return parseTimeByPattern(text) || parseRfc3164Time(text);
}

bool SyslogLine::parseStructuredData(const QByteArray& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n) {
        while (i < n && text[i] != '[')
            ++i;
        if (i >= n)
            return true;
        ++i;
        QString id;
        while (i < n && text[i] != ' ')
            id += QLatin1Char(text[i++]);
        if (i >= n)
            return true;
        structuredData[id] = QMap<QString, QString>();
        ++i;
        QString name;
        for (;;) {
            if (i >= n)
                return true;
            const char c = text[i];
            if (c == ' ') {
                ++i;
                continue;
            }
            if (c == ']') {
                ++i;
                break;
            }
            if (c != '=') {
                name += QLatin1Char(c);
                ++i;
                continue;
            }
            structuredData[id][name] = QLatin1String("");
            if (i + 1 >= n)
                return true;
            if (text[i + 1] != '"')
                return i + 1 == n - 1;
            i += 2;
            QByteArray value;
            bool closed = false;
            while (i < n) {
                const char v = text[i++];
                if (v == '\\' && i < n) {
                    value += text[i++];
                    continue;
                }
                if (v == '"') {
                    closed = true;
                    break;
                }
                value += v;
            }
            if (!closed)
                return true;
            structuredData[id][name] = fieldText(value);
            name.clear();
        }
    }
    return true;
}

bool SyslogLine::parse(const QByteArray& datagram, const QString& senderAddress)
{
    sender = senderAddress;
    rawText = datagram.isNull() ? QString() : fieldText(datagram);
    QList<QByteArray> fields = datagram.split(' ');
    if (datagram.isEmpty() || fields.size() < 2) {
        parseStatus = QStringLiteral("Segments count is less that 2");
        return false;
    }
    const QString first = fieldText(fields[0]);
    if (!parsePriority(first)) {
        parseStatus = QStringLiteral("PRI value is invalid");
        return false;
    }
    static const QRegExp versionForm(QStringLiteral("^(<\\d+>\\d)$"));
    static const QRegExp wordForm(QStringLiteral("^(<\\d+>\\w+)"));
    if (QRegExp(versionForm).indexIn(first) >= 0) {
        isRfc5424 = true;
        if (fields.size() < 7) {
            parseStatus = QStringLiteral("Segments count is less that 7");
            return false;
        }
        if (!parseRfc5424Time(fieldText(fields[1]))) {
            parseStatus = QStringLiteral("Date section is invalid");
            return false;
        }
        hostName = nilToEmpty(fieldText(fields[2]));
        appName = nilToEmpty(fieldText(fields[3]));
        bool ok = false;
        processId = nilToEmpty(fieldText(fields[4])).toInt(&ok);
        if (!ok)
            processId = 0;
        messageId = nilToEmpty(fieldText(fields[5]));
        QByteArray messageBytes;
        if (fields[6] == "-") {
            messageBytes = joinFields(fields.mid(7));
        } else {
            const QByteArray rest = joinFields(fields.mid(6));
            const int end = structuredDataEnd(rest);
            if (end < 1) {
                parseStatus = QStringLiteral("Unable to find STRUCTURED-DATA section end");
                return false;
            }
            if (!parseStructuredData(rest.left(end + 1))) {
                parseStatus = QStringLiteral("STRUCTURED-DATA section is invalid");
                return false;
            }
            messageBytes = rest.mid(end + 2);
        }
        if (messageBytes.startsWith("\xEF\xBB\xBF"))
            message = QString::fromUtf8(messageBytes.mid(3));
        else
            message = QString::fromLocal8Bit(messageBytes);
    } else if (QRegExp(wordForm).indexIn(first) >= 0) {
        isRfc5424 = false;
        if (fields.size() > 1 && fields[1].isEmpty())
            fields.removeAt(1);
        QString time = fields.size() >= 3
                           ? QStringLiteral("%1 %2 %3").arg(first, fieldText(fields[1]), fieldText(fields[2]))
                           : QString();
        QRegExp leading(priorityPattern());
        if (leading.indexIn(time) >= 0)
            time.remove(0, leading.matchedLength());
        if (!hasRfc3164TimeShape(time)) {
            // no TIMESTAMP and HOSTNAME: all after the priority is the message
            hostName = QLatin1String("");
            QString text = fieldText(datagram);
            QRegExp pri(priorityPattern());
            if (pri.indexIn(text) >= 0)
                text.remove(0, pri.matchedLength());
            message = text;
        } else {
            if (fields.size() < 4) {
                parseStatus = QStringLiteral("Segments count is less that 4");
                return false;
            }
            parseRfc3164Time(time);
            hostName = fieldText(fields[3]);
            message = fieldText(joinFields(fields.mid(4)));
        }
    }
    parseStatus = QStringLiteral("OK");
    return true;
}

QString SyslogLine::displayText() const
{
    QString text = rawText;
    QRegExp pri(priorityPattern());
    if (pri.indexIn(text) >= 0)
        text.replace(0, pri.matchedLength(),
                     QStringLiteral("%1.%2: ").arg(syslogFacilityNames().value(facility), syslogSeverityNames().value(severity)));
    return text;
}

QString SyslogLine::shortText() const
{
    return QStringLiteral("%1.%2: %3").arg(syslogFacilityNames().value(facility), syslogSeverityNames().value(severity), appName);
}

QString SyslogLine::structuredDataText() const
{
    QString text;
    for (auto element = structuredData.constBegin(); element != structuredData.constEnd(); ++element) {
        text += QLatin1Char('[') + element.key();
        for (auto param = element.value().constBegin(); param != element.value().constEnd(); ++param)
            text += QStringLiteral(" %1=\"%2\"").arg(param.key(), param.value());
        text += QLatin1Char(']');
    }
    return text;
}

QString SyslogLine::detailsText() const
{
    const QStringList lines = {
        QStringLiteral("Is RFC 5424 = %1").arg(isRfc5424 ? 1 : 0),
        QStringLiteral("IP = %1").arg(sender),
        QStringLiteral("Host = %1").arg(hostName),
        QStringLiteral("Application (tag) = %1").arg(appName),
        QStringLiteral("Process Id = %1").arg(processId),
        QStringLiteral("Message Id = %1").arg(messageId),
        QStringLiteral("Severity level = %1").arg(syslogSeverityNames().value(severity)),
        QStringLiteral("Facility = %1").arg(syslogFacilityNames().value(facility)),
        QStringLiteral("Date and time = %1").arg(timestamp.toString(Qt::ISODate)),
        QStringLiteral("Structured data = %1").arg(structuredDataText()),
        QStringLiteral("Message = %1").arg(message),
    };
    return lines.join(QStringLiteral("\n "));
}
