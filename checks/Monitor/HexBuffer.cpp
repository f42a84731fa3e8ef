#include "HexBuffer.h"

#include <cstring>

static int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool HexBuffer::convert(const char* text)
{
    m_length = 0;
    m_data = m_inline;
    m_heap.reset();
    if (!text)
        return true;
    const size_t digits = std::strlen(text);
    const size_t bytes = (digits + 1) / 2;
    unsigned char* out = m_inline;
    if (bytes > sizeof m_inline) {
        m_heap.reset(new unsigned char[bytes]);
        out = m_heap.get();
    }
    size_t pos = digits;
    for (size_t i = bytes; i-- > 0;) {
        const int low = hexValue(text[--pos]);
        int high = 0;
        if (pos > 0)
            high = hexValue(text[--pos]);
        if (low < 0 || high < 0) {
            m_heap.reset();
            return false;
        }
        out[i] = static_cast<unsigned char>(high << 4 | low);
    }
    m_data = out;
    m_length = bytes;
    return true;
}
