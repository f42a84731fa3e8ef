#include "VektHelpLabel.h"

#include "ThemeSwitchConnection.h"
#include "themes/ThemeColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegExp>
#include <QTimer>

QString recolorHelpLinks(const QString& html, const QColor& linkColor)
{
    QString text = html;
    text.replace(QRegExp(QStringLiteral("<a([^>]*)\\s+style\\s*=\\s*\"[^\"]*\"")), QStringLiteral("<a\\1"));
    text.replace(QRegExp(QStringLiteral("<a(\\s)")), QStringLiteral("<a style=\"color:%1\"\\1").arg(linkColor.name()));
    return text;
}

VektHelpLabel::VektHelpLabel(QWidget* parent) : QLabel(parent)
{
    setFont(QFont(QStringLiteral("Segoe UI"), 8, 75));
    applyHelpPalette();
    setWordWrap(true);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setMargin(11);
    connect(this, &QLabel::linkActivated, this, &VektHelpLabel::onLinkActivated);
    connectThemeSwitch(this, &VektHelpLabel::applyHelpPalette);
    // once more when the owner has set the text
    QTimer::singleShot(0, this, &VektHelpLabel::applyHelpPalette);
}

void VektHelpLabel::onLinkActivated() { m_linkActivated = true; }

void VektHelpLabel::applyHelpPalette()
{
    const ThemeColors& colors = themeColors();
    QPalette palette = this->palette();
    palette.setColor(QPalette::All, QPalette::WindowText, colors.SettingGroup_HelpLabel_Text);
    palette.setColor(QPalette::All, QPalette::Link, colors.Link_Normal);
    setPalette(palette);
    setStyleSheet(QStringLiteral("color: %1;").arg(colors.SettingGroup_HelpLabel_Text.name()));
    if (!text().isEmpty()) {
        const QString recolored = recolorHelpLinks(text(), colors.Link_Normal);
        setText(QString());
        setText(recolored);
    }
    update();
}

void VektHelpLabel::paintEvent(QPaintEvent* event)
{
    const ThemeColors& colors = themeColors();
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(colors.SettingGroup_HelpLabel_Bgr, 2));
        painter.setBrush(colors.SettingGroup_HelpLabel_Bgr);
        painter.drawRoundedRect(QRectF(4, 2, width() - 8, height() - 4), 3.0, 3.0);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(colors.SettingGroup_HelpLabel_Text, 1));
        painter.drawLine(width() - 16, 6, width() - 10, 12);
        painter.drawLine(width() - 16, 12, width() - 10, 6);
    }
    QLabel::paintEvent(event);
}

void VektHelpLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (m_linkActivated) {
        m_linkActivated = false;
        return;
    }
    hide();
    emit clicked();
}
