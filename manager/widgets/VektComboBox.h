#pragma once
// Combo box of the styled widget set: read-only and inherited states, a wheel that turns only
// while focused, and a popup wide enough for its items. GUI thread only.

#include "InheritedParameter.h"

#include <QComboBox>

class VektComboBox : public QComboBox, public InheritableState
{
    Q_OBJECT
public:
    explicit VektComboBox(QWidget* parent = nullptr);
    // The style leaves the hover look off while this is set.
    bool hoverSuppressed = false;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    void addItem(const QIcon& icon, const QString& text, const QVariant& userData = QVariant());
    void addItem(const QString& text, const QVariant& userData = QVariant());
    void addItems(const QStringList& texts);
    // Popup minimum width from the items' texts; only with a minimum-contents-length policy.
    void adjustPopupWidth();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_readOnly = false;
};
