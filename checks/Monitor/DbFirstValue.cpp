#include "DbFirstValue.h"

#include <limits>

DbFirstValue parseDbFirstValue(const char* text, size_t length)
{
    DbFirstValue out{false, 0};
    if (!text)
        return out;
    size_t i = 0;
    // the blanks strtol skips
    while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // accumulate negatively: the most negative value has no positive twin
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t acc = 0;
    bool saturated = false;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        out.hasDigits = true;
        const int digit = text[i] - '0';
        if (saturated)
            continue;
        if (acc < (kMin + digit) / 10) {
            saturated = true;
            continue;
        }
        acc = acc * 10 - digit;
    }
    if (saturated)
        out.value = negative ? kMin : std::numeric_limits<int64_t>::max();
    else if (negative)
        out.value = acc;
    else
        out.value = acc == kMin ? std::numeric_limits<int64_t>::max() : -acc;
    return out;
}
