// Hexadecimal datagram text: a text of hex digits must convert back to the same digits.

#include "Monitor/HexBuffer.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    HexBuffer buffer;
    const bool ok = buffer.convert(text.c_str());
    bool allHex = text.find('\0') == std::string::npos;
    for (char c : text)
        allHex = allHex && std::isxdigit(static_cast<unsigned char>(c));
    if (text.find('\0') != std::string::npos)
        return 0;  // the check reads a C text: it ends at the first zero
    if (ok != allHex)
        abort();
    if (!ok)
        return 0;
    if (buffer.size() != (text.size() + 1) / 2)
        abort();
    static const char digits[] = "0123456789abcdef";
    std::string back;
    for (size_t i = 0; i < buffer.size(); ++i) {
        back += digits[buffer.data()[i] >> 4];
        back += digits[buffer.data()[i] & 15];
    }
    std::string lower;
    for (char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text.size() % 2)
        lower.insert(lower.begin(), '0');
    if (back != lower)
        abort();
    return 0;
}
