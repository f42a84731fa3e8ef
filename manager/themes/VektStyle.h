#pragma once
// The manager's one application style: a proxy over the platform's default style that measures
// (and, later, draws) every control from a fixed table of images and the active colour set.
// A new style is made by every theme switch and owned by the application once installed.
// GUI thread only; the table and sizes never change after loadPixmaps.

#include "VektStylePixmapSources.h"

#include <QPixmap>
#include <QProxyStyle>

#include <array>
#include <memory>

struct ThemeColors;

class VektStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Scales from the desktop's logical DPI (divided once more by 1.2 unless exactly 96);
    // colors is not owned. The table is empty until loadPixmaps.
    explicit VektStyle(const ThemeColors* colors);
    ~VektStyle() override;

    // Fills the table for the light or the dark theme; true when every image loaded. A missing
    // image logs "Cannot load:" with its path and leaves an empty entry, safe to use.
    bool loadPixmaps(bool dark, const VektPixmapSource* table = pixmapSources);

    const QPixmap& pixmap(int index) const;
    const QPixmap& splitterPixmap() const { return pixmap(57); }
    float scaleX() const { return m_scaleX; }
    float scaleY() const { return m_scaleY; }
    const ThemeColors* colors() const { return m_colors; }
    int indicatorWidth() const { return m_indicatorWidth; }
    int indicatorHeight() const { return m_indicatorHeight; }

    int innerMetric(int kind, const QWidget* widget) const;
    // (side padding, height) of a styled button kind.
    QPair<int, int> buttonKindSize(int kind) const;
    QSize buttonContentsSize(ContentsType type, const QStyleOption* option, const QWidget* widget) const;

    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr, const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

private:
    int imageWidth(int index) const { return pixmap(index).width(); }
    int imageHeight(int index) const { return pixmap(index).height(); }
    QSize buttonSize(int kind, int flags, const QStyleOption* option, const QWidget* widget) const;
    QRect groupBoxRect(const QStyleOptionComplex* option, SubControl subControl, const QWidget* widget) const;

    std::array<std::unique_ptr<QPixmap>, kVektPixmapCount> m_pixmaps;
    int m_indicatorHeight = 0;
    int m_indicatorWidth = 0;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    const ThemeColors* m_colors; // not owned
};
