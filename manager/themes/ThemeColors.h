#pragma once
// A colour theme: 224 named colours read from a JSON file, and the lookup every styled widget
// paints with. The two process-wide sets are filled once at start, before any window exists,
// and only read afterwards; GUI thread only, no locking.

#include "ThemeColorNames.h"

#include <QColor>
#include <QJsonObject>
#include <QString>

// One field per colour name, in the fixed order, each named as its key in the theme file.
struct ThemeColors
{
#define ZAM_THEME_FIELD(name) QColor name;
    ZAM_THEME_COLOR_NAMES(ZAM_THEME_FIELD)
#undef ZAM_THEME_FIELD
};

extern ThemeColors darkColors;
extern ThemeColors lightColors;

// The colour names in their fixed order (theme::kColorCount of them).
const char* const* themeColorNames();

// One colour of a parsed theme: [r, g, b] or [r, g, b, a]; a missing name or a missing or
// non-integer component reads 0, a component outside 0..255 makes the colour invalid.
QColor readThemeColor(const QJsonObject& theme, const QString& name);

// Fills every field from a theme file's bytes; false, with the set untouched, when they are not
// JSON or not an object.
bool parseThemeBytes(const QByteArray& bytes, ThemeColors& colors);

// Fills every field from the file; false, with the set untouched, when the file cannot be
// read, is not JSON or is not an object.
bool loadThemeFile(const QString& path, ThemeColors& colors);

// lightColors and darkColors from their paths, each falling back to its second path (when not
// empty) only if the first fails; true when both sets loaded.
bool loadThemes(const QString& lightPath, const QString& darkPath,
                const QString& lightFallback, const QString& darkFallback);

// The active set of the running MyApplication; the light set when the application is not one
// (a plain QApplication, or none) or has no active set yet.
const ThemeColors& themeColors();
