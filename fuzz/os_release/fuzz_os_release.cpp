// The os-release reader over arbitrary file contents.
#include "common/WebUtils.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto m = WebUtils::parseOsRelease(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    (void)m.value(QStringLiteral("PRETTY_NAME"));
    return 0;
}
