#pragma once
// Bytes given as hexadecimal text (the UDP monitor's datagram). 32 bytes inline, larger data
// on the heap. Pure data; one owner.

#include <cstddef>
#include <memory>

class HexBuffer
{
public:
    HexBuffer() = default;
    HexBuffer(const HexBuffer&) = delete;
    HexBuffer& operator=(const HexBuffer&) = delete;

    // Digits 0-9, A-F, a-f only. Read in pairs from the end; an odd first digit stands alone
    // as the first byte. Empty text: no bytes. False (and no bytes) on any other character.
    bool convert(const char* text);

    const unsigned char* data() const { return m_data; }
    size_t size() const { return m_length; }

private:
    unsigned char m_inline[32] = {};
    std::unique_ptr<unsigned char[]> m_heap;
    unsigned char* m_data = m_inline;
    size_t m_length = 0;
};
