#include "VektCheckBox.h"

#include "InheritedParameter.h"

#include <QStyleOptionButton>
#include <QTextDocument>

VektCheckBox::VektCheckBox(QWidget* parent) : QCheckBox(parent) { installEventFilter(this); }

void VektCheckBox::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
}

void VektCheckBox::setText(const QString& text)
{
    m_textSize = textSizeHint(text);
    QCheckBox::setText(text);
}

QSize VektCheckBox::textSizeHint(const QString& text) const
{
    if (text.isEmpty())
        return QCheckBox::sizeHint();
    QTextDocument document;
    document.setDefaultFont(font());
    document.setHtml(text);
    const QSize textSize = document.size().toSize();
    QStyleOptionButton option;
    initStyleOption(&option);
    return QSize(textSize.width() + option.iconSize.width() + 9,
                 qMax(textSize.height(), option.iconSize.height()));
}

QSize VektCheckBox::sizeHint() const
{
    if (m_textSize.width() >= 0 && m_textSize.height() >= 0)
        return m_textSize;
    return textSizeHint(text());
}

QSize VektCheckBox::minimumSizeHint() const { return sizeHint(); }

bool VektCheckBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && filterInheritedPress(event, this, m_readOnly, m_inherited, m_fromAlertingRule))
        return true;
    return QCheckBox::eventFilter(watched, event);
}

void VektCheckBox::focusInEvent(QFocusEvent* event)
{
    emit focused();
    QCheckBox::focusInEvent(event);
}
