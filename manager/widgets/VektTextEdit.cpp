#include "VektTextEdit.h"

#include "InheritedParameter.h"

#include <QPainter>
#include <QStyleOption>
#include <QTextCursor>
#include <QVBoxLayout>

VektTextEditPrivate::VektTextEditPrivate() : QTextEdit(nullptr) {}

bool VektTextEditPrivate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport() && filterInheritedPressEditable(event, this, isReadOnly(), inherited, fromAlertingRule))
        return true;
    return QTextEdit::eventFilter(watched, event);
}

void VektTextEditPrivate::paintEvent(QPaintEvent* event)
{
    QTextEdit::paintEvent(event);
    // the outer frame follows the editor's focus and state
    if (outer != nullptr)
        outer->update();
}

VektTextEdit::VektTextEdit(QWidget* parent) : QWidget(parent), m_editor(new VektTextEditPrivate)
{
    m_editor->viewport()->installEventFilter(m_editor);
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_editor);
    setLayout(layout);
    m_editor->outer = this;
    setFocusPolicy(Qt::WheelFocus);
    m_editor->setFocusPolicy(Qt::WheelFocus);
    setFocusProxy(m_editor);
    connect(m_editor, &QTextEdit::textChanged, this, &VektTextEdit::onTextEdited);
}

bool VektTextEdit::isReadOnly() const { return m_editor->isReadOnly(); }

void VektTextEdit::setReadOnly(bool readOnly)
{
    m_editor->setReadOnly(readOnly);
    const Qt::FocusPolicy policy = readOnly ? Qt::NoFocus : Qt::WheelFocus;
    setFocusPolicy(policy);
    m_editor->setFocusPolicy(policy);
}

void VektTextEdit::setInherited(bool inherited, bool fromAlertingRule)
{
    m_editor->inherited = inherited;
    m_editor->fromAlertingRule = fromAlertingRule;
}

void VektTextEdit::onTextEdited()
{
    if (maxLength == -1)
        return;
    const int excess = m_editor->toPlainText().length() - maxLength;
    if (excess <= 0)
        return;
    // cut what was just typed or pasted beyond the limit, wherever the cursor stands
    QTextCursor cursor = m_editor->textCursor();
    const int position = cursor.position();
    cursor.setPosition(qMax(0, position - excess));
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void VektTextEdit::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Frame, &option, &painter, this);
}
