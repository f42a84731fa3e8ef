#pragma once
// Tab bar of the styled widget set: its own tab sizes and layout, each tab drawn through the
// style's CE_TabBarTab. Metrics come from the current style (base height, tab height, small
// icon size). GUI thread only.

#include <QTabBar>

class VektTabBar : public QTabBar
{
    Q_OBJECT
public:
    explicit VektTabBar(QWidget* parent = nullptr);

    // 0: fixed main-row layout; 1, 2, 3: text-sized tabs side by side (3 without a minimum
    // width, 2 starting further right); other values lay out as 0 for widths and side by side
    // for positions. Set by the owner; no relayout of its own.
    int mode = 0;
    // Shown in a balloon on the last tab when above 0 in mode 0 (drawn by the style).
    int counter = 0;

    QRect tabRectFor(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    int baseHeight() const;
    int tabHeight() const;
    int boldTextWidth(int index) const;
};
