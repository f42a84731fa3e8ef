#pragma once
// Dismissable help balloon: rich text on a rounded background with a close mark; a click that
// does not follow a link hides it. GUI thread only.

#include <QLabel>

class VektHelpLabel : public QLabel
{
    Q_OBJECT
public:
    explicit VektHelpLabel(QWidget* parent = nullptr);

signals:
    void clicked();

public slots:
    void onLinkActivated();
    void applyHelpPalette();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_linkActivated = false;
};

// The label's links recoloured: an anchor's double-quoted style attribute is dropped and a
// colour attribute put in front of the others.
QString recolorHelpLinks(const QString& html, const QColor& linkColor);
