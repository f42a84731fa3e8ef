#pragma once
// Spin box of the styled widget set: inherited state and a wheel that turns only while
// focused. GUI thread only.

#include "InheritedParameter.h"

#include <QSpinBox>

class VektSpinBox : public QSpinBox, public InheritableState
{
    Q_OBJECT
public:
    explicit VektSpinBox(QWidget* parent = nullptr);


protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
