#include "SmtpMessageText.h"

#include "Base64.h"

#include <QDateTime>
#include <QUuid>
#include <cstdio>
#include <cstring>

namespace SmtpMessageText {

namespace {

constexpr size_t kSubjectMax = 998;
constexpr size_t kFirstWordBytes = 42;
constexpr size_t kWordBytes = 48;

bool isDelimiter(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == ',' || c == ';' || c == '<' || c == '>';
}

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

} // namespace

bool isPrintable(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p && *p; ++p)
        if (*p < 32)
            return false;
    return true;
}

bool isUtf8(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p && *p; ++p)
        if (*p >= 0x80)
            return true;
    return false;
}

bool isPrintableBody(const char* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 32 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

std::string emailAddress(const std::string& text, size_t from, size_t* next)
{
    const size_t at = from < text.size() ? text.find('@', from) : std::string::npos;
    if (at == std::string::npos) {
        if (next)
            *next = text.size();
        return {};
    }
    size_t begin = at;
    while (begin > from && !isDelimiter(text[begin - 1]))
        --begin;
    size_t end = at + 1;
    while (end < text.size() && !isDelimiter(text[end]))
        ++end;
    if (next)
        *next = end;
    return text.substr(begin, end - begin);
}

std::vector<std::string> emailAddressList(const std::string& text)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = text.size();
        std::string address = emailAddress(text, pos, &next);
        if (address.empty())
            break;
        out.push_back(std::move(address));
        pos = next;
    }
    return out;
}

bool encodeSubject(const std::string& text, std::string* out)
{
    out->clear();
    if (!isPrintable(text.c_str()) || text.find('\0') != std::string::npos)
        return false;
    if (!isUtf8(text.c_str())) {
        *out = text.substr(0, kSubjectMax);
        return true;
    }
    size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        size_t take = std::min(first ? kFirstWordBytes : kWordBytes, text.size() - pos);
        // a character cut at the word's end moves whole into the next word
        if (pos + take < text.size()) {
            size_t end = take;
            while (end > 0 && isContinuationByte(static_cast<unsigned char>(text[pos + end])))
                --end;
            if (end > 0)
                take = end;
        }
        if (!first)
            *out += "\r\n ";
        *out += "=?UTF-8?B?" + base64Encode(text.substr(pos, take)) + "?=";
        pos += take;
        first = false;
    }
    return true;
}

std::string normalizeLineEnds(const std::string& body)
{
    std::string out;
    out.reserve(body.size() + body.size() / 32);
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < body.size() && body[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string dotStuff(const std::string& body)
{
    std::string out;
    out.reserve(body.size() + 8);
    bool lineStart = true;
    for (const char c : body) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string rfc5322Date(std::time_t when)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t{};
    localtime_r(&when, &t);
    long offset = t.tm_gmtoff / 60;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0)
        offset = -offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[t.tm_wday % 7], t.tm_mday,
                  kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec, sign, offset / 60,
                  offset % 60);
    return text;
}

std::string messageId(const std::string& fromAddress)
{
    const size_t at = fromAddress.rfind('@');
    const QString id = QStringLiteral("<%1.%2%3>")
                           .arg(QUuid::createUuid().toString(QUuid::Id128).toUpper(),
                                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")),
                                at == std::string::npos ? QString() : QString::fromStdString(fromAddress.substr(at)));
    return id.toLatin1().left(255).toStdString();
}

} // namespace SmtpMessageText
