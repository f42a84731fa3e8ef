// Database first values: any bytes; the result must agree with strtoll where strtoll can say.

#include "checks/Monitor/DbFirstValue.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const DbFirstValue v = parseDbFirstValue(text, size);
    // strtoll needs a terminated copy and stops at the first NUL
    const std::string copy(text, size);
    errno = 0;
    char* end = nullptr;
    const long long expected = std::strtoll(copy.c_str(), &end, 10);
    // in base 10 the two must agree exactly, saturation included
    if (v.value != expected)
        std::abort();
    if (!v.hasDigits && expected != 0)
        std::abort();
    return 0;
}
