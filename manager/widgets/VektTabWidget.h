#pragma once
// Tab widget of the styled widget set, with a VektTabBar and the theme's tab colours.
// GUI thread only.

#include <QTabWidget>

class VektTabBar;

class VektTabWidget : public QTabWidget
{
    Q_OBJECT
public:
    explicit VektTabWidget(QWidget* parent = nullptr);

    VektTabBar* vektTabBar() const;

public slots:
    void applyTabPalette();
};
