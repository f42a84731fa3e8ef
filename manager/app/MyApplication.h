#pragma once
// The manager's application object: owns the active theme (which of the two colour sets the
// widgets paint with) and says when the theme was switched. One instance lives in main for the
// whole run; GUI thread only.

#include <QApplication>

struct ThemeColors;

class MyApplication : public QApplication
{
    Q_OBJECT
public:
    MyApplication(int& argc, char** argv);

    // The active colour set (darkColors or lightColors) and whether it is the dark one.
    const ThemeColors* activeColors = nullptr;
    bool isDarkTheme = false;

signals:
    // A theme switch from the configure tab has completed; styled widgets reapply their colours.
    void themeSwitched();
};
