#pragma once
// The manager's application object: owns the active theme (which of the two colour sets the
// widgets paint with, and the style that draws with it) and says when the configure tab has
// switched it. One instance lives in main for the whole run; GUI thread only.

#include <QApplication>

struct ThemeColors;

class MyApplication : public QApplication
{
    Q_OBJECT
public:
    MyApplication(int& argc, char** argv);

    // "dark" (exactly) selects the dark set, any other name the light one. Installs a new style
    // and the palette derived from the set, and clears the pixmap cache. It does not announce
    // the switch: the configure tab queues themeSwitched, so one switch rebuilds once.
    void applyTheme(const QString& name);

    // The active colour set (darkColors or lightColors) and whether it is the dark one.
    const ThemeColors* activeColors = nullptr;
    bool isDarkTheme = false;

signals:
    // A theme switch from the configure tab has completed; styled widgets reapply their colours.
    void themeSwitched();
};

// The application palette of a colour set.
QPalette themePalette(const QPalette& base, const ThemeColors& colors);
