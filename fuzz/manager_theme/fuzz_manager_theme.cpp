// Theme files: any bytes give a filled colour set or a refusal, never a crash or a read past
// the input.
#include "manager/themes/ThemeColors.h"

#include <cstddef>
#include <cstdint>

// Qt 5.15's JSON parser leaks a little on an object with a repeated key (seen with a plain
// QJsonDocument::fromJson; its frames carry no symbols, so the library is named): not ours to
// fix, and a theme file is read once per start.
extern "C" const char* __lsan_default_suppressions() { return "leak:libQt5Core.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ThemeColors colors;
    parseThemeBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)), colors);
    return 0;
}
