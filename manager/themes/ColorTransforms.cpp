#include "ColorTransforms.h"

#include <algorithm>

namespace {

int clampTo(int value, int lo, int hi) { return std::min(std::max(value, lo), hi); }

QColor invertClamped(const QColor& c, int lo)
{
    return QColor(clampTo(255 - c.red(), lo, 140), clampTo(255 - c.green(), lo, 140),
                  clampTo(255 - c.blue(), lo, 140), c.alpha());
}

} // namespace

QColor stripGrayTint(const QColor& c)
{
    if (c.alpha() == 0)
        return c;
    const int m = std::min({c.red(), c.green(), c.blue()});
    return QColor(clampTo(c.red() - 211 * m / 255, 0, 255), clampTo(c.green() - 208 * m / 255, 0, 255),
                  clampTo(c.blue() - 202 * m / 255, 0, 255), c.alpha());
}

QColor dimThreeQuarters(const QColor& c)
{
    return QColor(3 * c.red() / 4, 3 * c.green() / 4, 3 * c.blue() / 4, c.alpha());
}

QColor invertClamp40(const QColor& c) { return invertClamped(c, 40); }

QColor invertClamp80(const QColor& c) { return invertClamped(c, 80); }

QColor invertClamp40KeepBlue(const QColor& c)
{
    if (c.blue() > c.red() && c.blue() > c.green())
        return c;
    return invertClamp40(c);
}
