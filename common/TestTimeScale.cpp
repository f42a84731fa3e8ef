#include "TestTimeScale.h"

#include <cstdlib>
#include <cmath>

namespace zam {

double testTimeScale()
{
    static const double scale = [] {
        const char* text = std::getenv("NETAGENTD_TEST_TIME_SCALE");
        if (!text || !*text)
            return 1.0;
        char* end = nullptr;
        const double v = std::strtod(text, &end);
        if (end == text || *end != '\0' || !std::isfinite(v) || v <= 0.0 || v > 1.0)
            return 1.0;
        return v;
    }();
    return scale;
}

int scaledMs(int ms)
{
    const double scale = testTimeScale();
    if (scale >= 1.0)
        return ms;
    const double v = std::ceil(ms * scale);
    return v < 1.0 ? 1 : static_cast<int>(v);
}

}
