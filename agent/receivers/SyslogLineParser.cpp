// Reading a syslog datagram into its SyslogLine: RFC 3164 and RFC 5424 forms, structured data,
// and the texts shown for a line. Pure functions of the bytes; any thread.
//
// One pass over the bytes finds the fields; texts are made once per field. The common shapes
// (ASCII, no NUL bytes, canonical timestamps) take the short road; anything else takes the
// long road through Qt's own conversions, so both read every datagram alike.

#include "SyslogLine.h"

#include <QRegExp>
#include <QStringList>
#include <cmath>
#include <cstring>

namespace {

// Bytes [p, p + n) of the datagram.
struct Span
{
    const char* p = nullptr;
    int n = 0;
};

int lengthBeforeNul(const char* p, int n)
{
    const void* nul = std::memchr(p, 0, static_cast<size_t>(n));
    return nul ? static_cast<int>(static_cast<const char*>(nul) - p) : n;
}

// A field's text: UTF-8 up to its first zero byte.
QString fieldText(const Span& field)
{
    return QString::fromUtf8(field.p, lengthBeforeNul(field.p, field.n));
}

QString fieldText(const QByteArray& field)
{
    return field.isNull() ? QString() : fieldText(Span{field.constData(), field.size()});
}

// "-" as a text: the bytes "-", or "-" after a byte order mark (which UTF-8 reading drops).
bool isNil(const Span& field)
{
    const int n = lengthBeforeNul(field.p, field.n);
    if (n == 1)
        return field.p[0] == '-';
    return n == 4 && fieldText(field) == QLatin1String("-");
}

QString nilToEmpty(const Span& field) { return isNil(field) ? QString(QLatin1String("")) : fieldText(field); }

bool plainAscii(const char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) - 1u >= 0x7Fu)   // NUL or a high byte
            return false;
    return true;
}

// The datagram's first fields, split at every space as QByteArray::split would.
class Fields
{
public:
    static constexpr int kKept = 8;

    explicit Fields(const QByteArray& datagram) : m_data(datagram.constData()), m_size(datagram.size())
    {
        // Past the kept fields only whether there are more matters: the scan stops there.
        int start = 0;
        for (int i = 0;; ++i) {
            if (i < m_size && m_data[i] != ' ')
                continue;
            m_fields[m_count++] = Span{m_data + start, i - start};
            if (i == m_size)
                break;
            if (m_count == kKept) {
                ++m_count;
                break;
            }
            start = i + 1;
        }
    }

    // The number of fields, up to kKept + 1 (more count as kKept + 1).
    int count() const { return m_count; }
    const Span& operator[](int i) const { return m_fields[i]; }
    // The byte offset where field i starts.
    int offsetOf(int i) const { return static_cast<int>(m_fields[i].p - m_data); }

    // Field i and all after it joined by one space: field i as its bytes, the others as their
    // text. A null array when there is no field i.
    QByteArray joinedFrom(int i) const
    {
        if (i >= m_count)
            return QByteArray();
        const int start = offsetOf(i);
        const int firstEnd = start + m_fields[i].n;
        if (plainAscii(m_data + firstEnd, m_size - firstEnd))
            return QByteArray(m_data + start, m_size - start);
        const QList<QByteArray> parts = QByteArray(m_data + start, m_size - start).split(' ');
        QByteArray joined = parts[0];
        for (int k = 1; k < parts.size(); ++k) {
            joined += ' ';
            joined += fieldText(parts[k]).toUtf8();
        }
        return joined;
    }

    // The text of joinedFrom(i), up to its first zero byte; null when there is no field i.
    QString joinedTextFrom(int i) const
    {
        if (i < m_count) {
            const int start = offsetOf(i);
            if (plainAscii(m_data + start, m_size - start))
                return QString::fromLatin1(m_data + start, m_size - start);
        }
        const QByteArray joined = joinedFrom(i);
        return joined.isNull() ? QString() : fieldText(joined);
    }

private:
    const char* m_data;
    int m_size;
    int m_count = 0;
    Span m_fields[kKept];
};

// Where RFC 5424's STRUCTURED-DATA ends, read forwards: elements back to back, each from '['
// to the ']' that is outside a quoted value (a backslash makes the next byte literal). The
// index of the last element's ']', or -1 when the text does not hold whole elements.
int structuredDataEnd(const QByteArray& text)
{
    const char* d = text.constData();
    const int n = text.size();
    int i = 0;
    int end = -1;
    while (i < n && d[i] == '[') {
        bool quoted = false;
        int j = i + 1;
        for (; j < n; ++j) {
            const char c = d[j];
            if (quoted && c == '\\') {
                ++j;
                continue;
            }
            if (c == '"')
                quoted = !quoted;
            else if (c == ']' && !quoted)
                break;
        }
        if (j >= n)
            return -1;
        end = j;
        i = j + 1;
    }
    return end;
}

// Where a leading "<digits>" ends (the index after '>'), or -1; a digit is any Unicode
// decimal digit, as the priority always was read.
int priorityEnd(const QString& text)
{
    const int n = text.size();
    if (n < 3 || text[0] != QLatin1Char('<'))
        return -1;
    int i = 1;
    while (i < n && text[i].isDigit())
        ++i;
    if (i == 1 || i >= n || text[i] != QLatin1Char('>'))
        return -1;
    return i + 1;
}

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_'); }

// A number of ASCII digits, or 0 when another digit is among them (as QString::toInt reads).
int digitValue(const QString& text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const ushort c = text[i].unicode();
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isAsciiLetter(QChar c) { return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')); }

// "Mmm d hh:mm:ss" or "Mmm dd hh:mm:ss", the shape of an RFC 3164 TIMESTAMP (whether or not
// it is a valid time): the length of its day, or 0.
int rfc3164DayDigits(const QString& text)
{
    const int n = text.size();
    if (n != 14 && n != 15)
        return 0;
    const int day = n - 13;
    if (!isAsciiLetter(text[0]) || !isAsciiLetter(text[1]) || !isAsciiLetter(text[2]) || text[3] != QLatin1Char(' '))
        return 0;
    for (int i = 4; i < 4 + day; ++i)
        if (!text[i].isDigit())
            return 0;
    const int t = 4 + day;
    static const char shape[] = " dd:dd:dd";
    for (int i = 0; i < 9; ++i) {
        const QChar c = text[t + i];
        if (shape[i] == 'd' ? !c.isDigit() : c != QLatin1Char(shape[i]))
            return 0;
    }
    return day;
}

int monthNumber(const QString& text)
{
    static const char months[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    const char a = static_cast<char>(text[0].toLower().unicode());
    const char b = static_cast<char>(text[1].toLower().unicode());
    const char c = static_cast<char>(text[2].toLower().unicode());
    for (int m = 0; m < 12; ++m)
        if (months[3 * m] == a && months[3 * m + 1] == b && months[3 * m + 2] == c)
            return m + 1;
    return 0;
}

// Local time of a year-less stamp is costly to work out (the zone is looked up each time), and
// a burst of lines carries the same second: the last answer is kept per thread.
QDateTime localStamp1900(int month, int day, int h, int m, int s)
{
    struct Last
    {
        qint64 key = -1;
        QDateTime stamp;
    };
    thread_local Last last;
    const qint64 key = ((((qint64(month) * 32 + day) * 24 + h) * 60 + m) * 60) + s;
    if (key != last.key) {
        last.stamp = QDateTime(QDate(1900, month, day), QTime(h, m, s), Qt::LocalTime);
        last.key = key;
    }
    return last.stamp;
}

int twoDigits(const char* p)
{
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9')
        return -1;
    return (p[0] - '0') * 10 + (p[1] - '0');
}

// "yyyy-MM-ddThh:mm:ss[.fraction](Z|+hh:mm|-hh:mm)" read by hand, exactly as Qt's ISO reading
// takes it; false for any other shape (then Qt reads it).
bool canonicalRfc5424Time(const char* p, int n, QDateTime& out)
{
    if (n < 20 || p[4] != '-' || p[7] != '-' || p[10] != 'T' || p[13] != ':' || p[16] != ':')
        return false;
    const int y1 = twoDigits(p), y2 = twoDigits(p + 2), mo = twoDigits(p + 5), d = twoDigits(p + 8);
    const int h = twoDigits(p + 11), mi = twoDigits(p + 14), s = twoDigits(p + 17);
    if (y1 < 0 || y2 < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    const QDate date(y1 * 100 + y2, mo, d);
    if (y1 * 100 + y2 == 0 || !date.isValid())
        return false;
    int i = 19;
    int msec = 0;
    if (p[i] == '.') {
        int digits = 0;
        int value = 0;
        ++i;
        while (i < n && p[i] >= '0' && p[i] <= '9') {
            if (digits < 4)
                value = value * 10 + (p[i] - '0');
            ++digits;
            ++i;
        }
        if (digits == 0 || digits > 9)
            return false;
        const int used = digits < 4 ? digits : 4;
        const double fraction = value / std::pow(double(10), used);
        msec = qMin(qRound(fraction * 1000.0), 999);
    }
    if (n - i == 1 && p[i] == 'Z') {
        out = QDateTime(date, QTime(h, mi, s, msec), Qt::UTC);
        return true;
    }
    if (n - i != 6 || (p[i] != '+' && p[i] != '-') || p[i + 3] != ':')
        return false;
    const int oh = twoDigits(p + i + 1), om = twoDigits(p + i + 4);
    // Qt refuses offsets past 14 hours: those take the long road
    if (oh < 0 || oh > 14 || om < 0 || om > 59)
        return false;
    const int offset = (p[i] == '+' ? 1 : -1) * (oh * 60 + om) * 60;
    const QDateTime stamp(date, QTime(h, mi, s, msec), Qt::OffsetFromUTC, offset);
    if (!stamp.isValid())
        return false;
    out = stamp;
    return true;
}

// A PROCID field as QString::toInt reads it, 0 when it does not.
int processIdOf(const Span& field)
{
    const int n = lengthBeforeNul(field.p, field.n);
    if (n >= 1 && n <= 9) {
        int value = 0;
        int i = 0;
        for (; i < n && field.p[i] >= '0' && field.p[i] <= '9'; ++i)
            value = value * 10 + (field.p[i] - '0');
        if (i == n)
            return value;
    }
    bool ok = false;
    const int value = nilToEmpty(field).toInt(&ok);
    return ok ? value : 0;
}

const QString kFacilityNames[] = {
    QStringLiteral("kernel"), QStringLiteral("user"),     QStringLiteral("mail"),     QStringLiteral("daemon"),
    QStringLiteral("auth"),   QStringLiteral("syslog"),   QStringLiteral("lpr"),      QStringLiteral("news"),
    QStringLiteral("uucp"),   QStringLiteral("cron"),     QStringLiteral("security"), QStringLiteral("ftp"),
    QStringLiteral("ntp"),    QStringLiteral("logaudit"), QStringLiteral("logalert"), QStringLiteral("clock"),
    QStringLiteral("local0"), QStringLiteral("local1"),   QStringLiteral("local2"),   QStringLiteral("local3"),
    QStringLiteral("local4"), QStringLiteral("local5"),   QStringLiteral("local6"),   QStringLiteral("local7")};
const QString kSeverityNames[] = {QStringLiteral("EMERG"),   QStringLiteral("ALERT"),  QStringLiteral("CRIT"),
                                  QStringLiteral("ERR"),     QStringLiteral("WARNING"), QStringLiteral("NOTICE"),
                                  QStringLiteral("INFO"),    QStringLiteral("DEBUG")};

// The name of a one-bit mask from a table of count names; empty for anything else.
const QString& bitName(int mask, const QString* names, int count)
{
    static const QString none;
    if (mask <= 0 || (mask & (mask - 1)) != 0)
        return none;
    int bit = 0;
    while ((1 << bit) != mask)
        ++bit;
    return bit < count ? names[bit] : none;
}

// The start of the first field: where its "<digits>" ends and what follows. ASCII bytes are
// read as they are; other text as the regular expressions read it (any Unicode digit, any
// word character).
struct Head
{
    int priorityEnd = -1;   // index after '>', -1 when there is no priority
    int priority = -1;      // -1 when the digits are not a priority
    bool version = false;   // "<PRI>d" and nothing more: RFC 5424
    bool word = false;      // "<PRI>" and a word character: RFC 3164
};

Head asciiHead(const char* p, int n)
{
    Head head;
    if (n < 3 || p[0] != '<')
        return head;
    int i = 1;
    while (i < n && p[i] >= '0' && p[i] <= '9')
        ++i;
    if (i == 1 || i >= n || p[i] != '>')
        return head;
    head.priorityEnd = i + 1;
    int from = 1;
    while (i - from > 1 && p[from] == '0')
        ++from;
    if (i - from <= 3) {
        int value = 0;
        for (int k = from; k < i; ++k)
            value = value * 10 + (p[k] - '0');
        if (value <= 191)
            head.priority = value;
    }
    const int e = head.priorityEnd;
    if (n > e) {
        const char c = p[e];
        head.version = n == e + 1 && c >= '0' && c <= '9';
        head.word = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }
    return head;
}

// The year-less RFC 3164 TIMESTAMP from its three ASCII fields ("Mmm", "d" or "dd",
// "hh:mm:ss"): shaped tells whether they have its shape; a stamp is set only when valid.
bool asciiRfc3164Time(const Span& mon, const Span& day, const Span& clock, bool& shaped, QDateTime& stamp)
{
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const char* t = clock.p;
    shaped = mon.n == 3 && letter(mon.p[0]) && letter(mon.p[1]) && letter(mon.p[2]) && (day.n == 1 || day.n == 2)
             && digit(day.p[0]) && (day.n == 1 || digit(day.p[1])) && clock.n == 8 && digit(t[0]) && digit(t[1])
             && t[2] == ':' && digit(t[3]) && digit(t[4]) && t[5] == ':' && digit(t[6]) && digit(t[7]);
    if (!shaped)
        return false;
    static const char months[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    const char a = char(mon.p[0] | 0x20), b = char(mon.p[1] | 0x20), c = char(mon.p[2] | 0x20);
    int month = 0;
    for (int m = 0; m < 12 && month == 0; ++m)
        if (months[3 * m] == a && months[3 * m + 1] == b && months[3 * m + 2] == c)
            month = m + 1;
    const int d = day.n == 1 ? day.p[0] - '0' : (day.p[0] - '0') * 10 + (day.p[1] - '0');
    const int h = twoDigits(t), m = twoDigits(t + 3), s = twoDigits(t + 6);
    if (month == 0 || !QDate::isValid(1900, month, d) || !QTime::isValid(h, m, s))
        return false;
    stamp = localStamp1900(month, d, h, m, s);
    return true;
}

} // namespace

QMap<qint64, QString> syslogFacilityNames()
{
    static const QMap<qint64, QString> names = [] {
        QMap<qint64, QString> map;
        for (int i = 0; i < 24; ++i)
            map.insert(qint64(1) << i, kFacilityNames[i]);
        return map;
    }();
    return names;
}

QMap<qint64, QString> syslogSeverityNames()
{
    static const QMap<qint64, QString> names = [] {
        QMap<qint64, QString> map;
        for (int i = 0; i < 8; ++i)
            map.insert(qint64(1) << i, kSeverityNames[i]);
        return map;
    }();
    return names;
}

bool SyslogLine::parsePriority(const QString& field)
{
    const int end = priorityEnd(field);
    if (end < 0)
        return false;
    // any number of digits: compare without converting what might overflow
    int from = 1;
    while (end - 1 - from > 1 && field[from] == QLatin1Char('0'))
        ++from;
    const int count = end - 1 - from;
    if (count > 3)
        return false;
    const int value = digitValue(field, from, count);
    if (value > 191)
        return false;
    priority = value;
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
    const int day = rfc3164DayDigits(copy);
    if (day == 0)
        return false;
    const int month = monthNumber(copy);
    const int t = 5 + day;
    const int d = digitValue(copy, 4, day), h = digitValue(copy, t, 2), m = digitValue(copy, t + 3, 2),
              s = digitValue(copy, t + 6, 2);
    if (month == 0 || !QDate::isValid(1900, month, d) || !QTime::isValid(h, m, s))
        return false;
    timestamp = localStamp1900(month, d, h, m, s);
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
    // a field holds no space, so the year-less form with its spaces never fits here
    return parseTimeByPattern(text);
}

bool SyslogLine::parseStructuredData(const QByteArray& bytes)
{
    const char* text = bytes.constData();
    const int n = bytes.size();
    int i = 0;
    while (i < n) {
        while (i < n && text[i] != '[')
            ++i;
        if (i >= n)
            return true;
        ++i;
        const int idStart = i;
        while (i < n && text[i] != ' ')
            ++i;
        if (i >= n)
            return true;
        // bytes of SD-IDs and names stand for themselves (Latin-1)
        const QString id = i == idStart ? QString() : QString::fromLatin1(text + idStart, i - idStart);
        QMap<QString, QString>& params = structuredData[id];
        params.clear();
        ++i;
        QByteArray name;
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
                name += c;
                ++i;
                continue;
            }
            const QString key = name.isEmpty() ? QString() : QString::fromLatin1(name.constData(), name.size());
            params[key] = QLatin1String("");
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
            params[key] = fieldText(value);
            name.clear();
        }
    }
    return true;
}

bool SyslogLine::parse(const QByteArray& datagram, const QString& senderAddress)
{
    sender = senderAddress;
    rawText = datagram.isNull() ? QString() : fieldText(datagram);
    const Fields fields(datagram);
    if (datagram.isEmpty() || fields.count() < 2) {
        parseStatus = QStringLiteral("Segments count is less that 2");
        return false;
    }
    const Span& f0 = fields[0];
    const int f0Size = lengthBeforeNul(f0.p, f0.n);
    const bool asciiFirst = plainAscii(f0.p, f0Size);
    QString first;
    Head head;
    if (asciiFirst) {
        head = asciiHead(f0.p, f0Size);
        if (head.priority >= 0) {
            priority = head.priority;
            facility = 1 << (priority >> 3);
            severity = 1 << (priority & 7);
        }
    } else {
        first = fieldText(f0);
        if (parsePriority(first)) {
            head.priority = priority;
            head.priorityEnd = priorityEnd(first);
            const int e = head.priorityEnd;
            head.version = first.size() == e + 1 && first[e].isDigit();
            head.word = first.size() > e && isWordChar(first[e]);
        }
    }
    if (head.priority < 0) {
        parseStatus = QStringLiteral("PRI value is invalid");
        return false;
    }
    const int priEnd = head.priorityEnd;
    if (head.version) {
        isRfc5424 = true;
        if (fields.count() < 7) {
            parseStatus = QStringLiteral("Segments count is less that 7");
            return false;
        }
        const Span& stamp = fields[1];
        const int stampSize = lengthBeforeNul(stamp.p, stamp.n);
        if (!canonicalRfc5424Time(stamp.p, stampSize, timestamp) && !parseRfc5424Time(fieldText(stamp))) {
            parseStatus = QStringLiteral("Date section is invalid");
            return false;
        }
        hostName = nilToEmpty(fields[2]);
        appName = nilToEmpty(fields[3]);
        processId = processIdOf(fields[4]);
        messageId = nilToEmpty(fields[5]);
        QByteArray messageBytes;
        if (fields[6].n == 1 && fields[6].p[0] == '-') {
            messageBytes = fields.joinedFrom(7);
        } else {
            const QByteArray rest = fields.joinedFrom(6);
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
    } else if (head.word) {
        isRfc5424 = false;
        // one empty field after the first (a day padded with a space) is passed over
        const int skip = fields[1].n == 0 ? 1 : 0;
        const int count = fields.count() - skip;
        bool shaped = false;
        QDateTime stamp;
        bool stamped = false;
        QString time;
        if (count >= 3) {
            const Span mon{f0.p + priEnd, f0Size - priEnd};
            Span day = fields[1 + skip];
            Span clock = fields[2 + skip];
            day.n = lengthBeforeNul(day.p, day.n);
            clock.n = lengthBeforeNul(clock.p, clock.n);
            if (asciiFirst && plainAscii(day.p, day.n) && plainAscii(clock.p, clock.n)) {
                stamped = asciiRfc3164Time(mon, day, clock, shaped, stamp);
            } else {
                if (first.isNull())
                    first = fieldText(f0);
                time = first.mid(priEnd) + QLatin1Char(' ') + fieldText(day) + QLatin1Char(' ') + fieldText(clock);
                shaped = rfc3164DayDigits(time) != 0;
            }
        }
        if (!shaped) {
            // no TIMESTAMP and HOSTNAME: all after the priority is the message
            hostName = QLatin1String("");
            message = rawText.mid(priEnd);
        } else {
            if (count < 4) {
                parseStatus = QStringLiteral("Segments count is less that 4");
                return false;
            }
            if (time.isNull()) {
                if (stamped)
                    timestamp = stamp;
            } else {
                parseRfc3164Time(time);
            }
            hostName = fieldText(fields[3 + skip]);
            message = fields.joinedTextFrom(4 + skip);
        }
    }
    parseStatus = QStringLiteral("OK");
    return true;
}

QString SyslogLine::displayText(QLatin1String prefix) const
{
    const int end = priorityEnd(rawText);
    if (end < 0)
        return prefix.size() == 0 ? rawText : prefix + rawText;
    QString text;
    const QString& facilityName = bitName(facility, kFacilityNames, 24);
    const QString& severityName = bitName(severity, kSeverityNames, 8);
    text.reserve(prefix.size() + facilityName.size() + severityName.size() + 3 + rawText.size() - end);
    text += prefix;
    text += facilityName;
    text += QLatin1Char('.');
    text += severityName;
    text += QLatin1String(": ");
    text += QStringView(rawText).mid(end);
    return text;
}

QString SyslogLine::shortText() const
{
    return QStringLiteral("%1.%2: %3").arg(bitName(facility, kFacilityNames, 24), bitName(severity, kSeverityNames, 8), appName);
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
        QStringLiteral("Severity level = %1").arg(bitName(severity, kSeverityNames, 8)),
        QStringLiteral("Facility = %1").arg(bitName(facility, kFacilityNames, 24)),
        QStringLiteral("Date and time = %1").arg(timestamp.toString(Qt::ISODate)),
        QStringLiteral("Structured data = %1").arg(structuredDataText()),
        QStringLiteral("Message = %1").arg(message),
    };
    return lines.join(QStringLiteral("\n "));
}
