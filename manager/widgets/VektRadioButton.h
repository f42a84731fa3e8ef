#pragma once
// Radio button of the styled widget set: read-only and inherited states, and a text colour that
// follows the theme. GUI thread only.

#include "InheritedParameter.h"

#include <QRadioButton>

class VektRadioButton : public QRadioButton, public InheritableState
{
    Q_OBJECT
public:
    explicit VektRadioButton(QWidget* parent = nullptr);
    explicit VektRadioButton(const QString& text, QWidget* parent = nullptr);

    int plainStyle = 0;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

public slots:
    void applyRadioPalette();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void init();

    bool m_readOnly = false;
};
