#include "VektSettingsWidget.h"

#include "ThemeSwitchConnection.h"
#include "themes/ThemeColors.h"

#include <QKeyEvent>
#include <QMouseEvent>

VektSettingsWidget::VektSettingsWidget(QWidget* parent) : VektToolButton(parent)
{
    buttonKind = 8;
    QFont headerFont(QStringLiteral("Segoe UI"), 8, 75);
    setFont(headerFont);
    applyHeaderPalette();
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    connectThemeSwitch(this, &VektSettingsWidget::applyHeaderPalette);
}

QRect VektSettingsWidget::helpArea() const
{
    return QRect(QPoint(width() - height() + 3, 4), QPoint(width() - 5, height() - 5));
}

void VektSettingsWidget::onHelpClicked() { m_helpVisible = false; }

void VektSettingsWidget::applyHeaderPalette()
{
    QPalette palette;
    palette.setColor(QPalette::ButtonText, themeColors().SettingGroupHdr_Text);
    setPalette(palette);
}

void VektSettingsWidget::toggleExpanded()
{
    if (m_content == nullptr)
        return;
    m_content->setVisible(!m_expanded);
    m_expanded = m_content->isVisible();
    emit stateChanged(m_expanded);
    if (!m_expanded && m_help != nullptr) {
        m_helpVisible = false;
        m_help->hide();
    }
}

void VektSettingsWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_help != nullptr && helpArea().contains(event->pos())) {
        m_help->setVisible(!m_help->isVisible());
        m_helpVisible = m_help->isVisible();
    } else {
        toggleExpanded();
    }
    event->accept();
    update();
}

void VektSettingsWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space)
        toggleExpanded();
    // no key press reaches the parent
    event->accept();
    update();
}

void VektSettingsWidget::mouseMoveEvent(QMouseEvent* event)
{
    const bool hovered = helpArea().contains(event->pos());
    if (hovered != m_helpHovered) {
        m_helpHovered = hovered;
        update();
    }
}

void VektSettingsWidget::leaveEvent(QEvent*)
{
    m_helpHovered = false;
    update();
}

void VektSettingsWidget::setVisible(bool visible)
{
    VektToolButton::setVisible(visible);
    if (m_help != nullptr)
        m_help->setVisible(visible && m_helpVisible);
    if (m_content != nullptr)
        m_content->setVisible(visible && m_expanded);
}
