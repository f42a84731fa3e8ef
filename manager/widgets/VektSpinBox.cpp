#include "VektSpinBox.h"

#include "InheritedParameter.h"

#include <QWheelEvent>

VektSpinBox::VektSpinBox(QWidget* parent) : QSpinBox(parent)
{
    installEventFilter(this);
    setFocusPolicy(Qt::StrongFocus);
}

bool VektSpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && filterInheritedPressEditable(event, this, isReadOnly(), m_inherited, m_fromAlertingRule))
        return true;
    return QSpinBox::eventFilter(watched, event);
}

void VektSpinBox::wheelEvent(QWheelEvent* event)
{
    event->ignore();
    if (hasFocus())
        QSpinBox::wheelEvent(event);
}

void VektSpinBox::focusInEvent(QFocusEvent* event)
{
    setFocusPolicy(Qt::WheelFocus);
    QSpinBox::focusInEvent(event);
}

void VektSpinBox::focusOutEvent(QFocusEvent* event)
{
    setFocusPolicy(Qt::StrongFocus);
    QSpinBox::focusOutEvent(event);
}
