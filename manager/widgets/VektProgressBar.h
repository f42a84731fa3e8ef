#pragma once
// Progress bar the style draws its own way. No behaviour of its own. GUI thread only.

#include <QProgressBar>

class VektProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit VektProgressBar(QWidget* parent = nullptr) : QProgressBar(parent) {}

    QString labelText;
    // 0: the label text is shown; 1: hidden, with the grey end masks. One field: the style
    // reads it as the bar mode, the owner as the label-hidden flag.
    int barMode = 0;
};
