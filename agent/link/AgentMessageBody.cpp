#include "AgentMessageBody.h"

#include <cmath>
#include <cstring>

namespace {

// Count of a raw value: digits only, at most the 32-bit maximum.
bool parseRawCount(const char* text, int length, qint64& count)
{
    if (length <= 0 || length > 10)
        return false;
    qint64 v = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (v > 0x7fffffff)
        return false;
    count = v;
    return true;
}

} // namespace

bool parseAgentNumber(const char* text, int length, double& value)
{
    int i = 0;
    if (i < length && (text[i] == '+' || text[i] == '-'))
        ++i;
    int digits = 0;
    while (i < length && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < length && text[i] == '.') {
        ++i;
        while (i < length && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < length && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < length && (text[i] == '+' || text[i] == '-'))
            ++i;
        int expDigits = 0;
        while (i < length && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != length)
        return false;
    bool ok = false;
    const double v = QByteArray(text, length).toDouble(&ok);
    // toDouble reports overflow as failure; keep the check for finiteness explicit.
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool splitAgentMessageBody(const char* body, int length, AgentBodyParts& parts)
{
    if (length <= 0)
        return length == 0;
    const qint64 len = length;
    char expected = '=';
    qint64 keyStart = 0;
    qint64 valueStart = 0;
    QByteArray key;

    // Stores the value [valueStart, end); returns the position where scanning goes on
    // (-1 on failure, len when the body is consumed).
    auto finishValue = [&](qint64 end, bool atComma) -> qint64 {
        const qint64 valueLen = end - valueStart;
        if (valueLen >= 5 && body[valueStart] == 'R') {
            // Raw value: the count runs from the fifth byte up to this ",".
            qint64 count = 0;
            if (!atComma || !parseRawCount(body + valueStart + 4, int(valueLen - 4), count))
                return -1;
            const qint64 e = end - 1;            // last count digit
            const qint64 close = e + count + 2;  // where the ")" stands
            if (close >= len)
                return -1;
            parts.raws[key] = AgentRawSpan{int(e + 2), int(count)};
            if (close == len - 1)
                return len;
            // The byte behind ")" separates pairs whatever it holds.
            const qint64 next = close + 2;
            if (next >= len)
                return -1;
            return next;
        }
        qint64 numEnd = end;
        if (atComma && end == len - 1)
            numEnd = len;  // a trailing "," belongs to the last value and spoils it
        if (numEnd - valueStart == 0)
            return atComma ? end + 1 : len;  // empty value: key absent
        double v = 0;
        if (!parseAgentNumber(body + valueStart, int(numEnd - valueStart), v))
            return -1;
        parts.numbers[key] = v;
        return atComma ? end + 1 : len;
    };

    qint64 pos = 0;
    while (pos < len) {
        const char c = body[pos];
        if (c == '=') {
            if (expected != '=')
                return false;
            if (pos == keyStart)
                return false;
            key = QByteArray(body + keyStart, int(pos - keyStart));
            valueStart = pos + 1;
            expected = ',';
            ++pos;
            if (pos == len)
                return true;  // "key=" at the end: key absent
        } else if (c == ',') {
            if (expected != ',')
                return false;
            const qint64 next = finishValue(pos, true);
            if (next < 0)
                return false;
            if (next >= len)
                return true;
            keyStart = next;
            expected = '=';
            pos = next;
        } else {
            ++pos;
        }
    }
    if (expected == '=')
        return false;  // a key without "="
    return finishValue(len, false) >= 0;
}

QString quoteBodyForLog(const char* body, int length, int maxBytes)
{
    if (!body || length <= 0)
        return QString();
    const void* zero = std::memchr(body, 0, size_t(length));
    int n = zero ? int(static_cast<const char*>(zero) - body) : length;
    const bool cut = n > maxBytes;
    if (cut)
        n = maxBytes;
    const QString text = QString::fromUtf8(body, n);
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    if (cut)
        out += QLatin1String("...");
    return out;
}
