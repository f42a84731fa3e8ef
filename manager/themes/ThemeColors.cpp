#include "ThemeColors.h"

#include "app/MyApplication.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

ThemeColors darkColors;
ThemeColors lightColors;

const char* const* themeColorNames()
{
#define ZAM_THEME_NAME(name) #name,
    static const char* const names[] = {ZAM_THEME_COLOR_NAMES(ZAM_THEME_NAME)};
#undef ZAM_THEME_NAME
    static_assert(sizeof(names) / sizeof(names[0]) == theme::kColorCount, "one name per colour");
    return names;
}

QColor readThemeColor(const QJsonObject& theme, const QString& name)
{
    const QJsonArray components = theme.value(name).toArray();
    const int count = components.size() <= 3 ? 3 : 4;
    int value[4] = {0, 0, 0, 255};
    for (int i = 0; i < count; ++i)
        value[i] = components.at(i).toInt(0);
    for (int i = 0; i < 4; ++i) {
        if (static_cast<unsigned>(value[i]) > 255u)
            return QColor();
    }
    return QColor(value[0], value[1], value[2], value[3]);
}

bool loadThemeFile(const QString& path, ThemeColors& colors)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && parseThemeBytes(file.readAll(), colors);
}

bool parseThemeBytes(const QByteArray& bytes, ThemeColors& colors)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject theme = document.object();
#define ZAM_THEME_READ(name) colors.name = readThemeColor(theme, QStringLiteral(#name));
    ZAM_THEME_COLOR_NAMES(ZAM_THEME_READ)
#undef ZAM_THEME_READ
    return true;
}

static bool loadWithFallback(const QString& path, const QString& fallback, ThemeColors& colors)
{
    if (loadThemeFile(path, colors))
        return true;
    return !fallback.isEmpty() && loadThemeFile(fallback, colors);
}

bool loadThemes(const QString& lightPath, const QString& darkPath,
                const QString& lightFallback, const QString& darkFallback)
{
    const bool light = loadWithFallback(lightPath, lightFallback, lightColors);
    const bool dark = loadWithFallback(darkPath, darkFallback, darkColors);
    return light && dark;
}

const ThemeColors& themeColors()
{
    const auto* app = qobject_cast<const MyApplication*>(QCoreApplication::instance());
    if (app == nullptr || app->activeColors == nullptr)
        return lightColors;
    return *app->activeColors;
}
