#include "VektTopLabel.h"

#include "ThemeSwitchConnection.h"
#include "themes/ThemeColors.h"

#include <QTimer>

VektTopLabel::VektTopLabel(const QString& text, QWidget* parent, Qt::WindowFlags flags)
    : QLabel(parent, flags), m_fullText(text)
{
    QTimer::singleShot(0, this, &VektTopLabel::onResize);
    init();
}

VektTopLabel::VektTopLabel(QWidget* parent, Qt::WindowFlags flags) : QLabel(parent, flags) { init(); }

void VektTopLabel::init()
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumSize(0, 27);
    applyBannerPalette();
    setFont(QFont(QStringLiteral("Segoe UI Semibold"), 11, 75));
    setAutoFillBackground(true);
    setIndent(11);
    connectThemeSwitch(this, &VektTopLabel::applyBannerPalette);
}

void VektTopLabel::setText(const QString& text)
{
    m_fullText = text;
    onResize();
}

void VektTopLabel::onResize()
{
    QLabel::setText(fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, width() - 11));
}

void VektTopLabel::applyBannerPalette()
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Window, themeColors().Wizard_BannerBgr);
    setPalette(palette);
}

void VektTopLabel::resizeEvent(QResizeEvent* event)
{
    onResize();
    QLabel::resizeEvent(event);
}
