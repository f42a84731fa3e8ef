#pragma once
// Check box of the styled widget set: read-only and inherited states, an indicator kind the
// style reads, and a size measured from its (possibly rich) text. GUI thread only.

#include "InheritedParameter.h"

#include <QCheckBox>

class VektCheckBox : public QCheckBox, public InheritableState
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
    QSize m_textSize{-1, -1};
};
