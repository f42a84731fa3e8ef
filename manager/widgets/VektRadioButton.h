#pragma once
// Radio button of the styled widget set: read-only and inherited states, and a text colour that
// follows the theme. GUI thread only.

#include <QRadioButton>

class VektRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit VektRadioButton(QWidget* parent = nullptr);
    explicit VektRadioButton(const QString& text, QWidget* parent = nullptr);

    int plainStyle = 0;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    void setInherited(bool inherited, bool fromAlertingRule);
    bool isInherited() const { return m_inherited; }
    bool isInheritedFromAlertingRule() const { return m_fromAlertingRule; }

public slots:
    void applyRadioPalette();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void init();

    bool m_readOnly = false;
    bool m_inherited = false;
    bool m_fromAlertingRule = false;
};
