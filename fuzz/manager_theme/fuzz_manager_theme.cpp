// Theme files: any bytes give a filled colour set or a refusal, never a crash or a read past
// the input.
#include "manager/themes/ThemeColors.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ThemeColors colors;
    parseThemeBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)), colors);
    return 0;
}
