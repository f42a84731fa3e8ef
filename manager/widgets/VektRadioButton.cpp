#include "VektRadioButton.h"

#include "InheritedParameter.h"
#include "ThemeSwitchConnection.h"
#include "themes/ThemeColors.h"

VektRadioButton::VektRadioButton(QWidget* parent) : QRadioButton(parent) { init(); }

VektRadioButton::VektRadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) { init(); }

void VektRadioButton::init()
{
    plainStyle = 0;
    installEventFilter(this);
    applyRadioPalette();
    connectThemeSwitch(this, &VektRadioButton::applyRadioPalette);
}

void VektRadioButton::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
}

void VektRadioButton::applyRadioPalette()
{
    const QColor text = themeColors().RadioButton_Text;
    QPalette palette;
    palette.setBrush(QPalette::WindowText, QBrush(text));
    setPalette(palette);
    setStyleSheet(QStringLiteral("QRadioButton { color: %1; }").arg(text.name()));
}

bool VektRadioButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && filterInheritedPress(event, this, m_readOnly, m_inherited, m_fromAlertingRule))
        return true;
    return QRadioButton::eventFilter(watched, event);
}
