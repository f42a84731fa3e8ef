#pragma once
// Tool button of the styled widget set: the button kind and flags the style draws by.
// GUI thread only.

#include <QToolButton>

class VektToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit VektToolButton(QWidget* parent = nullptr);

    // 1: a plain tool button; the style draws each kind its own way.
    int buttonKind = 1;
    // bit 0: menu indicator; bit 2 / bit 3: left / right padding reduced to two thirds.
    int buttonFlags = 0;
};
