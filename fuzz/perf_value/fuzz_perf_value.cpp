// Performance value read from arbitrary program output; the first byte picks the mode and the
// divisor. Must not crash or hang on any output.

#include "CExecProgram.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const double divisors[] = {1.0, 0.001, 1000.0, -2.5, 0.0, 1e-300};
    const int mode = data[0] & 1;
    const double divisor = divisors[(data[0] >> 1) % 6];
    const QByteArray output(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    QString text;
    volatile int64_t value = CExecProgram::getPerfValue_utf8(output, mode, divisor, &text);
    (void)value;
    return 0;
}
