#include "VektComboBox.h"

#include "InheritedParameter.h"
#include "themes/ThemeColors.h"

#include <QAbstractItemView>
#include <QWheelEvent>

VektComboBox::VektComboBox(QWidget* parent) : QComboBox(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::All, QPalette::WindowText, themeColors().ComboBox_List_Border);
    setPalette(palette);
    installEventFilter(this);
    setFocusPolicy(Qt::StrongFocus);
}

void VektComboBox::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
}

void VektComboBox::addItem(const QIcon& icon, const QString& text, const QVariant& userData)
{
    insertItem(count(), icon, text, userData);
    adjustPopupWidth();
}

void VektComboBox::addItem(const QString& text, const QVariant& userData)
{
    insertItem(count(), text, userData);
    adjustPopupWidth();
}

void VektComboBox::addItems(const QStringList& texts)
{
    insertItems(count(), texts);
    adjustPopupWidth();
}

void VektComboBox::adjustPopupWidth()
{
    const SizeAdjustPolicy policy = sizeAdjustPolicy();
    // the manager's forms still use the minimum-contents-length policies
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    if (policy != AdjustToMinimumContentsLength && policy != AdjustToMinimumContentsLengthWithIcon)
        return;
    QT_WARNING_POP
    const QFontMetrics metrics(view()->font());
    int width = 0;
    for (int i = 0; i < count(); ++i) {
        const int advance = metrics.horizontalAdvance(itemText(i));
        if (width < advance + 10)
            width = advance + 20;
    }
    view()->setMinimumWidth(width);
}

bool VektComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && filterInheritedPress(event, this, m_readOnly, m_inherited, m_fromAlertingRule))
        return true;
    return QComboBox::eventFilter(watched, event);
}

void VektComboBox::wheelEvent(QWheelEvent* event)
{
    // an unfocused combo box lets the wheel scroll what lies behind it
    event->ignore();
    if (hasFocus() && !m_readOnly)
        QComboBox::wheelEvent(event);
}

void VektComboBox::focusInEvent(QFocusEvent* event)
{
    setFocusPolicy(Qt::WheelFocus);
    QComboBox::focusInEvent(event);
}

void VektComboBox::focusOutEvent(QFocusEvent* event)
{
    setFocusPolicy(Qt::StrongFocus);
    QComboBox::focusOutEvent(event);
}
