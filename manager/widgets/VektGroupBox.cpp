#include "VektGroupBox.h"

#include "themes/ThemeColors.h"

#include <QMouseEvent>

QColor groupBoxPrimaryColor(const VektGroupBox* box)
{
    const ThemeColors& colors = themeColors();
    switch (box->state()) {
    case 0: case 1: case 2: case 5: case 6: case 7: case 8:
        return colors.Settings_PageSubHeader_DisabledText;
    default: // 3, 4 and unknown states
        return colors.Settings_PageInactive_Text;
    }
}

QColor groupBoxSecondaryColor(const VektGroupBox* box)
{
    const ThemeColors& colors = themeColors();
    switch (box->state()) {
    case 0: case 5: case 6: case 7: case 8:
        return colors.SettingGroupHdr_Text;
    case 1: case 2:
        return colors.Settings_PageSubHeader_EnabledText;
    case 3: case 4:
        return colors.Settings_PageMinor_Text;
    default:
        return colors.Settings_PageInactive_Text;
    }
}

VektGroupBox::VektGroupBox(QWidget* parent) : QGroupBox(parent) { init(); }

VektGroupBox::VektGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) { init(); }

void VektGroupBox::init()
{
    m_primary = groupBoxPrimaryColor(this);
    m_secondary = groupBoxSecondaryColor(this);
    setMouseTracking(true);
}

QRect VektGroupBox::helpButtonRect() const { return QRect(width() - 24, 6, 16, 16); }

void VektGroupBox::setState(int state)
{
    m_state = state;
    int styleCode = 9;
    if (state == 1 || state == 2)
        styleCode = 11;
    else if (state == 3 || state == 4)
        styleCode = 8;
    setStateStyle(styleCode);
    setPrimaryColor(groupBoxPrimaryColor(this));
    setSecondaryColor(groupBoxSecondaryColor(this));
}

void VektGroupBox::setStateStyle(int styleCode) { m_styleCode = styleCode; }

void VektGroupBox::setPrimaryColor(const QColor& color) { m_primary = color; }

void VektGroupBox::setSecondaryColor(const QColor& color) { m_secondary = color; }

void VektGroupBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_help != nullptr && helpButtonRect().contains(event->pos())) {
        m_help->setVisible(!m_help->isVisible());
        return;
    }
    QGroupBox::mouseReleaseEvent(event);
}

void VektGroupBox::mouseMoveEvent(QMouseEvent* event)
{
    const bool hovered = helpButtonRect().contains(event->pos());
    if (hovered != m_buttonHovered) {
        m_buttonHovered = hovered;
        update();
    }
    QGroupBox::mouseMoveEvent(event);
}

void VektGroupBox::leaveEvent(QEvent* event)
{
    m_buttonHovered = false;
    update();
    QGroupBox::leaveEvent(event);
}
