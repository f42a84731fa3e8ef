#pragma once
// Result sections: 32-bit length (a multiple of 16), 32-bit type, the data, zeroed padding and a
// tail byte holding padding + 9. Header-only and Qt-free so the daemon's result buffer and the
// test host share one writer and one reader.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace zamsection {

constexpr size_t kHeaderSize = 8;
constexpr size_t kMaxDataSize = 0x7fffffe0;  // keeps the section length inside 32 bits

inline size_t paddingFor(size_t dataSize) { return (16 - ((dataSize + 9) % 16)) % 16; }
inline size_t sectionLength(size_t dataSize) { return dataSize + paddingFor(dataSize) + 9; }

// Appends a section of `dataSize` zeroed data bytes to `buffer` and answers the offset of its
// data area, or SIZE_MAX when the size does not fit a section.
inline size_t append(std::vector<unsigned char>& buffer, int type, size_t dataSize)
{
    if (dataSize > kMaxDataSize)
        return SIZE_MAX;
    const size_t pad = paddingFor(dataSize);
    const uint32_t length = static_cast<uint32_t>(sectionLength(dataSize));
    const size_t start = buffer.size();
    buffer.resize(start + length, 0);
    std::memcpy(&buffer[start], &length, 4);
    std::memcpy(&buffer[start + 4], &type, 4);
    buffer[start + length - 1] = static_cast<unsigned char>(pad + 9);
    return start + kHeaderSize;
}

struct View {
    size_t offset = 0;  // of the data within the buffer
    size_t size = 0;
};

// Walks a buffer of sections in order and calls visit(type, view) for each. Answers false when
// it stopped at a malformed section (a length shorter than a section, not a multiple of 16 or
// running past the buffer, a bad tail byte, a cut-short header): nothing from there on is read.
template<typename Visit>
inline bool forEach(const unsigned char* data, size_t size, Visit visit)
{
    size_t pos = 0;
    while (pos < size) {
        if (size - pos < 16)
            return false;
        uint32_t length;
        int32_t type;
        std::memcpy(&length, data + pos, 4);
        std::memcpy(&type, data + pos + 4, 4);
        if (length < 16 || length % 16 != 0 || length > size - pos)
            return false;
        const unsigned tail = data[pos + length - 1];
        if (tail < 9 || tail > 24 || tail > length)
            return false;
        View v;
        v.offset = pos + kHeaderSize;
        v.size = length - tail;
        visit(static_cast<int>(type), v);
        pos += length;
    }
    return true;
}

// Reads a buffer of sections; the last section of each type wins. Answers false (with what was
// read up to there) when a section is malformed.
inline bool read(const unsigned char* data, size_t size, std::map<int, View>& out)
{
    out.clear();
    return forEach(data, size, [&out](int type, const View& v) { out[type] = v; });
}

// The last well-formed section of one type, as read() would keep it; false when there is none.
inline bool findLast(const unsigned char* data, size_t size, int type, View& out)
{
    bool found = false;
    forEach(data, size, [&](int t, const View& v) {
        if (t == type) {
            out = v;
            found = true;
        }
    });
    return found;
}

}  // namespace zamsection
