#pragma once
// Check box of the styled widget set: read-only and inherited states, an indicator kind the
// style reads, and a size measured from its (possibly rich) text. GUI thread only.

#include <QCheckBox>

class VektCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit VektCheckBox(QWidget* parent = nullptr);

    // 1: the style draws the 18-pixel indicator images.
    int indicatorKind = 0;
    // The style leaves the hover look off while this is set.
    bool hoverSuppressed = false;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    void setInherited(bool inherited, bool fromAlertingRule);
    bool isInherited() const { return m_inherited; }
    bool isInheritedFromAlertingRule() const { return m_fromAlertingRule; }

    // Stores the text's measured size, then sets it (QAbstractButton::setText leaves it stale).
    void setText(const QString& text);
    QSize textSizeHint(const QString& text) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void focused();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool m_readOnly = false;
    bool m_inherited = false;
    bool m_fromAlertingRule = false;
    QSize m_textSize{-1, -1};
};
