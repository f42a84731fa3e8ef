#pragma once
// The regular-expression reading of a syslog datagram that SyslogLine::parse replaced: slow but
// plain, kept as the yardstick the byte parser must agree with field for field (the fuzz target
// and the parse tests compare the two). Not linked into the daemon.

#include "agent/receivers/SyslogLine.h"

#include <QDataStream>
#include <QRegExp>
#include <QStringList>

namespace syslog_reference {

inline QString fieldText(const QByteArray& field)
{
    const int nul = field.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? field : field.left(nul));
}

inline QString nilToEmpty(const QString& text) { return text == QLatin1String("-") ? QString(QLatin1String("")) : text; }

inline QByteArray joinFields(const QList<QByteArray>& fields)
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

inline int structuredDataEnd(const QByteArray& text)
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

inline bool hasRfc3164TimeShape(const QString& text)
{
    static const QRegExp shape(QStringLiteral("^[A-Za-z]{3} \\d{1,2} \\d{2}:\\d{2}:\\d{2}$"));
    return QRegExp(shape).exactMatch(text);
}

inline const QRegExp& priorityPattern()
{
    static const QRegExp pattern(QStringLiteral("^<(\\d+)>"));
    return pattern;
}

inline bool parsePriority(SyslogLine& line, const QString& field)
{
    QRegExp pri(priorityPattern());
    if (pri.indexIn(field) < 0)
        return false;
    QString digits = pri.cap(1);
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() > 3 || digits.toInt() > 191)
        return false;
    line.priority = digits.toInt();
    line.facility = 1 << (line.priority >> 3);
    line.severity = 1 << (line.priority & 7);
    return true;
}

inline bool parseRfc3164Time(SyslogLine& line, const QString& text)
{
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
    line.timestamp = QDateTime(date, time, Qt::LocalTime);
    return true;
}

inline bool parseRfc5424Time(SyslogLine& line, const QString& text)
{
    if (text == QLatin1String("-")) {
        line.timestamp = QDateTime();
        return true;
    }
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODate);
    if (iso.isValid()) {
        line.timestamp = iso;
        return true;
    }
    return line.parseTimeByPattern(text) || parseRfc3164Time(line, text);
}

inline bool parseStructuredData(SyslogLine& line, const QByteArray& text)
{
    auto& structuredData = line.structuredData;
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

inline bool parse(SyslogLine& line, const QByteArray& datagram, const QString& senderAddress)
{
    line.sender = senderAddress;
    line.rawText = datagram.isNull() ? QString() : fieldText(datagram);
    QList<QByteArray> fields = datagram.split(' ');
    if (datagram.isEmpty() || fields.size() < 2) {
        line.parseStatus = QStringLiteral("Segments count is less that 2");
        return false;
    }
    const QString first = fieldText(fields[0]);
    if (!parsePriority(line, first)) {
        line.parseStatus = QStringLiteral("PRI value is invalid");
        return false;
    }
    static const QRegExp versionForm(QStringLiteral("^(<\\d+>\\d)$"));
    static const QRegExp wordForm(QStringLiteral("^(<\\d+>\\w+)"));
    if (QRegExp(versionForm).indexIn(first) >= 0) {
        line.isRfc5424 = true;
        if (fields.size() < 7) {
            line.parseStatus = QStringLiteral("Segments count is less that 7");
            return false;
        }
        if (!parseRfc5424Time(line, fieldText(fields[1]))) {
            line.parseStatus = QStringLiteral("Date section is invalid");
            return false;
        }
        line.hostName = nilToEmpty(fieldText(fields[2]));
        line.appName = nilToEmpty(fieldText(fields[3]));
        bool ok = false;
        line.processId = nilToEmpty(fieldText(fields[4])).toInt(&ok);
        if (!ok)
            line.processId = 0;
        line.messageId = nilToEmpty(fieldText(fields[5]));
        QByteArray messageBytes;
        if (fields[6] == "-") {
            messageBytes = joinFields(fields.mid(7));
        } else {
            const QByteArray rest = joinFields(fields.mid(6));
            const int end = structuredDataEnd(rest);
            if (end < 1) {
                line.parseStatus = QStringLiteral("Unable to find STRUCTURED-DATA section end");
                return false;
            }
            if (!parseStructuredData(line, rest.left(end + 1))) {
                line.parseStatus = QStringLiteral("STRUCTURED-DATA section is invalid");
                return false;
            }
            messageBytes = rest.mid(end + 2);
        }
        if (messageBytes.startsWith("\xEF\xBB\xBF"))
            line.message = QString::fromUtf8(messageBytes.mid(3));
        else
            line.message = QString::fromLocal8Bit(messageBytes);
    } else if (QRegExp(wordForm).indexIn(first) >= 0) {
        line.isRfc5424 = false;
        if (fields.size() > 1 && fields[1].isEmpty())
            fields.removeAt(1);
        QString time = fields.size() >= 3
                           ? QStringLiteral("%1 %2 %3").arg(first, fieldText(fields[1]), fieldText(fields[2]))
                           : QString();
        QRegExp leading(priorityPattern());
        if (leading.indexIn(time) >= 0)
            time.remove(0, leading.matchedLength());
        if (!hasRfc3164TimeShape(time)) {
            line.hostName = QLatin1String("");
            QString text = fieldText(datagram);
            QRegExp pri(priorityPattern());
            if (pri.indexIn(text) >= 0)
                text.remove(0, pri.matchedLength());
            line.message = text;
        } else {
            if (fields.size() < 4) {
                line.parseStatus = QStringLiteral("Segments count is less that 4");
                return false;
            }
            parseRfc3164Time(line, time);
            line.hostName = fieldText(fields[3]);
            line.message = fieldText(joinFields(fields.mid(4)));
        }
    }
    line.parseStatus = QStringLiteral("OK");
    return true;
}

// What a line carries, byte for byte: the stream form (with null and empty texts told apart)
// and the fields that do not travel.
inline QByteArray fingerprint(const SyslogLine& line, bool valid)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << valid << line.parseStatus << line.rawText << line.sender;
    if (valid) {
        auto* copy = new SyslogLine(line);
        copy->valid = true;
        out << QExplicitlySharedDataPointer<const SyslogLine>(copy);
    }
    return bytes;
}

// Empty when SyslogLine::parse and the reference read the datagram alike; else what differs.
inline QString disagreement(const QByteArray& datagram)
{
    SyslogLine fast;
    SyslogLine slow;
    const bool fastValid = fast.parse(datagram, QStringLiteral("192.0.2.1"));
    const bool slowValid = parse(slow, datagram, QStringLiteral("192.0.2.1"));
    if (fingerprint(fast, fastValid) == fingerprint(slow, slowValid))
        return QString();
    return QStringLiteral("valid %1/%2 status '%3'/'%4' host '%5'/'%6' message '%7'/'%8' time %9/%10 sd '%11'/'%12'")
        .arg(fastValid)
        .arg(slowValid)
        .arg(fast.parseStatus, slow.parseStatus, fast.hostName, slow.hostName, fast.message, slow.message,
             fast.timestamp.toString(Qt::ISODateWithMs), slow.timestamp.toString(Qt::ISODateWithMs))
        .arg(fast.structuredDataText(), slow.structuredDataText());
}

} // namespace syslog_reference
