#include "VektToolButton.h"

#include "themes/ThemeColors.h"

VektToolButton::VektToolButton(QWidget* parent) : QToolButton(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::All, QPalette::ButtonText, themeColors().ButtonText_Default);
    setPalette(palette);
}
