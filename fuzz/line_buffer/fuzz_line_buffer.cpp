// Line cutting over arbitrary received bytes fed in arbitrary pieces: the first byte of each
// group sets the size of the next piece. Every byte must come out exactly once, in order, and
// no line may be longer than the cut.

#include "CLineBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CLineBuffer buffer;
    std::string fed;
    std::string out;
    std::string line;
    size_t pos = 0;
    while (pos < size) {
        const size_t piece = std::min<size_t>(size - pos - 1, static_cast<size_t>(data[pos]) * 97 + 1);
        const char* bytes = reinterpret_cast<const char*>(data + pos + 1);
        buffer.append(bytes, piece);
        fed.append(bytes, piece);
        pos += piece + 1;
        while (buffer.takeLine(line)) {
            if (line.size() > CLineBuffer::kLongLineCut)
                abort();
            out += line;
            out += '\x01';
        }
    }
    std::string rest;
    buffer.takeAll(rest);
    if (!buffer.empty())
        abort();
    // what came out, without the cut marks, line ends and the one CR per line end, is what went in
    std::string plain;
    for (char c : fed)
        if (c != '\n' && c != '\r' && c != '\x01')
            plain += c;
    std::string got;
    for (char c : out + rest)
        if (c != '\r' && c != '\x01')
            got += c;
    if (got != plain)
        abort();
    return 0;
}
