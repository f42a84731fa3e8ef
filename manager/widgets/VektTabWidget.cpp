#include "VektTabWidget.h"

#include "ThemeSwitchConnection.h"
#include "VektTabBar.h"
#include "themes/ThemeColors.h"

VektTabWidget::VektTabWidget(QWidget* parent) : QTabWidget(parent)
{
    setTabBar(new VektTabBar(this));
    applyTabPalette();
    connectThemeSwitch(this, &VektTabWidget::applyTabPalette);
}

VektTabBar* VektTabWidget::vektTabBar() const { return static_cast<VektTabBar*>(tabBar()); }

void VektTabWidget::applyTabPalette()
{
    const ThemeColors& colors = themeColors();
    QPalette palette = this->palette();
    palette.setColor(QPalette::All, QPalette::WindowText, colors.TabBar_Tab_Text);
    palette.setColor(QPalette::All, QPalette::HighlightedText, colors.TabBar_SelectedTab_Text);
    palette.setColor(QPalette::All, QPalette::BrightText, colors.TabBar_NewsTabBalloon_Text);
    palette.setColor(QPalette::All, QPalette::ButtonText, colors.Text_Default);
    setPalette(palette);
}
