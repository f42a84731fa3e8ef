#include "MyApplication.h"

#include "themes/ThemeColors.h"
#include "themes/VektStyle.h"

#include <QPixmapCache>

MyApplication::MyApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QPalette themePalette(const QPalette& base, const ThemeColors& c)
{
    QPalette p = base;
    const std::pair<QPalette::ColorRole, QColor> all[] = {
        {QPalette::Window, c.Window_Bgr},           {QPalette::Button, c.Window_Bgr},
        {QPalette::Highlight, c.Window_Highlight},  {QPalette::HighlightedText, c.Text_Default},
        {QPalette::ButtonText, c.ButtonText_Default}, {QPalette::Base, c.Window_Bgr},
        {QPalette::Text, c.Text_Default},           {QPalette::WindowText, c.Text_Default},
    };
    for (const auto& [role, color] : all)
        p.setBrush(QPalette::All, role, QBrush(color));
    p.setBrush(QPalette::Disabled, QPalette::Base, QBrush(c.TextEdit_Disabled_Border_InnerLine));
    p.setBrush(QPalette::Disabled, QPalette::Text, QBrush(c.Text_Default_Disabled));
    p.setBrush(QPalette::Disabled, QPalette::WindowText, QBrush(c.Text_Default_Disabled));
    p.setBrush(QPalette::All, QPalette::Mid, QBrush(c.Window_Dark));
    p.setBrush(QPalette::All, QPalette::Light, QBrush(c.Window_Light));
    p.setBrush(QPalette::All, QPalette::Dark, QBrush(c.Window_Dark));
    return p;
}

void MyApplication::applyTheme(const QString& name)
{
    isDarkTheme = name == QLatin1String("dark");
    activeColors = isDarkTheme ? &darkColors : &lightColors;
    auto* style = new VektStyle(activeColors);
    style->loadPixmaps(isDarkTheme);
    setStyle(style); // the application owns it and frees the previous one
    setPalette(themePalette(palette(), *activeColors));
    QPixmapCache::clear();
}
