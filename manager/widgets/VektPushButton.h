#pragma once
// Push button of the styled widget set: the button kind and flags the style draws by, and the
// read-only and inherited states. GUI thread only.

#include "InheritedParameter.h"

#include <QPushButton>

class VektPushButton : public QPushButton, public InheritableState
{
    Q_OBJECT
public:
    explicit VektPushButton(QWidget* parent = nullptr);
    explicit VektPushButton(const QString& text, QWidget* parent = nullptr);

    int buttonKind = 11;
    int buttonFlags = 0;
    // The style leaves the hover look off while this is set.
    bool hoverSuppressed = false;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_readOnly = false;
};
