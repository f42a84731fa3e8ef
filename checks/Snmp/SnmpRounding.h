#pragma once
// Displayed figures are rounded half away from zero; magnitudes of 2^52 and above are whole
// numbers already and stay as they are.

#include <cmath>
#include <cstdint>

inline int64_t snmpRoundHalfAway(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (std::fabs(v) >= 4503599627370496.0)
        return v >= 9.2e18 ? INT64_MAX : v <= -9.2e18 ? INT64_MIN : static_cast<int64_t>(v);
    return static_cast<int64_t>(v > 0 ? std::floor(v + 0.5) : std::ceil(v - 0.5));
}
