#pragma once
// Line edit of the styled widget set: inherited state (its own, or that of the editable combo
// box it serves) and a sanitized text signal with white space simplified. GUI thread only.

#include "InheritedParameter.h"

#include <QLineEdit>

class VektLineEdit : public QLineEdit, public InheritableState
{
    Q_OBJECT
public:
    explicit VektLineEdit(QWidget* parent = nullptr);

    QString sanitizedText() const { return m_sanitizedText; }

signals:
    void sanitizedTextChanged(QString _text);

public slots:
    void onTextChanged(QString text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_sanitizedText;
};
