// VektStyle: controls and complex controls.
#include "VektStyle.h"

#include "ThemeColors.h"
#include "widgets/VektComboBox.h"
#include "widgets/VektGroupBox.h"
#include "widgets/VektProgressBar.h"
#include "widgets/VektPushButton.h"
#include "widgets/VektSettingsWidget.h"
#include "widgets/VektSpinBox.h"
#include "widgets/VektTabBar.h"
#include "widgets/VektToolButton.h"
#include "widgets/VektTreeView.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyleOption>

namespace {

QIcon::Mode iconMode(QStyle::State st)
{
    if (!(st & QStyle::State_Enabled))
        return QIcon::Disabled;
    return (st & QStyle::State_HasFocus) ? QIcon::Active : QIcon::Normal;
}

// Height of the text's tight box, never 0 (it divides a size).
int tightHeight(const QFont& font, const QString& text)
{
    return qMax(1, QFontMetrics(font).tightBoundingRect(text.isEmpty() ? QStringLiteral("0") : text).height());
}

} // namespace

void VektStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    if (option == nullptr || painter == nullptr)
        return;
    switch (element) {
    case CE_PushButtonBevel: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button == nullptr)
            return;
        const bool flat = button->features & (QStyleOptionButton::Flat | QStyleOptionButton::CommandLinkButton);
        if (flat && !(option->state & (State_Sunken | State_On))
            && !((button->features & QStyleOptionButton::CommandLinkButton) && (option->state & State_MouseOver)))
            return;
        QStyleOptionButton copy(*button);
        drawPrimitive(PE_PanelButtonCommand, &copy, painter, widget);
        return;
    }
    case CE_PushButtonLabel:
        return drawPushButtonLabel(option, painter, widget);
    case CE_CheckBoxLabel:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option))
            drawStyledText(painter, option->rect, Qt::AlignLeft | Qt::AlignVCenter, option->palette, option->state & State_Enabled,
                           button->text, QPalette::WindowText);
        return;
    case CE_TabBarTab:
        return drawTab(option, painter, widget);
    case CE_ProgressBarGroove:
        if (option->rect.isValid())
            drawThreePieceAt(78, painter, widget, option->rect);
        return;
    case CE_ProgressBarContents:
        return drawProgressContents(option, painter, widget);
    case CE_ProgressBarLabel:
        return drawProgressLabel(option, painter, widget);
    case CE_ProgressBar: {
        const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
        if (bar == nullptr)
            return;
        QStyleOptionProgressBar copy(*bar);
        copy.rect = subElementRect(SE_ProgressBarGroove, bar, widget);
        drawControl(CE_ProgressBarGroove, &copy, painter, widget);
        copy.rect = subElementRect(SE_ProgressBarContents, bar, widget);
        drawControl(CE_ProgressBarContents, &copy, painter, widget);
        copy.rect = subElementRect(SE_ProgressBarLabel, bar, widget);
        drawControl(CE_ProgressBarLabel, &copy, painter, widget);
        return;
    }
    case CE_MenuItem:
        return drawMenuItem(option, painter, widget);
    case CE_MenuEmptyArea:
        painter->fillRect(option->rect, m_colors->UpperMenu_Menu_Bgr);
        return;
    case CE_MenuBarItem:
        return drawMenuBarItem(option, painter, widget);
    case CE_ToolButtonLabel:
        return drawToolButtonLabel(option, painter, widget);
    case CE_HeaderSection: {
        const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
        if (header == nullptr)
            return;
        painter->save();
        painter->setPen(m_colors->Header_Section_Border);
        const QRect r = option->rect;
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (header->position != QStyleOptionHeader::End)
            painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
        return;
    }
    case CE_HeaderLabel: {
        const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
        if (header == nullptr)
            return;
        painter->save();
        const auto* view = qobject_cast<const QHeaderView*>(widget);
        const bool tree = view != nullptr && qobject_cast<const VektTreeView*>(view->parentWidget()) != nullptr;
        painter->setPen(tree ? m_colors->Header_Text : option->palette.color(QPalette::WindowText));
        proxy()->drawItemText(painter, option->rect.adjusted(3, 0, 3, 0), Qt::AlignLeft | Qt::AlignVCenter, option->palette,
                              option->state & State_Enabled, header->text, QPalette::NoRole);
        painter->restore();
        return;
    }
    case CE_ToolBoxTab: {
        const auto* box = qstyleoption_cast<const QStyleOptionToolBox*>(option);
        if (box == nullptr)
            return;
        drawThreePieceAt(69, painter, widget, QRect());
        QStyleOption arrow(*option);
        const QRect r = option->rect;
        arrow.rect = QRect(QPoint(r.right() - 22, r.top()), QPoint(r.right() - 10, r.bottom()));
        drawArrow((option->state & State_Selected) ? Qt::DownArrow : Qt::RightArrow, &arrow, painter);
        QProxyStyle::drawItemText(painter, QRect(QPoint(r.left() + 12, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 1)),
                                  Qt::AlignLeft | Qt::AlignVCenter, option->palette, option->state & State_Enabled, box->text);
        return;
    }
    case CE_ScrollBarAddLine:
    case CE_ScrollBarSubLine: {
        const bool horizontal = option->state & State_Horizontal;
        const bool hover = option->state & State_MouseOver;
        int index;
        if (element == CE_ScrollBarAddLine)
            index = horizontal ? (hover ? 90 : 86) : (hover ? 92 : 88);
        else
            index = horizontal ? (hover ? 89 : 85) : (hover ? 91 : 87);
        drawTiled(index, painter, widget, option->rect);
        return;
    }
    case CE_ScrollBarSlider:
        return drawScrollBarSlider(option, painter);
    case CE_ComboBoxLabel:
        return drawComboLabel(option, painter, widget);
    case CE_ToolBar:
    case CE_HeaderEmptyArea:
        return;
    default:
        QProxyStyle::drawControl(element, option, painter, widget);
    }
}

void VektStyle::drawPushButtonLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (button == nullptr)
        return;
    const int flags = Qt::AlignCenter | textFlagsMnemonic(option, widget);
    const int textWidth = button->text.isEmpty() ? 0 : option->fontMetrics.boundingRect(button->text).width();
    const bool menu = button->features & QStyleOptionButton::HasMenu;
    const int indicator = menu ? pixelMetric(PM_MenuButtonIndicator, option, widget) : 0;
    const int spacing = menu ? innerMetric(0, widget) : 0;
    QRect r = option->rect;
    if (option->state & (State_Sunken | State_On))
        r.translate(pixelMetric(PM_ButtonShiftHorizontal, option, widget), pixelMetric(PM_ButtonShiftVertical, option, widget));
    QPalette palette = option->palette;
    if (const auto* push = qobject_cast<const VektPushButton*>(widget)) {
        if (push->buttonKind == 21 || push->buttonKind == 22) {
            QColor text = m_colors->ButtonText_Default;
            if (!(option->state & State_Enabled))
                text = m_colors->InheritButtonDisabledTextColor;
            else if (!(option->state & (State_MouseOver | State_HasFocus | State_Sunken)))
                text = m_colors->InheritButtonNormalTextColor;
            palette.setColor(QPalette::ButtonText, text);
        }
    }
    if (!button->icon.isNull()) {
        int iconWidth = button->iconSize.width();
        const QPixmap icon = button->icon.pixmap(button->iconSize, iconMode(option->state),
                                                 (option->state & State_On) ? QIcon::On : QIcon::Off);
        if (!button->text.isEmpty())
            iconWidth += innerMetric(0, widget);
        const int x = r.left() + (r.width() - (iconWidth + textWidth + spacing + indicator)) / 2;
        painter->drawPixmap(x, r.top() + (r.height() - button->iconSize.height()) / 2, icon);
        r.setLeft(x + iconWidth);
        r.setWidth(textWidth + spacing + indicator);
    }
    if (menu) {
        r.setRight(r.right() - indicator - spacing);
        QStyleOption arrow(*option);
        const int textRight = r.left() + (r.width() + textWidth) / 2;
        arrow.rect = QRect(textRight + spacing, r.top(), indicator, r.height());
        drawArrow(Qt::DownArrow, &arrow, painter);
    }
    r.translate(0, innerMetric(1, widget));
    QProxyStyle::drawItemText(painter, r, flags, palette, true, button->text, QPalette::ButtonText);
}

void VektStyle::drawTab(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (tab == nullptr || tab->version < 3)
        return;
    const QRect r = option->rect;
    const bool selected = option->state & State_Selected;
    drawThreePieceAt(selected ? 66 : ((option->state & State_MouseOver) ? 63 : 60), painter, widget, r);
    QRect textRect(QPoint(r.left() + 1, r.top() + 5), QPoint(r.right() - 1, r.bottom() - 3));
    int alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    if (tab->rightButtonSize.isValid()) {
        textRect.setLeft(r.left() + 26);
        textRect.setRight(r.right() - 41);
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
    QFont font = painter->font();
    if (selected)
        font.setWeight(75);
    const QFontMetrics metrics(font);
    const QString text = metrics.elidedText(tab->text, Qt::ElideRight, textRect.width());
    const int textWidth = metrics.horizontalAdvance(text);
    painter->save();
    painter->setFont(font);
    if (!tab->icon.isNull()) {
        QSize iconSize = tab->iconSize;
        if (!iconSize.isValid()) {
            const int small = pixelMetric(PM_SmallIconSize, option, widget);
            iconSize = QSize(small, small);
        }
        const QPixmap icon = tab->icon.pixmap(iconSize, (option->state & State_Enabled) ? QIcon::Normal : QIcon::Disabled,
                                              selected ? QIcon::On : QIcon::Off);
        const int x = r.left() + (textRect.width() - iconSize.width() - textWidth - 2) / 2;
        painter->drawPixmap(x, textRect.top() + (textRect.height() - iconSize.height()) / 2, icon);
        textRect.setLeft(x + iconSize.width() + 3);
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
    QProxyStyle::drawItemText(painter, textRect, alignment, option->palette, option->state & State_Enabled, text,
                              selected ? QPalette::HighlightedText : QPalette::WindowText);
    if (option->state & State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*option);
        focus.rect = r.adjusted(3, 3, -3, -2);
        drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
    const auto* bar = qobject_cast<const VektTabBar*>(widget);
    const bool last = tab->position == QStyleOptionTab::End || tab->position == QStyleOptionTab::OnlyOneTab;
    if (bar != nullptr && last && bar->counter > 0 && bar->mode == 0) {
        const QString number = QString::number(bar->counter);
        const int t = QFontMetrics(widget->font()).horizontalAdvance(number);
        const int d = -3 * (t + 20) / 8;
        const int balloon = imageHeight(72);
        drawThreePieceAt(72, painter, widget, QRect(QPoint(r.left() + d, r.top() - 4), QPoint(r.left() + d + t + 19, r.top() - 5 + balloon)));
        QFont bold = widget->font();
        bold.setWeight(75);
        painter->setFont(bold);
        QProxyStyle::drawItemText(painter, QRect(QPoint(r.left() + d + 1, r.top() - 3), QPoint(r.left() + d + t + 18, r.top() - 6 + balloon)),
                                  Qt::AlignHCenter | Qt::AlignVCenter, option->palette, true, number, QPalette::BrightText);
    }
    painter->restore();
}

void VektStyle::drawProgressContents(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (bar == nullptr)
        return;
    const QRect r = option->rect;
    const qint64 range = qMax<qint64>(1, qint64(bar->maximum) - bar->minimum);
    const qint64 progress = qBound<qint64>(0, qint64(bar->progress) - bar->minimum, range);
    const int filled = static_cast<int>(r.width() * progress / range);
    if (filled <= 0 || r.height() <= 0)
        return;
    const bool inverted = bar->invertedAppearance;
    const QRect fill = inverted ? QRect(r.right() - filled + 1, r.top(), filled, r.height()) : QRect(r.left(), r.top(), filled, r.height());
    drawTiled(80, painter, widget, fill);
    const auto* vekt = qobject_cast<const VektProgressBar*>(widget);
    const bool grey = vekt != nullptr && vekt->barMode == 1;
    const QPixmap& first = pixmap(grey ? 83 : 81);
    const QPixmap& second = pixmap(grey ? 84 : 82);
    // the masks round the fill's ends where they meet the bar's ends
    if (!inverted) {
        const int w = qMin(filled, first.width());
        painter->drawPixmap(QPoint(r.left(), r.top()), first, QRect(0, 0, w, first.height()));
        const int secondLeft = r.right() - second.width() + 1;
        if (fill.right() >= secondLeft)
            painter->drawPixmap(QPoint(secondLeft, r.top()), second, QRect(0, 0, fill.right() - secondLeft + 1, second.height()));
    } else {
        const int w = qMin(filled, second.width());
        painter->drawPixmap(QPoint(r.right() - w + 1, r.top()), second, QRect(second.width() - w, 0, w, second.height()));
        const int firstRight = r.left() + first.width() - 1;
        if (fill.left() <= firstRight) {
            const int from = fill.left() - r.left();
            painter->drawPixmap(QPoint(fill.left(), r.top()), first, QRect(from, 0, first.width() - from, first.height()));
        }
    }
}

void VektStyle::drawProgressLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (bar == nullptr)
        return;
    const QRect r = option->rect;
    painter->save();
    QFont font = painter->font();
    font.setFamily(QStringLiteral("Segoe UI Semibold"));
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    const qreal size = base * qMax(1, r.height() - 5) / tightHeight(font, bar->text);
    QFont percent = font;
    percent.setPointSizeF(qMax(1.0, size * 0.5 - 1.5));
    painter->setFont(percent);
    const QString sign = QObject::tr("%");
    const QRect signRect(r.left(), r.top(), r.width(), r.height() - 2);
    QProxyStyle::drawItemText(painter, signRect, Qt::AlignRight | Qt::AlignBottom, option->palette, true, sign, QPalette::Text);
    QRect textRect = r.adjusted(0, 0, -QFontMetrics(percent).horizontalAdvance(sign), -2);
    QFont number = font;
    number.setPointSizeF(qMax(1.0, size));
    painter->setFont(number);
    QProxyStyle::drawItemText(painter, textRect, Qt::AlignRight | Qt::AlignBottom, option->palette, true, bar->text, QPalette::Text);
    const auto* vekt = qobject_cast<const VektProgressBar*>(widget);
    if (vekt != nullptr && vekt->barMode == 0 && !vekt->labelText.isEmpty()) {
        QFont label = font;
        label.setPointSizeF(qMax(1.0, base * r.height() / tightHeight(font, vekt->labelText) * 0.5 - 1));
        painter->setFont(label);
        const QRect labelRect(QPoint(r.left(), r.top()), QPoint(r.right() - QFontMetrics(number).horizontalAdvance(bar->text) + 8, r.bottom()));
        QProxyStyle::drawItemText(painter, labelRect, Qt::AlignLeft | Qt::AlignVCenter, option->palette, true, vekt->labelText,
                                  QPalette::Text);
    }
    painter->restore();
}

void VektStyle::drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item == nullptr)
        return;
    const bool enabled = option->state & State_Enabled;
    const bool selected = (option->state & State_Selected) && enabled;
    painter->save();
    painter->fillRect(option->rect, selected ? m_colors->UpperMenu_SelectedMenu_Bgr : m_colors->UpperMenu_Menu_Bgr);
    if (item->menuItemType != QStyleOptionMenuItem::Separator) {
        painter->setPen(enabled ? m_colors->UpperMenu_EnabledText : m_colors->UpperMenu_DisabledText);
        const QRect r = option->rect;
        QRect text(r.left() + innerMetric(4, widget), r.top() + innerMetric(5, widget),
                   r.width() - innerMetric(4, widget) - item->tabWidth, r.height() - 2 * innerMetric(5, widget));
        text = visualRect(option->direction, r, text);
        if (item->checked) {
            const QPixmap& check = pixmap(enabled ? 113 : 114);
            painter->drawPixmap(text.left() - 3 - check.width(), text.top() + (text.height() - check.height()) / 2 - 2, check);
            text.setLeft(text.left() + check.width() + 5);
        }
        int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip | Qt::TextSingleLine | textFlagsMnemonic(option, widget);
        QFont font = item->font;
        if (item->menuItemType == QStyleOptionMenuItem::DefaultItem)
            font.setBold(true);
        painter->setFont(font);
        QString label = item->text;
        const int tab = label.indexOf(QLatin1Char('\t'));
        if (tab >= 0) {
            const QRect strip(r.right() - item->tabWidth + 1, text.top(), item->tabWidth, text.height());
            painter->drawText(visualRect(option->direction, r, strip), flags, label.mid(tab + 1));
            label = label.left(tab);
        }
        painter->drawText(text, flags, label);
        if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
            QStyleOption arrow(*option);
            const int side = r.height() - 2 * innerMetric(5, widget);
            arrow.rect = visualRect(option->direction, r, QRect(r.right() - side, r.top() + innerMetric(5, widget), side, side));
            drawArrow(option->direction == Qt::RightToLeft ? Qt::LeftArrow : Qt::RightArrow, &arrow, painter);
        }
    }
    painter->restore();
}

void VektStyle::drawMenuBarItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item == nullptr)
        return;
    if (option->state & State_Enabled) {
        QColor fill = m_colors->UpperMenu_Bgr;
        if (option->state & State_Selected)
            fill = m_colors->UpperMenu_HighlitMenuBar_Bgr;
        if (option->state & State_Sunken)
            fill = m_colors->UpperMenu_SelectedMenuBar_Bgr;
        painter->fillRect(option->rect, fill);
    }
    const int flags = Qt::AlignCenter | Qt::TextDontClip | Qt::TextSingleLine | textFlagsMnemonic(option, widget);
    const int small = pixelMetric(PM_SmallIconSize, option, widget);
    const QPixmap icon = item->icon.pixmap(small, (option->state & State_Enabled) ? QIcon::Normal : QIcon::Disabled);
    if (!icon.isNull())
        QProxyStyle::drawItemPixmap(painter, option->rect, flags, icon);
    else
        QProxyStyle::drawItemText(painter, option->rect.translated(0, innerMetric(1, widget)), flags, option->palette,
                                  option->state & State_Enabled, item->text, QPalette::ButtonText);
}

void VektStyle::drawToolButtonLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (tool == nullptr)
        return;
    const auto* vekt = qobject_cast<const VektToolButton*>(widget);
    const int kind = vekt != nullptr ? vekt->buttonKind : 0;
    const int flags = vekt != nullptr ? vekt->buttonFlags : 0;
    const bool pressed = option->state & (State_Sunken | State_On);
    QRect r = option->rect;
    int padding = buttonKindSize(kind).first;
    if (flags & 4)
        padding = padding * 2 / 3;
    if (vekt == nullptr && pressed)
        padding = 0;
    if (vekt != nullptr && kind != 8 && pressed)
        r.translate(pixelMetric(PM_ButtonShiftHorizontal, option, widget), pixelMetric(PM_ButtonShiftVertical, option, widget));
    int x = r.left() + padding;
    painter->save();
    if (tool->toolButtonStyle != Qt::ToolButtonTextOnly && !tool->icon.isNull()) {
        const QPixmap icon = tool->icon.pixmap(tool->iconSize, iconMode(option->state), (option->state & State_On) ? QIcon::On : QIcon::Off);
        int offset = 0;
        switch (kind) {
        case 9: offset = 2; break;
        case 10: offset = 1; break;
        case 18: offset = -1; break;
        case 19: offset = 2; break;
        case 20: offset = 3; break;
        default: break;
        }
        int iconX = x;
        if (kind == 9 && tool->toolButtonStyle == Qt::ToolButtonIconOnly) {
            iconX = r.left() + (r.width() - icon.width() / icon.devicePixelRatio()) / 2;
            offset = 0;
        }
        painter->drawPixmap(iconX, r.top() + (r.height() - tool->iconSize.height()) / 2 + offset, icon);
        x += tool->iconSize.width();
        int spacing = innerMetric(0, widget);
        if (kind == 9) spacing -= 5;
        else if (kind == 10 || kind == 16) spacing -= 3;
        else if (kind == 17) spacing -= 4;
        else if (kind == 18) spacing -= 2;
        x += spacing;
    }
    if (!tool->text.isEmpty() && tool->toolButtonStyle != Qt::ToolButtonIconOnly) {
        int bottom = (kind >= 11 && kind <= 18) ? r.bottom() - 2 : r.bottom() - 1;
        if (kind == 19)
            bottom += 1;
        QPalette palette = option->palette;
        if (kind == 0 && palette.color(QPalette::ButtonText) == palette.color(QPalette::HighlightedText))
            palette.setColor(QPalette::ButtonText, m_colors->ButtonText_Default);
        const QRect textRect(QPoint(x, r.top() + innerMetric(1, widget)), QPoint(r.right(), bottom));
        QProxyStyle::drawItemText(painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | textFlagsMnemonic(option, widget), palette,
                                  option->state & State_Enabled, tool->text, QPalette::ButtonText);
        x += QFontMetrics(tool->font).horizontalAdvance(tool->text);
    }
    if (flags & 1) {
        QStyleOption arrow(*option);
        const int indicator = pixelMetric(PM_MenuButtonIndicator, option, widget);
        arrow.rect = QRect(x + (kind == 9 ? 4 : 0), r.top() + (kind == 9 ? 1 : 0), indicator, r.height());
        drawArrow(Qt::DownArrow, &arrow, painter);
    } else if (kind == 8) {
        if (const auto* header = qobject_cast<const VektSettingsWidget*>(widget)) {
            QStyleOption arrow(*option);
            arrow.rect = QRect(QPoint(r.left() + 16, r.top()), QPoint(r.left() + 28, r.bottom()));
            drawArrow(header->isExpanded() ? Qt::DownArrow : Qt::RightArrow, &arrow, painter);
            const int w = widget->width() - 1, h = widget->height() - 1;
            drawHelpButton(painter, QRect(QPoint(w - h + 5, 5), QPoint(w - 5, h - 5)), header->isHelpHovered());
        }
    }
    painter->restore();
}

void VektStyle::drawHelpButton(QPainter* painter, const QRect& rect, bool hovered) const
{
    const QColor fill = hovered ? m_colors->SettingGroupHdr_HighlitHelpButton_Bgr : m_colors->SettingGroupHdr_HelpButton_Bgr;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(fill, 2));
    painter->setBrush(fill);
    painter->drawRoundedRect(rect, 2, 2);
    const QPixmap& question = pixmap(76);
    painter->drawPixmap(rect.left() + (rect.width() - question.width()) / 2, rect.top() + (rect.height() - question.height()) / 2, question);
    painter->restore();
}

void VektStyle::drawScrollBarSlider(const QStyleOption* option, QPainter* painter) const
{
    const QRect r = option->rect;
    painter->save();
    painter->fillRect(r, (option->state & State_MouseOver) ? m_colors->ScrollBar_Slider_Hover : m_colors->ScrollBar_Slider);
    painter->setPen(m_colors->ScrollBar_Slider_Border);
    const bool horizontal = option->state & State_Horizontal;
    if (!horizontal) {
        painter->drawLine(r.left() + 1, r.bottom(), r.right(), r.bottom());
        painter->drawLine(r.left() + 1, r.top(), r.right(), r.top());
        painter->drawLine(r.left() + 1, r.top(), r.left() + 1, r.bottom());
    } else {
        painter->drawLine(r.left(), r.top() + 1, r.left(), r.bottom());
        painter->drawLine(r.right(), r.top() + 1, r.right(), r.bottom());
        painter->drawLine(r.left(), r.top() + 1, r.right(), r.top() + 1);
    }
    painter->setPen(m_colors->ScrollBar_LineBorder);
    if (!horizontal)
        painter->drawLine(r.topLeft(), r.bottomLeft());
    else
        painter->drawLine(r.topLeft(), r.topRight());
    painter->restore();
}

void VektStyle::drawComboLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (combo == nullptr)
        return;
    QRect r = subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget);
    painter->save();
    painter->setClipRect(r);
    if (!combo->currentIcon.isNull()) {
        const QPixmap icon = combo->currentIcon.pixmap(combo->iconSize, (option->state & State_Enabled) ? QIcon::Normal : QIcon::Disabled);
        QRect box(r.left(), r.top(), combo->iconSize.width() + 3, r.height());
        box = visualRect(option->direction, r, box);
        QProxyStyle::drawItemPixmap(painter, box, Qt::AlignCenter, icon);
        if (option->direction == Qt::RightToLeft)
            r.setRight(r.right() - combo->iconSize.width() - 4);
        else
            r.setLeft(r.left() + combo->iconSize.width() + 4);
    }
    if (!combo->currentText.isEmpty() && !combo->editable) {
        QPalette palette = option->palette;
        const auto* vekt = qobject_cast<const VektComboBox*>(widget);
        if (vekt != nullptr && vekt->isEnabled() && vekt->hoverSuppressed)
            palette.setCurrentColorGroup(QPalette::Active);
        const QRect text = visualRect(option->direction, r, QRect(QPoint(r.left() + 5, r.top()), QPoint(r.right() - 1, r.bottom())));
        QProxyStyle::drawItemText(painter, text, visualAlignment(option->direction, Qt::AlignLeft | Qt::AlignVCenter), palette,
                                  option->state & State_Enabled, combo->currentText, QPalette::Text);
    }
    painter->restore();
}

void VektStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                   const QWidget* widget) const
{
    if (option == nullptr || painter == nullptr)
        return;
    switch (control) {
    case CC_SpinBox:
        return drawSpinBox(option, painter, widget);
    case CC_ComboBox:
        return drawComboBox(option, painter, widget);
    case CC_ScrollBar:
        return drawScrollBar(option, painter, widget);
    case CC_ToolButton:
        return drawToolButton(option, painter, widget);
    case CC_GroupBox:
        return drawGroupBox(option, painter, widget);
    default:
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
}

void VektStyle::drawSpinBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
    if (spin == nullptr)
        return;
    const auto* vekt = qobject_cast<const VektSpinBox*>(widget);
    const bool readOnly = vekt != nullptr && vekt->isReadOnly();
    auto image = [&](SubControl which, int disabled, int pressed, int hover, int normal) {
        if (!(spin->subControls & which))
            return;
        int index = normal;
        if (!(option->state & State_Enabled))
            index = disabled;
        else if ((spin->activeSubControls & which) && !readOnly)
            index = (option->state & State_Sunken) ? pressed : ((option->state & State_MouseOver) ? hover : normal);
        else if (option->state & State_HasFocus)
            index = hover;
        painter->drawPixmap(subControlRect(CC_SpinBox, spin, which, widget).topLeft(), pixmap(index));
    };
    image(SC_SpinBoxUp, 105, 109, 107, 103);
    image(SC_SpinBoxDown, 106, 110, 108, 104);
}

void VektStyle::drawComboBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    if (qstyleoption_cast<const QStyleOptionComboBox*>(option) == nullptr)
        return;
    const auto* vekt = qobject_cast<const VektComboBox*>(widget);
    const bool suppressed = vekt != nullptr && vekt->hoverSuppressed;
    const State st = option->state;
    if (!(st & State_Enabled) && !(suppressed && vekt->isEnabled()))
        drawThreePieceAt(100, painter, widget, QRect());
    else if (st & State_On)
        drawThreePiece(96, 97, 102, painter, widget, QRect());
    else if (st & State_HasFocus)
        drawThreePiece(41, 42, 98, painter, widget, QRect());
    else if ((st & State_MouseOver) && !suppressed)
        drawThreePieceAt(97, painter, widget, QRect());
    else
        drawThreePieceAt(94, painter, widget, QRect());
}

void VektStyle::drawScrollBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (slider == nullptr)
        return;
    painter->save();
    painter->fillRect(option->rect, m_colors->ScrollBar_Groove);
    painter->setPen(m_colors->ScrollBar_LineBorder);
    if (slider->orientation == Qt::Vertical)
        painter->drawLine(option->rect.topLeft(), option->rect.bottomLeft());
    else
        painter->drawLine(option->rect.topLeft(), option->rect.topRight());
    painter->restore();
    const std::pair<SubControl, ControlElement> parts[] = {
        {SC_ScrollBarSubLine, CE_ScrollBarSubLine}, {SC_ScrollBarAddLine, CE_ScrollBarAddLine}, {SC_ScrollBarSlider, CE_ScrollBarSlider}};
    for (const auto& [sub, element] : parts) {
        if (!(slider->subControls & sub))
            continue;
        QStyleOptionSlider copy(*slider);
        copy.rect = subControlRect(CC_ScrollBar, slider, sub, widget);
        if (!copy.rect.isValid())
            continue;
        if (!(slider->activeSubControls & sub))
            copy.state &= ~(State_Sunken | State_MouseOver);
        drawControl(element, &copy, painter, widget);
    }
}

void VektStyle::drawToolButton(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (tool == nullptr)
        return;
    const QRect button = subControlRect(CC_ToolButton, tool, SC_ToolButton, widget);
    State panel = option->state & ~State_Sunken;
    if ((option->state & State_AutoRaise) && !((option->state & State_Enabled) && (option->state & State_MouseOver)))
        panel &= ~State_Raised;
    if (tool->activeSubControls & SC_ToolButton)
        panel |= State_Sunken;
    if ((tool->subControls & SC_ToolButton) && (panel & (State_Raised | State_Sunken | State_On | State_HasFocus))) {
        QStyleOption plain;
        plain.state = panel;
        plain.rect = button;
        plain.palette = option->palette;
        drawPrimitive(PE_PanelButtonTool, &plain, painter, widget);
    }
    if (option->state & State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*option);
        focus.rect = button.adjusted(3, 2, -3, -3);
        if (tool->features & QStyleOptionToolButton::HasMenu)
            focus.rect.adjust(0, 0, -pixelMetric(PM_MenuButtonIndicator, option, widget), 0);
        drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
    QStyleOptionToolButton label(*tool);
    label.rect = option->rect.adjusted(1, 1, -1, -1);
    label.state = panel;
    drawControl(CE_ToolButtonLabel, &label, painter, widget);
}

void VektStyle::drawGroupBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (group == nullptr)
        return;
    const auto* vekt = qobject_cast<const VektGroupBox*>(widget);
    const int state = vekt != nullptr ? vekt->state() : 0;
    const QRect label = subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget);
    QFont font = painter->font();
    const int pointSize = widget != nullptr ? widget->font().pointSize() : font.pointSize();
    QColor titleColor;
    bool title = true;
    switch (state) {
    case 0:
        drawTiled(74, painter, widget, option->rect);
        font.setWeight(75);
        if (pointSize > 0)
            font.setPointSize(pointSize);
        titleColor = m_colors->SettingGroupHdr_Text;
        break;
    case 1:
    case 2:
        if (state == 2)
            painter->fillRect(option->rect, m_colors->GroupBox_Bgr);
        font.setFamily(QStringLiteral("Segoe UI Semibold"));
        if (pointSize > 0)
            font.setPointSize(pointSize);
        // state 2 has no title colour of its own: it takes state 1's
        titleColor = m_colors->Settings_PageSubHeader_EnabledText;
        break;
    case 4:
        painter->fillRect(option->rect, m_colors->GroupBox_Bgr);
        title = false;
        break;
    case 8:
        drawTiled(74, painter, widget, option->rect);
        title = false;
        break;
    default:
        title = false;
        break;
    }
    if (title && (group->subControls & SC_GroupBoxLabel) && !group->text.isEmpty()) {
        if (vekt != nullptr) {
            const QColor own = vekt->isEnabled() ? vekt->secondaryColor() : vekt->primaryColor();
            if (own.isValid())
                titleColor = own;
        }
        painter->save();
        painter->setFont(font);
        QPalette palette = option->palette;
        palette.setColor(QPalette::WindowText, titleColor);
        QProxyStyle::drawItemText(painter, label, Qt::AlignLeft | Qt::AlignVCenter | textFlagsMnemonic(option, widget), palette,
                                  option->state & State_Enabled, group->text, QPalette::WindowText);
        painter->restore();
    }
    if (option->state & State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*option);
        focus.rect = QRect(QPoint(label.left() - 4, label.top() + 2), QPoint(label.right() - 2, label.bottom() - 2));
        drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
    if (group->subControls & SC_GroupBoxCheckBox) {
        QStyleOptionButton box;
        box.QStyleOption::operator=(*option);
        box.rect = subControlRect(CC_GroupBox, option, SC_GroupBoxCheckBox, widget);
        drawPrimitive(PE_IndicatorCheckBox, &box, painter, widget);
    }
    if (vekt != nullptr && vekt->helpWidget() != nullptr)
        drawHelpButton(painter, vekt->helpButtonRect(), vekt->isButtonHovered());
}
