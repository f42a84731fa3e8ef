#include "VektLineEdit.h"

#include "InheritedParameter.h"
#include "VektComboBox.h"

#include <QEvent>

VektLineEdit::VektLineEdit(QWidget* parent) : QLineEdit(parent)
{
    installEventFilter(this);
    connect(this, &QLineEdit::textChanged, this, &VektLineEdit::onTextChanged);
}

void VektLineEdit::onTextChanged(QString text)
{
    const QString simplified = text.simplified();
    if (simplified == m_sanitizedText)
        return;
    m_sanitizedText = simplified;
    emit sanitizedTextChanged(m_sanitizedText);
}

bool VektLineEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != this || event->type() != QEvent::MouseButtonPress)
        return QLineEdit::eventFilter(watched, event);
    if (!isReadOnly() && m_inherited) {
        showInheritedBalloon(event, this, m_fromAlertingRule);
        return true;
    }
    // the editor of an editable combo box speaks for the combo box
    auto* combo = qobject_cast<VektComboBox*>(parent());
    if (combo != nullptr && !combo->isReadOnly() && combo->isInherited()) {
        showInheritedBalloon(event, this, combo->isInheritedFromAlertingRule());
        return true;
    }
    return QLineEdit::eventFilter(watched, event);
}
