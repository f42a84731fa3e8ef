#pragma once
// Line edit of the styled widget set: inherited state (its own, or that of the editable combo
// box it serves) and a sanitized text signal with white space simplified. GUI thread only.

#include <QLineEdit>

class VektLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit VektLineEdit(QWidget* parent = nullptr);

    void setInherited(bool inherited, bool fromAlertingRule);
    bool isInherited() const { return m_inherited; }
    bool isInheritedFromAlertingRule() const { return m_fromAlertingRule; }
    QString sanitizedText() const { return m_sanitizedText; }

signals:
    void sanitizedTextChanged(QString _text);

public slots:
    void onTextChanged(QString text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_inherited = false;
    bool m_fromAlertingRule = false;
    QString m_sanitizedText;
};
