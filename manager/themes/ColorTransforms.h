#pragma once
// Pixel colour transforms that turn the light theme's images into the dark theme's. Pure
// functions of one colour; alpha is kept by all five.

#include <QColor>

QColor stripGrayTint(const QColor& c);
QColor dimThreeQuarters(const QColor& c);
QColor invertClamp40(const QColor& c);
QColor invertClamp80(const QColor& c);
// As invertClamp40, except that a colour whose blue exceeds both red and green is kept.
QColor invertClamp40KeepBlue(const QColor& c);
