#include "VektTabBar.h"

#include <QPainter>
#include <QStyleOptionTab>

VektTabBar::VektTabBar(QWidget* parent) : QTabBar(parent)
{
    // the bar draws its tabs where its own layout puts them: no scroll buttons
    setUsesScrollButtons(false);
}

int VektTabBar::baseHeight() const { return style()->pixelMetric(QStyle::PM_TabBarBaseHeight, nullptr, this); }

int VektTabBar::tabHeight() const { return style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this); }

int VektTabBar::boldTextWidth(int index) const
{
    QFont bold = font();
    bold.setWeight(75);
    return QFontMetrics(bold).size(Qt::TextShowMnemonic, tabText(index)).width();
}

QSize VektTabBar::tabSizeHint(int index) const
{
    if (index < 0 || index >= count())
        return QTabBar::tabSizeHint(index);
    const int icon = tabIcon(index).isNull() ? 0 : style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    int width = 0;
    switch (mode) {
    case 1:
    case 2:
        width = qMax(110, boldTextWidth(index)) + 16 + icon;
        break;
    case 3:
        width = boldTextWidth(index) + 16 + icon;
        break;
    default:
        if (index == 0 || index == 4)
            width = 100;
        else if (index == 3)
            width = 30;
        else if (index == 1 || index == 2)
            // a narrow bar gives these tabs nothing rather than a negative width
            width = qMax(0, qMin(boldTextWidth(index) + 68, this->width() - 241));
        break;
    }
    return QSize(width, tabHeight());
}

QSize VektTabBar::sizeHint() const { return QSize(QTabBar::sizeHint().width(), baseHeight()); }

QSize VektTabBar::minimumSizeHint() const
{
    int width = 15;
    for (int i = 0; i < count(); ++i) {
        const int tab = tabSizeHint(i).width();
        width += (mode == 0 && i == 1 ? qMin(tab, 90) : tab) + 3;
    }
    return QSize(width, QTabBar::minimumSizeHint().height());
}

QRect VektTabBar::tabRectFor(int index) const
{
    if (index < 0 || index >= count())
        return QRect();
    const int bottom = baseHeight();
    const int top = bottom - tabHeight();
    auto span = [&](int left, int right) { return QRect(QPoint(left, top), QPoint(right, bottom)); };
    if (mode == 0) {
        const int lastX = width() - 1;
        if (index == 0)
            return span(6, 106);
        if (index == count() - 1 && count() > 4)
            return span(lastX - 102, lastX - 12);
        if (index == 1 || index == 2)
            return span(110, 110 + tabSizeHint(index).width());
        const int previousRight = tabRectFor(index - 1).right();
        return span(previousRight + 4, previousRight + 34);
    }
    int left = (mode == 2 ? 10 : 5) + 3 * index;
    for (int i = 0; i < index; ++i)
        left += tabSizeHint(i).width();
    return span(left, left + tabSizeHint(index).width());
}

void VektTabBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        option.rect = tabRectFor(i);
        style()->drawControl(QStyle::CE_TabBarTab, &option, &painter, this);
    }
}
