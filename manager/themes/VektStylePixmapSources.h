#pragma once
// The table of the style's 115 images and how the dark theme derives each one.

#include <QColor>

using ColorTransform = QColor (*)(const QColor&);

struct VektPixmapSource
{
    const char* path;         // resource path; the light theme's image
    ColorTransform darkTransform; // dark theme: the light image recoloured, or null
    const char* darkPath;     // dark theme: an image of its own, or null
};

constexpr int kVektPixmapCount = 115;
extern const VektPixmapSource pixmapSources[kVektPixmapCount];
