// The result-section reader over arbitrary buffers: every view stays inside the buffer, and
// writing the views back gives a buffer that reads the same.

#include "ZamResultSection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::map<int, zamsection::View> views;
    zamsection::read(data, size, views);
    std::vector<unsigned char> copy;
    for (const auto& v : views) {
        if (v.second.offset > size || v.second.size > size - v.second.offset)
            abort();
        const size_t at = zamsection::append(copy, v.first, v.second.size);
        std::memcpy(copy.data() + at, data + v.second.offset, v.second.size);
    }
    std::map<int, zamsection::View> again;
    if (!zamsection::read(copy.data(), copy.size(), again) || again.size() != views.size())
        abort();
    for (const auto& v : again) {
        const auto& old = views.at(v.first);
        if (v.second.size != old.size || std::memcmp(copy.data() + v.second.offset, data + old.offset, old.size) != 0)
            abort();
    }
    return 0;
}
