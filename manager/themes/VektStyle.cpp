#include "VektStyle.h"

#include "widgets/VektCheckBox.h"
#include "widgets/VektGroupBox.h"
#include "widgets/VektProgressBar.h"
#include "widgets/VektPushButton.h"
#include "widgets/VektRadioButton.h"
#include "widgets/VektToolButton.h"

#include <QAbstractSpinBox>
#include <QCommonStyle>
#include <QComboBox>
#include <QDebug>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOption>
#include <QTabBar>
#include <QWizard>

namespace {

constexpr int kButtonHeights[23] = {24, 34, 34, 27, 23, 23, 23, 15, 26, 23, 23, 23, 27, 27, 23, 23, 23, 23, 23, 23, 23, 27, 23};
constexpr int kButtonPaddings[23] = {10, 20, 20, 15, 13, 13, 13, 5, 36, 3, 6, 20, 20, 20, 20, 72, 10, 14, 11, 10, 3, 20, 20};

const QPixmap& emptyPixmap()
{
    static const QPixmap empty;
    return empty;
}

// Scaled to its height times the factor, never to nothing.
QImage scaledImage(const QImage& image, float scaleY)
{
    const int height = qMax(1, static_cast<int>(image.height() * scaleY));
    return image.scaledToHeight(height, Qt::SmoothTransformation);
}

} // namespace

VektStyle::VektStyle(const ThemeColors* colors) : QProxyStyle(static_cast<QStyle*>(nullptr)), m_colors(colors)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpiX = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    const qreal dpiY = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    m_scaleX = static_cast<float>(dpiX / 96.0);
    m_scaleY = static_cast<float>(dpiY / 96.0);
    if (m_scaleX != 1.0f) {
        m_scaleX /= 1.2f;
        m_scaleY /= 1.2f;
    }
}

VektStyle::~VektStyle() = default;

bool VektStyle::loadPixmaps(bool dark, const VektPixmapSource* table)
{
    bool all = true;
    for (int i = 0; i < kVektPixmapCount; ++i) {
        const VektPixmapSource& source = table[i];
        const bool recolour = dark && source.darkPath == nullptr && source.darkTransform != nullptr;
        const char* path = dark && source.darkPath != nullptr ? source.darkPath : source.path;
        QImage image(QString::fromLatin1(path));
        if (image.isNull()) {
            qDebug() << "Cannot load:" << path;
            all = false;
            m_pixmaps[i] = std::make_unique<QPixmap>();
            continue;
        }
        if (!recolour) {
            m_pixmaps[i] = std::make_unique<QPixmap>(QPixmap::fromImage(scaledImage(image, m_scaleY)));
            continue;
        }
        QImage recoloured = scaledImage(image.convertToFormat(QImage::Format_ARGB32), m_scaleY)
                                .convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < recoloured.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(recoloured.scanLine(y));
            for (int x = 0; x < recoloured.width(); ++x)
                line[x] = source.darkTransform(QColor::fromRgba(line[x])).rgba();
        }
        m_pixmaps[i] = std::make_unique<QPixmap>(QPixmap::fromImage(recoloured));
    }
    m_indicatorHeight = imageHeight(0);
    m_indicatorWidth = imageWidth(0);
    return all;
}

const QPixmap& VektStyle::pixmap(int index) const
{
    if (index < 0 || index >= kVektPixmapCount || !m_pixmaps[index])
        return emptyPixmap();
    return *m_pixmaps[index];
}

int VektStyle::innerMetric(int kind, const QWidget* widget) const
{
    switch (kind) {
    case 0:
    case 3:
        return 6;
    case 1:
        return widget != nullptr ? (5 - widget->fontMetrics().height()) / 13 : 0;
    case 2:
        return 20;
    case 4:
        return 15;
    case 5:
        return 4;
    case 6: {
        const auto* bar = qobject_cast<const VektProgressBar*>(widget);
        if (bar == nullptr || bar->barMode != 0)
            return 0;
        return qMax(120, bar->fontMetrics().horizontalAdvance(bar->labelText));
    }
    case 7:
        return imageHeight(78);
    default:
        return 0;
    }
}

QPair<int, int> VektStyle::buttonKindSize(int kind) const
{
    if (kind >= 0 && kind <= 22)
        return {kButtonPaddings[kind], static_cast<int>(kButtonHeights[kind] * m_scaleY)};
    return {4, static_cast<int>(21 * m_scaleY)};
}

QSize VektStyle::buttonContentsSize(ContentsType type, const QStyleOption* option, const QWidget* widget) const
{
    auto add = [](QSize& total, const QSize& part) {
        total.setWidth((total.width() > 0 ? total.width() + 6 : total.width()) + part.width());
        total.setHeight(qMax(total.height(), part.height()));
    };
    if (type == CT_PushButton) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button == nullptr)
            return QSize(0, 0);
        QSize size = button->icon.isNull() ? QSize(0, 0) : button->iconSize;
        if (widget != nullptr && !button->text.isEmpty())
            add(size, widget->fontMetrics().size(Qt::TextShowMnemonic, button->text));
        return size;
    }
    if (type == CT_ToolButton) {
        const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        if (tool == nullptr)
            return QSize(0, 0);
        QSize size(0, 0);
        if (tool->toolButtonStyle != Qt::ToolButtonTextOnly && !tool->icon.isNull())
            size = tool->iconSize;
        if (widget != nullptr && !tool->text.isEmpty() && tool->toolButtonStyle != Qt::ToolButtonIconOnly)
            add(size, widget->fontMetrics().size(Qt::TextShowMnemonic, tool->text));
        const auto* vekt = qobject_cast<const VektToolButton*>(widget);
        if (vekt != nullptr && (vekt->buttonFlags & 1) != 0) {
            const int indicator = pixelMetric(PM_MenuButtonIndicator, option, widget);
            size.setWidth((size.width() > 0 ? size.width() + 6 : size.width()) + indicator);
            size.setHeight(qMax(size.height(), indicator));
        }
        return size;
    }
    return QSize(0, 0);
}

void VektStyle::polish(QWidget* widget)
{
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget) || qobject_cast<QToolButton*>(widget)
        || qobject_cast<QPushButton*>(widget) || qobject_cast<QTabBar*>(widget) || qobject_cast<QScrollBar*>(widget)
        || qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QGroupBox*>(widget))
        widget->setAttribute(Qt::WA_Hover, true);
}

int VektStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const auto* check = qobject_cast<const VektCheckBox*>(widget);
    const bool largeIndicator = check != nullptr && check->indicatorKind == 1;
    switch (metric) {
    case PM_MenuButtonIndicator: {
        const auto* tool = qobject_cast<const VektToolButton*>(widget);
        if (tool != nullptr && tool->buttonKind == 7)
            return 15;
        if (widget == nullptr)
            return QProxyStyle::pixelMetric(metric, option, widget);
        return widget->fontMetrics().averageCharWidth() * 2 / 3 + 5;
    }
    case PM_DefaultFrameWidth:
    case PM_MenuHMargin:
    case PM_MenuPanelWidth:
        return 0;
    case PM_MenuVMargin:
        return 10;
    case PM_ScrollBarExtent:
        return imageWidth(88);
    case PM_TabBarBaseHeight:
        return imageHeight(58);
    case PM_TabBarBaseOverlap:
        return imageHeight(66);
    case PM_IndicatorWidth:
    case PM_ExclusiveIndicatorWidth:
        return largeIndicator ? imageWidth(10) : m_indicatorWidth;
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorHeight:
        return largeIndicator ? imageHeight(10) : m_indicatorHeight;
    case PM_ToolBarItemSpacing:
        return 2;
    case PM_ToolBarItemMargin:
        return 3;
    case PM_ToolBarSeparatorExtent:
        return 20;
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing:
        return 8;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int VektStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const
{
    if (hint == SH_ComboBox_PopupFrameStyle)
        return 17; // QFrame::Box | QFrame::Plain
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QSize VektStyle::buttonSize(int kind, int flags, const QStyleOption* option, const QWidget* widget) const
{
    const QPair<int, int> kindSize = buttonKindSize(kind);
    const int left = (flags & 4) != 0 ? kindSize.first * 2 / 3 : kindSize.first;
    const int right = (flags & 8) != 0 ? kindSize.first * 2 / 3 : kindSize.first;
    const ContentsType type = qobject_cast<const QToolButton*>(widget) != nullptr || qstyleoption_cast<const QStyleOptionToolButton*>(option)
                                  ? CT_ToolButton
                                  : CT_PushButton;
    int height = kindSize.second;
    if (widget != nullptr && widget->parentWidget() != nullptr
        && qobject_cast<const QWizard*>(widget->parentWidget()->parentWidget()) != nullptr)
        height = static_cast<int>(27 * m_scaleY);
    return QSize(left + right + buttonContentsSize(type, option, widget).width(), height);
}

QSize VektStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                                  const QWidget* widget) const
{
    const auto base = [&] { return QProxyStyle::sizeFromContents(type, option, contentsSize, widget); };
    switch (type) {
    case CT_PushButton: {
        if (const auto* vekt = qobject_cast<const VektPushButton*>(widget))
            return buttonSize(vekt->buttonKind, vekt->buttonFlags, option, widget);
        return buttonSize(qobject_cast<const QPushButton*>(widget) != nullptr ? 11 : 0, 0, option, widget);
    }
    case CT_ToolButton: {
        if (const auto* vekt = qobject_cast<const VektToolButton*>(widget))
            return buttonSize(vekt->buttonKind, vekt->buttonFlags, option, widget);
        return buttonSize(0, 0, option, widget);
    }
    case CT_RadioButton: {
        QSize size = base();
        const auto* radio = qobject_cast<const VektRadioButton*>(widget);
        if (radio == nullptr || radio->plainStyle == 0)
            size.setWidth(size.width() + static_cast<int>(m_scaleX * 15));
        return size;
    }
    case CT_ComboBox:
    case CT_SpinBox:
        return QSize(base().width() + imageWidth(95), imageHeight(39) + 1);
    case CT_LineEdit:
        return QSize(base().width(), imageHeight(39) + 1);
    case CT_ProgressBar:
        return QSize(base().width() + innerMetric(6, widget), innerMetric(7, widget));
    case CT_MenuItem: {
        const QSize size = base();
        return QSize(size.width() + innerMetric(4, widget) + 5 + imageWidth(113), size.height() + innerMetric(3, widget) - 1);
    }
    case CT_MenuBarItem: {
        const int height = widget != nullptr && widget->parentWidget() != nullptr ? widget->parentWidget()->height()
                                                                                   : contentsSize.height();
        return QSize(contentsSize.width() + innerMetric(2, widget), height);
    }
    case CT_Menu: {
        const QSize size = base();
        return QSize(size.width() - 1, size.height());
    }
    case CT_GroupBox:
        return QSize(-1, imageHeight(74) - 1);
    default:
        return base();
    }
}

QRect VektStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    switch (element) {
    case SE_CheckBoxFocusRect:
    case SE_RadioButtonFocusRect: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button == nullptr)
            return QRect();
        qDebug() << "btn->rect:" << option->rect;
        const bool checkBox = element == SE_CheckBoxFocusRect;
        const QRect contents = visualRect(option->direction, option->rect,
                                          subElementRect(checkBox ? SE_CheckBoxContents : SE_RadioButtonContents, option, widget));
        const QRect text = option->fontMetrics.boundingRect(contents, Qt::AlignLeft | Qt::AlignAbsolute | Qt::AlignVCenter | Qt::TextShowMnemonic,
                                                            button->text);
        const int h = pixelMetric(checkBox ? PM_IndicatorHeight : PM_ExclusiveIndicatorHeight, option, widget);
        const int s = pixelMetric(checkBox ? PM_CheckBoxLabelSpacing : PM_RadioButtonLabelSpacing, option, widget) - 2;
        QRect focus(contents.left() - s, contents.top() + ((contents.height() - h) >> 1), text.width() + 2 * s, h);
        focus = visualRect(option->direction, option->rect, focus & option->rect);
        if (!button->icon.isNull())
            focus.setRight(focus.right() + button->iconSize.width() + 4);
        return focus;
    }
    case SE_ComboBoxFocusRect:
        return option->rect.adjusted(3, 3, -(3 + imageWidth(101)), -3);
    case SE_ProgressBarGroove: {
        QRect rect = QProxyStyle::subElementRect(element, option, widget);
        rect.setLeft(innerMetric(6, widget));
        return rect;
    }
    case SE_ProgressBarContents:
        return subElementRect(SE_ProgressBarGroove, option, widget).adjusted(0, 0, 0, -1);
    case SE_ProgressBarLabel:
        return QRect(QPoint(0, 0), QPoint(innerMetric(6, widget) - 11, innerMetric(7, widget) - 1));
    case SE_TabWidgetTabBar: {
        QRect rect = QProxyStyle::subElementRect(element, option, widget);
        if (widget != nullptr)
            rect.setRight(rect.left() + widget->width() - 1);
        return rect;
    }
    case SE_LineEditContents:
        return QProxyStyle::subElementRect(element, option, widget).adjusted(2, -1, 0, -1);
    case SE_TabBarTabRightButton: {
        QRect rect = QProxyStyle::subElementRect(element, option, widget);
        rect.setLeft(option->rect.right() - 40);
        rect.setRight(option->rect.right() - 25);
        rect.setTop(pixelMetric(PM_TabBarBaseHeight, option, widget) / 2 - 1);
        return rect;
    }
    default:
        return QProxyStyle::subElementRect(element, option, widget);
    }
}

QRect VektStyle::groupBoxRect(const QStyleOptionComplex* option, SubControl subControl, const QWidget* widget) const
{
    const auto* box = qobject_cast<const VektGroupBox*>(widget);
    const int state = box != nullptr ? box->state() : 0;
    if (box != nullptr && state >= 3 && state <= 8)
        return QProxyStyle::subControlRect(CC_GroupBox, option, subControl, widget);
    int m = 3;
    if (box != nullptr && (state == 1 || state == 2 || state > 8) && box->layout() != nullptr)
        m = box->layout()->contentsMargins().left() - 8;
    const int header = imageHeight(74);
    switch (subControl) {
    case SC_GroupBoxLabel: {
        const QRect base = QProxyStyle::subControlRect(CC_GroupBox, option, subControl, widget);
        return QRect(QPoint(base.left() + m, option->rect.top() + 4), QPoint(option->rect.right() - m, option->rect.top() + 4 + header - 1));
    }
    case SC_GroupBoxCheckBox: {
        QRect base = QProxyStyle::subControlRect(CC_GroupBox, option, subControl, widget);
        base.moveLeft(base.left() + m);
        base.moveTop(option->rect.top() + 4 + (header - imageHeight(5)) / 2 + 1);
        return base;
    }
    case SC_GroupBoxContents:
        return QRect(QPoint(option->rect.left(), option->rect.top() + header + 4), option->rect.bottomRight());
    case SC_GroupBoxFrame:
        return option->rect;
    default:
        return QRect();
    }
}

QRect VektStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                                const QWidget* widget) const
{
    if (control == CC_GroupBox)
        return groupBoxRect(option, subControl, widget);
    if (control == CC_SpinBox && (subControl == SC_SpinBoxUp || subControl == SC_SpinBoxDown || subControl == SC_SpinBoxEditField)) {
        const QRect frame = QProxyStyle::subControlRect(control, option, SC_SpinBoxFrame, widget);
        const int width = imageWidth(103);
        if (subControl == SC_SpinBoxUp)
            return QRect(QPoint(frame.right() - width, frame.top()), QPoint(frame.right(), frame.top() + imageHeight(103) - 1));
        if (subControl == SC_SpinBoxDown)
            return QRect(QPoint(frame.right() - width, frame.bottom() - imageHeight(104)), frame.bottomRight());
        return frame.adjusted(0, 0, -width, 0);
    }
    if (control == CC_ComboBox && (subControl == SC_ComboBoxEditField || subControl == SC_ComboBoxArrow)) {
        const QRect frame = QProxyStyle::subControlRect(control, option, SC_ComboBoxFrame, widget);
        const int width = imageWidth(95);
        if (subControl == SC_ComboBoxArrow)
            return QRect(frame.right() - width + 1, frame.top(), width, frame.height());
        if (qstyleoption_cast<const QStyleOptionComboBox*>(option) == nullptr)
            return QRect();
        return frame.adjusted(0, 0, -width, 0);
    }
    return QProxyStyle::subControlRect(control, option, subControl, widget);
}

QIcon VektStyle::standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const
{
    QIcon icon;
    auto arrow = [&](const char* normal, const char* disabled) {
        icon.addFile(QString::fromLatin1(normal), QSize(), QIcon::Normal, QIcon::Off);
        icon.addFile(QString::fromLatin1(disabled), QSize(16, 16), QIcon::Disabled, QIcon::Off);
    };
    switch (which) {
    case SP_ArrowLeft:
        arrow(":/ifc_elements/ifc_elements/arrow_left.png", ":/ifc_elements/ifc_elements/arrow_left_disabled.png");
        break;
    case SP_ArrowRight:
        arrow(":/ifc_elements/ifc_elements/arrow_right.png", ":/ifc_elements/ifc_elements/arrow_right_disabled.png");
        break;
    case SP_ToolBarHorizontalExtensionButton:
        icon.addPixmap(pixmap(111), QIcon::Normal, QIcon::Off);
        break;
    default:
        break;
    }
    if (icon.isNull())
        icon = QCommonStyle::standardIcon(which, option, widget);
    return icon;
}
