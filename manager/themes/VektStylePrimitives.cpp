// VektStyle: the cached image helpers, the rich-text label and the primitives.
#include "VektStyle.h"

#include "ThemeColors.h"
#include "widgets/VektCheckBox.h"
#include "widgets/VektComboBox.h"
#include "widgets/VektPushButton.h"
#include "widgets/VektRadioButton.h"
#include "widgets/VektSettingsWidget.h"
#include "widgets/VektTabBar.h"
#include "widgets/VektTabWidget.h"
#include "widgets/VektTextEdit.h"
#include "widgets/VektToolButton.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListView>
#include <QPainter>
#include <QPixmapCache>
#include <QStyleOption>
#include <QTextDocument>
#include <QTreeView>

bool VektStyle::resolveRect(const QWidget* widget, QRect& rect) const
{
    if (rect.right() >= rect.left() && rect.bottom() >= rect.top())
        return true;
    if (widget == nullptr)
        return false;
    rect = QRect(QPoint(0, 0), widget->size());
    return true;
}

void VektStyle::drawThreePiece(int left, int centre, int right, QPainter* painter, const QWidget* widget, QRect rect) const
{
    if (painter == nullptr || !resolveRect(widget, rect))
        return;
    const int width = rect.width();
    const int height = rect.height();
    if (width <= 0 || height <= 0)
        return;
    const QString key = QString::asprintf("%s-%s-%p-%d-%d-%d-%d-%d", "$ground3", metaObject()->className(),
                                          static_cast<const void*>(this), left, centre, right, width, height);
    QPixmap strip;
    if (!QPixmapCache::find(key, &strip)) {
        const QPixmap& l = pixmap(left);
        const QPixmap& c = pixmap(centre);
        const QPixmap& r = pixmap(right);
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.drawPixmap(0, 0, l);
        const int rightX = width - r.width();
        int x = l.width();
        if (c.width() > 0) {
            while (x < rightX - c.width()) {
                p.drawPixmap(x, 0, c);
                x += c.width();
            }
            if (x < rightX)
                p.drawPixmap(x, 0, c, 0, 0, rightX - x, c.height());
        }
        p.drawPixmap(rightX, 0, r);
        p.end();
        strip = QPixmap::fromImage(image);
        QPixmapCache::insert(key, strip);
    }
    painter->drawPixmap(rect.topLeft(), strip);
}

void VektStyle::drawTiled(int index, QPainter* painter, const QWidget* widget, QRect rect) const
{
    if (painter == nullptr || !resolveRect(widget, rect))
        return;
    const int width = rect.width();
    const int height = rect.height();
    if (width <= 0 || height <= 0)
        return;
    const QString key = QString::asprintf("%s-%s-%p-%d-%d-%d", "$ground1", metaObject()->className(),
                                          static_cast<const void*>(this), index, width, height);
    QPixmap strip;
    if (!QPixmapCache::find(key, &strip)) {
        const QPixmap& tile = pixmap(index);
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter p(&image);
        int x = 0;
        if (tile.width() > 0) {
            if (width - tile.width() >= 1) {
                while (x < width - tile.width()) {
                    p.drawPixmap(x, 0, tile);
                    x += tile.width();
                }
            }
            if (x <= width - 1)
                p.drawPixmap(x, 0, tile, 0, 0, width - x, tile.height());
        }
        p.end();
        strip = QPixmap::fromImage(image);
        QPixmapCache::insert(key, strip);
    }
    painter->drawPixmap(rect.topLeft(), strip);
}

void VektStyle::drawArrow(Qt::ArrowType type, const QStyleOption* option, QPainter* painter) const
{
    if (option == nullptr || painter == nullptr)
        return;
    const QRect r = option->rect;
    if (r.width() <= 1 || r.height() <= 1)
        return;
    const int size = qMin(r.width(), r.height());
    const int side = size + (size & 1);
    const int m = side - 2;
    const int h = m / 2;
    const QString key = QString::asprintf("%s-%s-%u-%d-%d-%lld", "$arrow", metaObject()->className(), uint(option->state),
                                          int(type), side, option->palette.cacheKey());
    QPixmap arrow;
    if (!QPixmapCache::find(key, &arrow)) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPolygon points;
        switch (type) {
        case Qt::UpArrow: points << QPoint(0, h) << QPoint(h, 0) << QPoint(m, h); break;
        case Qt::DownArrow: points << QPoint(0, h) << QPoint(h, m) << QPoint(m, h); break;
        case Qt::LeftArrow: points << QPoint(0, h) << QPoint(h, 0) << QPoint(h, m); break;
        case Qt::RightArrow: points << QPoint(m, h) << QPoint(h, 0) << QPoint(h, m); break;
        default: break;
        }
        if (!points.isEmpty()) {
            const QRect box = points.boundingRect();
            points.translate(h - (box.left() + box.right()) / 2, h - (box.top() + box.bottom()) / 2);
            QPainter p(&image);
            p.setPen(option->palette.color(QPalette::ButtonText));
            p.setBrush(option->palette.brush(QPalette::ButtonText));
            p.drawPolygon(points, Qt::OddEvenFill);
        }
        arrow = QPixmap::fromImage(image);
        QPixmapCache::insert(key, arrow);
    }
    painter->drawPixmap(r.left() + r.width() / 2 - size / 2, r.top() + r.height() / 2 - size / 2, arrow);
}

void drawStyledText(QPainter* painter, const QRect& rect, int, const QPalette& palette, bool, const QString& text,
                    QPalette::ColorRole role)
{
    if (text.isEmpty() || painter == nullptr || rect.height() <= 0 || rect.right() + 1 <= 0)
        return;
    const QPen saved = painter->pen();
    const QBrush brush = role == QPalette::NoRole ? QBrush(saved.color()) : palette.brush(role);
    if (role != QPalette::NoRole)
        painter->setPen(QPen(brush, saved.widthF()));
    QTextDocument document;
    document.setDefaultFont(painter->font());
    document.setDefaultStyleSheet(QStringLiteral("span { color:%1; }").arg(brush.color().name()));
    document.setHtml(QStringLiteral("<span>%1</span>").arg(text));
    const int width = rect.right() + 1;
    QPixmap label(width, rect.height());
    label.fill(Qt::transparent);
    {
        QPainter p(&label);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        document.drawContents(&p, QRectF(0, 0, width, rect.height()));
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QColor alpha(Qt::black);
        alpha.setAlpha(brush.color().alpha());
        p.fillRect(label.rect(), alpha);
    }
    painter->save();
    painter->translate(rect.left() - 4, 0);
    painter->drawPixmap(QRect(0, rect.top(), width, rect.height()), label);
    painter->restore();
    painter->setPen(saved);
}

void VektStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    if (option == nullptr || painter == nullptr)
        return;
    switch (element) {
    case PE_FrameDefaultButton:
    case PE_FrameLineEdit:
    case PE_IndicatorButtonDropDown:
        return;
    case PE_Frame:
        if (qobject_cast<const VektTextEdit*>(widget) != nullptr)
            return drawTextEditFrame(option, painter, widget);
        break;
    case PE_FrameFocusRect:
        return drawFocusRect(option, painter, widget);
    case PE_FrameTabWidget: {
        painter->save();
        painter->setPen(m_colors->TabWidget_TabBar_BottomBorder);
        const QRect r = option->rect;
        if (const auto* tabs = qobject_cast<const VektTabWidget*>(widget)) {
            if (tabs->vektTabBar()->mode == 2) {
                painter->drawLine(r.topLeft(), r.bottomLeft());
                painter->drawLine(r.topRight(), r.bottomRight());
            } else {
                drawTiled(58, painter, widget, QRect());
            }
        }
        painter->drawLine(r.left(), r.top() - 1, r.right(), r.top() - 1);
        painter->restore();
        return;
    }
    case PE_PanelButtonCommand:
    case PE_PanelButtonTool:
        return drawButtonPanel(option, painter, widget);
    case PE_PanelLineEdit:
        return drawLineEditPanel(option, painter, widget);
    case PE_IndicatorBranch:
        if (option->state & State_Children)
            return drawBranch(option, painter);
        break;
    case PE_IndicatorCheckBox:
    case PE_IndicatorRadioButton:
        if (qstyleoption_cast<const QStyleOptionButton*>(option) != nullptr)
            return drawIndicator(element, option, painter, widget);
        return;
    case PE_IndicatorToolBarSeparator: {
        painter->save();
        painter->setPen(m_colors->ToolBar_Separator);
        const QRect r = option->rect;
        if (option->state & State_Horizontal)
            painter->drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
        else
            painter->drawLine(r.left(), r.center().y(), r.right(), r.center().y());
        painter->restore();
        return;
    }
    case PE_PanelItemViewItem:
        if (qobject_cast<const QListView*>(widget) != nullptr) {
            QColor fill = m_colors->Window_Highlight;
            if (option->state & State_Selected)
                fill.setAlpha((option->state & State_Active) ? 255 : 150);
            else if (option->state & State_MouseOver)
                fill.setAlpha(50);
            else
                return;
            painter->fillRect(option->rect, fill);
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void VektStyle::drawTextEditFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const ThemeColors& c = *m_colors;
    const bool enabled = option->state & State_Enabled;
    const QWidget* focus = QApplication::focusWidget();
    const bool focused = enabled && focus != nullptr && widget->isAncestorOf(focus);
    QColor outer, middle = c.TextEdit_Border_MiddleLine, inner = c.TextEdit_Border_InnerLine;
    int top = 39, bottom = 48;
    if (!enabled) {
        outer = c.TextEdit_Disabled_Border_OuterLine;
        middle = c.TextEdit_Disabled_Border_MiddleLine;
        inner = c.TextEdit_Disabled_Border_InnerLine;
        top = 45;
        bottom = 54;
    } else if (focused) {
        outer = c.TextEdit_Focused_Border_OuterLine;
        top = 42;
        bottom = 51;
    } else {
        outer = c.TextEdit_Border_OuterLine;
    }
    const int w = widget->width() - 1;
    const int h = widget->height() - 1;
    painter->save();
    auto vertical = [&](int x, const QColor& color) {
        painter->setPen(color);
        painter->drawLine(x, 4, x, h - 4);
    };
    vertical(0, outer);
    vertical(w, outer);
    vertical(1, middle);
    vertical(w - 1, middle);
    for (int x : {2, w - 2, 3, w - 3})
        vertical(x, inner);
    drawThreePieceAt(top, painter, widget, QRect(QPoint(0, 0), QPoint(w, 3)));
    drawThreePieceAt(bottom, painter, widget, QRect(QPoint(0, h - 4), QPoint(w, h)));
    painter->restore();
}

void VektStyle::drawFocusRect(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    if (qstyleoption_cast<const QStyleOptionFocusRect*>(option) == nullptr)
        return;
    painter->save();
    if (qobject_cast<const QToolButton*>(widget) != nullptr || qobject_cast<const QPushButton*>(widget) != nullptr) {
        int kind = 0;
        if (const auto* tool = qobject_cast<const VektToolButton*>(widget))
            kind = tool->buttonKind;
        else if (const auto* push = qobject_cast<const VektPushButton*>(widget))
            kind = push->buttonKind;
        painter->setBrush(Qt::transparent);
        painter->setPen((kind == 1 || kind == 2) ? m_colors->FocusRect_BK_TopMenuPicture34_B : m_colors->FocusRect_ButtonDefault);
        const QRect r = widget != nullptr ? QRect(QPoint(1, 1), QPoint(widget->width() - 2, widget->height() - 2)) : option->rect;
        if (!(option->state & State_MouseOver))
            painter->drawRect(r);
    } else if (qobject_cast<const QListView*>(widget) == nullptr && qobject_cast<const QTreeView*>(widget) == nullptr) {
        QPen pen(m_colors->FocusRect_Default);
        pen.setDashPattern({qreal(qMax(1, option->fontMetrics.averageCharWidth())), 3.0});
        painter->setPen(pen);
        painter->setBrush(Qt::transparent);
        painter->drawRoundedRect(QRect(option->rect.topLeft(), QPoint(option->rect.right() - 1, option->rect.bottom() - 1)), 2, 2);
    }
    painter->restore();
}

namespace {

struct Gradient
{
    QColor start;
    QColor stop;
};

// A button's gradients by state; each later state wins over the earlier ones.
struct GradientSet
{
    Gradient disabled, normal, pressed, hover, focused;
};

Gradient pickGradient(const GradientSet& set, QStyle::State st, bool hover)
{
    if (!(st & QStyle::State_Enabled))
        return set.disabled;
    Gradient g = set.normal;
    if (st & QStyle::State_Sunken)
        g = set.pressed;
    if (hover)
        g = set.hover;
    if (st & QStyle::State_HasFocus)
        g = set.focused;
    return g;
}

void fillGradient(QPainter* painter, const QRect& r, const Gradient& g, const QColor& pen, int shape)
{
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0, g.start);
    gradient.setColorAt(1, g.stop);
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(pen.isValid() ? QPen(pen) : QPen(QBrush(gradient), 1));
    painter->setBrush(gradient);
    if (shape == 0)
        painter->drawRoundedRect(r, 4, 4);
    else
        painter->drawRect(r);
}

} // namespace

void VektStyle::drawButtonPanel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const ThemeColors& c = *m_colors;
    const State st = option->state;
    const bool enabled = st & State_Enabled;
    int kind = -1; // -1: not a button
    int flags = 0;
    bool hoverSuppressed = false;
    bool green = false;
    if (const auto* tool = qobject_cast<const VektToolButton*>(widget)) {
        kind = tool->buttonKind;
        flags = tool->buttonFlags;
    } else if (const auto* push = qobject_cast<const VektPushButton*>(widget)) {
        kind = push->buttonKind;
        hoverSuppressed = push->hoverSuppressed;
    } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        kind = 11;
        if (const auto* box = qobject_cast<const QDialogButtonBox*>(button->parentWidget())) {
            const QDialogButtonBox::ButtonRole role = box->buttonRole(const_cast<QPushButton*>(button));
            green = role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole;
        }
    }
    const QRect r = option->rect;
    painter->save();
    const bool hover = (st & State_MouseOver) && !hoverSuppressed;
    if (kind == -1 || kind == 2) {
        QColor fill = c.UpperMenu_Bgr;
        if (enabled && (st & State_Sunken))
            fill = c.UpperMenu_SelectedMenuBar_Bgr;
        else if (enabled && (st & (State_MouseOver | State_HasFocus)))
            fill = c.UpperMenu_HighlitMenuBar_Bgr;
        painter->fillRect(r, fill);
    } else if (kind == 7) {
    } else if (kind == 8) {
        const auto* header = qobject_cast<const VektSettingsWidget*>(widget);
        drawTiled(header != nullptr && header->lightHeader ? 75 : 74, painter, widget, QRect());
    } else if (kind == 9 || kind == 10 || kind == 19 || kind == 20) {
        if (!((st & State_Sunken) && (flags & 1))) {
            QColor fill;
            if (enabled && (st & (State_MouseOver | State_HasFocus)) && !hoverSuppressed)
                fill = c.ToolBarButton_Hover;
            else if (st & State_On)
                fill = c.ToolBarButton_Checked;
            if (fill.isValid()) {
                painter->setRenderHint(QPainter::Antialiasing, true);
                painter->setPen(fill);
                painter->setBrush(fill);
                painter->drawRoundedRect(r, 4, 4);
            }
        }
    } else if (green || kind == 13 || kind == 14 || kind == 15) {
        const GradientSet set{{c.DisabledGreenGradientButton_Start, c.DisabledGreenGradientButton_Stop},
                              {c.GreenGradientButton_Start, c.GreenGradientButton_Stop},
                              {c.GreenGradientButton_Start, c.GreenGradientButton_Stop},
                              {c.GreenGradientButtonHover_Start, c.GreenGradientButtonHover_Stop},
                              {c.GreenGradientButtonFocused_Start, c.GreenGradientButtonFocused_Stop}};
        // the green buttons light up under the mouse whatever the hover-suppressed flag says
        fillGradient(painter, r, pickGradient(set, st, st & State_MouseOver), QColor(), 0);
    } else if (kind == 11 || kind == 12 || (kind >= 16 && kind <= 18)) {
        const GradientSet set{{c.DisabledGradientButton_Start, c.DisabledGradientButton_Stop},
                              {c.GradientButton_Start, c.GradientButton_Stop},
                              {c.GradientButtonPressed_Start, c.GradientButtonPressed_Stop},
                              {c.GradientButtonHover_Start, c.GradientButtonHover_Stop},
                              {c.GradientButtonFocused_Start, c.GradientButtonFocused_Stop}};
        const Gradient g = pickGradient(set, st, hover);
        fillGradient(painter, r, g, QColor(), kind == 17 ? 1 : 0);
        if (kind == 17) {
            painter->drawPixmap(r.topLeft(), pixmap(112));
            painter->drawPixmap(QPoint(r.right(), r.top()), pixmap(112));
        } else if (kind == 16) {
            fillGradient(painter, QRect(r.right() - 3, r.top(), 4, r.height()), g, QColor(), 1);
        } else if (kind == 18) {
            fillGradient(painter, QRect(r.left(), r.top(), 4, r.height()), g, QColor(), 1);
        }
    } else if (kind == 21 || kind == 22) {
        const GradientSet set{{c.InheritButtonGradientDisabledStart, c.InheritButtonGradientDisabledStop},
                              {c.InheritButtonGradientNormalStart, c.InheritButtonGradientNormalStop},
                              {c.InheritButtonGradientPressedStart, c.InheritButtonGradientPressedStop},
                              {c.InheritButtonGradientHoverStart, c.InheritButtonGradientHoverStop},
                              {c.InheritButtonGradientFocusedStart, c.InheritButtonGradientFocusedStop}};
        fillGradient(painter, r, pickGradient(set, st, hover), c.InheritButtonBorderColor, 0);
    } else {
        const bool lit = enabled && (st & (State_MouseOver | State_HasFocus));
        drawThreePieceAt(lit ? 36 : 33, painter, widget, QRect());
    }
    painter->restore();
}

void VektStyle::drawLineEditPanel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const bool enabled = option->state & State_Enabled;
    int left = 44;
    if (enabled)
        left = (option->state & State_HasFocus) ? 41 : 38;
    const QWidget* parent = widget != nullptr ? widget->parentWidget() : nullptr;
    if (widget == nullptr) {
        drawThreePiece(left, left + 1, left + 2, painter, nullptr, option->rect);
    } else if (qobject_cast<const QAbstractSpinBox*>(parent) != nullptr) {
        drawThreePiece(left, left + 1, left + 1, painter, widget, QRect());
    } else if (qobject_cast<const QComboBox*>(parent) == nullptr) {
        drawThreePiece(left, left + 1, left + 2, painter, widget, QRect());
    }
    if (enabled && option->palette.color(QPalette::Base) == m_colors->LineEdit_Bgr_Invalid)
        painter->fillRect(option->rect.adjusted(3, 3, -3, -3), m_colors->LineEdit_Bgr_Invalid);
}

void VektStyle::drawBranch(const QStyleOption* option, QPainter* painter) const
{
    const QRect r = option->rect;
    const int s = qMin(r.width(), r.height()) + 1;
    qreal a = 1.62, b = 2.34, c = 4.5, extent = 9;
    if (s < 9) {
        a = 0.18 * s;
        b = 0.26 * s;
        c = 0.5 * s;
        extent = s;
    }
    const QPoint centre = r.center();
    const qreal ox = centre.x() - c, oy = centre.y() - c;
    QPolygonF chevron;
    if (option->state & State_Open)
        chevron << QPointF(ox + a, oy + b) << QPointF(ox + c, oy + extent - b) << QPointF(ox + extent - a, oy + b);
    else
        chevron << QPointF(ox + b, oy + a) << QPointF(ox + extent - b, oy + c) << QPointF(ox + b, oy + extent - a);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPen pen((option->state & State_MouseOver) ? m_colors->Tree_BranchIndicator_Highlight : m_colors->Tree_BranchIndicator, 2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawPolyline(chevron);
    painter->restore();
}

void VektStyle::drawIndicator(PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const State st = option->state;
    const bool on = st & State_On;
    bool hoverSuppressed = false;
    if (const auto* check = qobject_cast<const VektCheckBox*>(widget))
        hoverSuppressed = check->hoverSuppressed;
    else if (const auto* push = qobject_cast<const VektPushButton*>(widget))
        hoverSuppressed = push->hoverSuppressed;
    int index;
    if (!(st & State_Enabled))
        index = on ? 7 : 2;
    else if ((st & State_MouseOver) && !hoverSuppressed)
        index = on ? 8 : 3;
    else
        index = on ? 5 : 0;
    if ((st & State_Enabled) && (st & State_HasFocus))
        index += 1;
    if (element == PE_IndicatorCheckBox) {
        const auto* check = qobject_cast<const VektCheckBox*>(widget);
        if (check != nullptr && check->indicatorKind == 1)
            index += 10;
    } else {
        index += 20;
        const auto* radio = qobject_cast<const VektRadioButton*>(widget);
        const bool plain = radio != nullptr && radio->plainStyle != 0;
        if ((st & State_Enabled) && on && !plain && widget != nullptr) {
            const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            const int advance = button != nullptr ? widget->fontMetrics().horizontalAdvance(button->text) : 0;
            const int left = imageWidth(25) / 2;
            drawThreePiece(30, 30, 31, painter, widget,
                           QRect(QPoint(left, option->rect.top()),
                                 QPoint(left + static_cast<int>(m_scaleX * 15 + advance + 20) - 1, widget->height() - 1)));
        }
    }
    painter->drawPixmap(option->rect.topLeft(), pixmap(index));
}

int VektStyle::textFlagsMnemonic(const QStyleOption* option, const QWidget* widget) const
{
    int flags = Qt::TextShowMnemonic;
    if (styleHint(SH_UnderlineShortcut, option, widget) == 0)
        flags |= Qt::TextHideMnemonic;
    return flags;
}
