#include "ImapString.h"

namespace ImapString {

bool fitsQuoted(const std::string& text)
{
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b == 0 || b == '\r' || b == '\n' || b >= 0x80)
            return false;
    }
    return true;
}

std::string quoted(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string literalPrefix(const std::string& text) { return "{" + std::to_string(text.size()) + "}"; }

std::string tag(unsigned counter)
{
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    constexpr unsigned kLimit = 36u * 36u * 36u * 36u * 36u * 36u;  // six digits
    unsigned value = counter % kLimit;
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value % 36]);
        value /= 36;
    } while (value);
    return "a" + digits;
}

} // namespace ImapString
