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
class QPainter;

// A label drawn as rich text in one colour role (NoRole keeps the painter's pen).
void drawStyledText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette, bool enabled,
                    const QString& text, QPalette::ColorRole role);

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

    // Cached image drawing: an invalid rectangle means the whole widget at (0, 0), and nothing
    // without a widget. Strips are as high as their images.
    void drawThreePiece(int left, int centre, int right, QPainter* painter, const QWidget* widget, QRect rect) const;
    void drawThreePieceAt(int i, QPainter* painter, const QWidget* widget, QRect rect) const
    {
        drawThreePiece(i - 1, i, i + 1, painter, widget, rect);
    }
    void drawTiled(int index, QPainter* painter, const QWidget* widget, QRect rect) const;
    void drawArrow(Qt::ArrowType type, const QStyleOption* option, QPainter* painter) const;

    int innerMetric(int kind, const QWidget* widget) const;
    // (side padding, height) of a styled button kind.
    QPair<int, int> buttonKindSize(int kind) const;
    QSize buttonContentsSize(ContentsType type, const QStyleOption* option, const QWidget* widget) const;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
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
    // Drawing pieces, one per element family.
    bool resolveRect(const QWidget* widget, QRect& rect) const;
    void drawTextEditFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawFocusRect(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawButtonPanel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawLineEditPanel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawBranch(const QStyleOption* option, QPainter* painter) const;
    void drawIndicator(PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawPushButtonLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawTab(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawProgressContents(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawProgressLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawMenuBarItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawToolButtonLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawScrollBarSlider(const QStyleOption* option, QPainter* painter) const;
    void drawComboLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawSpinBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawComboBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawScrollBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawToolButton(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawGroupBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawHelpButton(QPainter* painter, const QRect& rect, bool hovered) const;
    int textFlagsMnemonic(const QStyleOption* option, const QWidget* widget) const;

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
