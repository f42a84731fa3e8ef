#pragma once
// Combo box of the styled widget set: read-only and inherited states, a wheel that turns only
// while focused, and a popup wide enough for its items. GUI thread only.

#include <QComboBox>

class VektComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit VektComboBox(QWidget* parent = nullptr);
    // The style leaves the hover look off while this is set.
    bool hoverSuppressed = false;

    void setReadOnly(bool readOnly);
    void setInherited(bool inherited, bool fromAlertingRule);
    bool isReadOnly() const { return m_readOnly; }
    bool isInherited() const { return m_inherited; }
    bool isInheritedFromAlertingRule() const { return m_fromAlertingRule; }

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
    bool m_inherited = false;
    bool m_fromAlertingRule = false;
};
