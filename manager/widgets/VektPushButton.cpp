#include "VektPushButton.h"

#include "InheritedParameter.h"

VektPushButton::VektPushButton(QWidget* parent) : QPushButton(parent) { installEventFilter(this); }

VektPushButton::VektPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    installEventFilter(this);
}

void VektPushButton::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
}

bool VektPushButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && filterInheritedPress(event, this, m_readOnly, m_inherited, m_fromAlertingRule))
        return true;
    return QPushButton::eventFilter(watched, event);
}
