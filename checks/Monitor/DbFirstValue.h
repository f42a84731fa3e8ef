#pragma once
// The first value of a database result as the performance value: the whole number at its start
// (blanks, an optional sign, decimal digits), so "12.50" gives 12 and "3000000000" keeps all
// its digits. Pure function over the value's bytes; no NUL needed.

#include <cstddef>
#include <cstdint>

struct DbFirstValue {
    bool hasDigits;  // false: no number at the start ("abc", "", "-")
    int64_t value;   // saturated at the 64-bit limits
};

DbFirstValue parseDbFirstValue(const char* text, size_t length);
