#pragma once
// Spin box of the styled widget set: inherited state and a wheel that turns only while
// focused. GUI thread only.

#include <QSpinBox>

class VektSpinBox : public QSpinBox
{
    Q_OBJECT
public:
    explicit VektSpinBox(QWidget* parent = nullptr);

    void setInherited(bool inherited, bool fromAlertingRule);
    bool isInherited() const { return m_inherited; }
    bool isInheritedFromAlertingRule() const { return m_fromAlertingRule; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_inherited = false;
    bool m_fromAlertingRule = false;
};
