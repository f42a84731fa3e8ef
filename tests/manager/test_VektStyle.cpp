#include "GalleryWindow.h"
#include "app/MyApplication.h"
#include "themes/ColorTransforms.h"
#include "themes/ThemeColors.h"
#include "themes/VektStyle.h"
#include "widgets/VektCheckBox.h"
#include "widgets/VektProgressBar.h"
#include "widgets/VektPushButton.h"

#include <QPixmapCache>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList g_messages;
void captureMessage(QtMsgType, const QMessageLogContext&, const QString& text) { g_messages << text; }

struct CapturedMessages
{
    CapturedMessages() { g_messages.clear(); m_previous = qInstallMessageHandler(captureMessage); }
    ~CapturedMessages() { qInstallMessageHandler(m_previous); }
    QtMessageHandler m_previous;
};

std::unique_ptr<VektStyle> loadedStyle(bool dark)
{
    auto style = std::make_unique<VektStyle>(dark ? &darkColors : &lightColors);
    EXPECT_TRUE(style->loadPixmaps(dark));
    return style;
}

class VektStyleTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString()); }
};

TEST_F(VektStyleTest, LoadsEveryImageInBothThemes)
{
    for (bool dark : {false, true}) {
        CapturedMessages messages;
        auto style = loadedStyle(dark);
        for (const QString& m : g_messages)
            EXPECT_FALSE(m.startsWith("Cannot load:")) << qPrintable(m);
        for (int i = 0; i < kVektPixmapCount; ++i)
            EXPECT_FALSE(style->pixmap(i).isNull()) << i;
    }
}

TEST_F(VektStyleTest, MetricsAreTheImagesSizes)
{
    auto style = loadedStyle(false);
    const VektStyle& s = *style;
    struct Case { QStyle::PixelMetric metric; int expected; int at96; };
    const Case cases[] = {
        {QStyle::PM_ScrollBarExtent, s.pixmap(88).width(), 16},
        {QStyle::PM_TabBarBaseHeight, s.pixmap(58).height(), 30},
        {QStyle::PM_TabBarBaseOverlap, s.pixmap(66).height(), 26},
        {QStyle::PM_IndicatorWidth, s.pixmap(0).width(), 13},
        {QStyle::PM_ExclusiveIndicatorHeight, s.pixmap(0).height(), 13},
        {QStyle::PM_DefaultFrameWidth, 0, 0},
        {QStyle::PM_MenuVMargin, 10, 10},
        {QStyle::PM_CheckBoxLabelSpacing, 8, 8},
        {QStyle::PM_ToolBarSeparatorExtent, 20, 20},
    };
    const bool at96 = s.scaleY() == 1.0f;
    for (const Case& c : cases) {
        EXPECT_EQ(s.pixelMetric(c.metric), c.expected) << c.metric;
        if (at96) {
            EXPECT_EQ(s.pixelMetric(c.metric), c.at96) << c.metric;
        }
    }
    VektCheckBox large;
    large.indicatorKind = 1;
    EXPECT_EQ(s.pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &large), s.pixmap(10).width());
    EXPECT_EQ(s.styleHint(QStyle::SH_ComboBox_PopupFrameStyle), 17);

    QStyleOptionComboBox combo;
    combo.rect = QRect(0, 0, 120, 24);
    EXPECT_EQ(s.sizeFromContents(QStyle::CT_LineEdit, &combo, QSize(50, 10), nullptr).height(), s.pixmap(39).height() + 1);
    EXPECT_EQ(s.subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxArrow, nullptr).width(), s.pixmap(95).width());
    EXPECT_EQ(s.subElementRect(QStyle::SE_CheckBoxFocusRect, &combo, nullptr), QRect()) << "not a button option";
}

// The sizes and rectangles that come from an image, beside the base style's answer they extend.
TEST_F(VektStyleTest, SizesAndRectanglesFollowTheirImages)
{
    auto style = loadedStyle(false);
    const VektStyle& s = *style;
    auto w = [&](int i) { return s.pixmap(i).width(); };
    auto h = [&](int i) { return s.pixmap(i).height(); };
    const QSize contents(50, 10);

    QStyleOptionComboBox combo;
    combo.rect = QRect(0, 0, 120, 24);
    QStyleOptionSpinBox spin;
    spin.rect = QRect(0, 0, 100, 24);
    spin.subControls = QStyle::SC_All;
    QStyleOptionGroupBox group;
    group.rect = QRect(0, 0, 200, 120);
    group.text = "Group";
    QStyleOptionMenuItem item;
    item.text = "Open";
    item.menuItemType = QStyleOptionMenuItem::Normal;
    VektProgressBar bar;
    QStyleOptionProgressBar progress;
    progress.initFrom(&bar);

    const QRect spinFrame = s.QProxyStyle::subControlRect(QStyle::CC_SpinBox, &spin, QStyle::SC_SpinBoxFrame, nullptr);
    const QSize comboBase = s.QProxyStyle::sizeFromContents(QStyle::CT_ComboBox, &combo, contents, nullptr);
    const QSize spinBase = s.QProxyStyle::sizeFromContents(QStyle::CT_SpinBox, &spin, contents, nullptr);
    const QSize menuBase = s.QProxyStyle::sizeFromContents(QStyle::CT_MenuItem, &item, contents, nullptr);
    const QSize barBase = s.QProxyStyle::sizeFromContents(QStyle::CT_ProgressBar, &progress, contents, &bar);
    struct Case { const char* what; QRect actual; QRect expected; };
    const Case cases[] = {
        {"combo box size", QRect(QPoint(), s.sizeFromContents(QStyle::CT_ComboBox, &combo, contents, nullptr)),
         QRect(0, 0, comboBase.width() + w(95), h(39) + 1)},
        {"spin box size", QRect(QPoint(), s.sizeFromContents(QStyle::CT_SpinBox, &spin, contents, nullptr)),
         QRect(0, 0, spinBase.width() + w(95), h(39) + 1)},
        {"group box size", QRect(QPoint(), s.sizeFromContents(QStyle::CT_GroupBox, &group, contents, nullptr)),
         QRect(0, 0, -1, h(74) - 1)},
        {"menu item size", QRect(QPoint(), s.sizeFromContents(QStyle::CT_MenuItem, &item, contents, nullptr)),
         QRect(0, 0, menuBase.width() + 15 + 5 + w(113), menuBase.height() + 6 - 1)},
        {"progress bar size", QRect(QPoint(), s.sizeFromContents(QStyle::CT_ProgressBar, &progress, contents, &bar)),
         QRect(0, 0, barBase.width() + 120, h(78))},
        {"spin up", s.subControlRect(QStyle::CC_SpinBox, &spin, QStyle::SC_SpinBoxUp, nullptr),
         QRect(QPoint(spinFrame.right() - w(103), spinFrame.top()), QPoint(spinFrame.right(), spinFrame.top() + h(103) - 1))},
        {"spin down", s.subControlRect(QStyle::CC_SpinBox, &spin, QStyle::SC_SpinBoxDown, nullptr),
         QRect(QPoint(spinFrame.right() - w(103), spinFrame.bottom() - h(104)), spinFrame.bottomRight())},
        {"spin field", s.subControlRect(QStyle::CC_SpinBox, &spin, QStyle::SC_SpinBoxEditField, nullptr),
         spinFrame.adjusted(0, 0, -w(103), 0)},
        {"combo focus", s.subElementRect(QStyle::SE_ComboBoxFocusRect, &combo, nullptr), QRect(3, 3, 120 - 6 - w(101), 24 - 6)},
        {"group contents", s.subControlRect(QStyle::CC_GroupBox, &group, QStyle::SC_GroupBoxContents, nullptr),
         QRect(QPoint(0, h(74) + 4), QPoint(199, 119))},
        {"group label", s.subControlRect(QStyle::CC_GroupBox, &group, QStyle::SC_GroupBoxLabel, nullptr),
         QRect(QPoint(s.QProxyStyle::subControlRect(QStyle::CC_GroupBox, &group, QStyle::SC_GroupBoxLabel, nullptr).left() + 3, 4),
               QPoint(199 - 3, 4 + h(74) - 1))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST_F(VektStyleTest, ButtonKindsPadTheirContents)
{
    auto style = loadedStyle(false);
    VektPushButton button("Apply");
    button.buttonKind = 8;
    button.buttonFlags = 4 | 8;
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QSize contents = style->buttonContentsSize(QStyle::CT_PushButton, &option, &button);
    const QSize size = style->sizeFromContents(QStyle::CT_PushButton, &option, contents, &button);
    EXPECT_EQ(size.width() - contents.width(), 48);
    EXPECT_EQ(size.height(), static_cast<int>(26 * style->scaleY()));
    button.buttonFlags = 0;
    EXPECT_EQ(style->sizeFromContents(QStyle::CT_PushButton, &option, contents, &button).width() - contents.width(), 72);
    EXPECT_EQ(style->buttonKindSize(99), qMakePair(4, static_cast<int>(21 * style->scaleY())));
}

TEST_F(VektStyleTest, DarkImagesAreDerivedFromTheLightOnes)
{
    auto light = loadedStyle(false);
    auto dark = loadedStyle(true);
    const QImage lightEdit = light->pixmap(38).toImage();
    const QImage darkEdit = dark->pixmap(38).toImage();
    const QPoint at(lightEdit.width() - 1, lightEdit.height() / 2);
    EXPECT_EQ(darkEdit.pixelColor(at).rgba(), invertClamp40(lightEdit.pixelColor(at)).rgba());
    const QImage ownDark(":/ifc_elements/ifc_elements/top_menu_splitter_dark.png");
    EXPECT_EQ(dark->pixmap(57).toImage().convertToFormat(QImage::Format_ARGB32).pixelColor(0, 10),
              ownDark.convertToFormat(QImage::Format_ARGB32).pixelColor(0, 10));
    // rows without a transform look the same in both themes
    EXPECT_EQ(dark->pixmap(33).toImage(), light->pixmap(33).toImage());
    EXPECT_EQ(dark->pixmap(113).toImage(), light->pixmap(113).toImage());
    EXPECT_FALSE(dark->pixmap(113).isNull()) << "\":ifc_elements/…\" resolves";
    EXPECT_FALSE(dark->standardIcon(QStyle::SP_ArrowLeft).isNull());
    EXPECT_FALSE(dark->standardIcon(QStyle::SP_ArrowRight).isNull());
    EXPECT_FALSE(dark->standardIcon(QStyle::SP_DialogOkButton).isNull());
}

TEST_F(VektStyleTest, ScaleFollowsTheDesktopDpi)
{
    auto style = loadedStyle(false);
    const qreal dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const float expected = dpi == 96.0 ? 1.0f : static_cast<float>(dpi / 96.0) / 1.2f;
    EXPECT_FLOAT_EQ(style->scaleY(), expected) << dpi;
    EXPECT_EQ(style->pixmap(39).height(), static_cast<int>(23 * expected));
    EXPECT_EQ(style->pixmap(58).height(), static_cast<int>(30 * expected));
    if (qEnvironmentVariableIntValue("QT_FONT_DPI") == 100) {
        // what Xvfb and the offscreen platform report unpinned: (100 / 96) / 1.2
        EXPECT_EQ(dpi, 100.0);
        EXPECT_NEAR(style->scaleY(), 0.868, 0.001);
        EXPECT_EQ(style->pixmap(39).height(), 19);
        EXPECT_EQ(style->pixelMetric(QStyle::PM_IndicatorHeight), 11);
    }
}

TEST_F(VektStyleTest, MissingImagesLeaveSafeEntries)
{
    VektPixmapSource table[kVektPixmapCount];
    std::copy(pixmapSources, pixmapSources + kVektPixmapCount, table);
    table[0] = {":/ifc_elements/ifc_elements/no_such.png", nullptr, nullptr};
    table[39] = {":/ifc_elements/ifc_elements/no_such_either.png", invertClamp40, nullptr};
    CapturedMessages messages;
    auto style = std::make_unique<VektStyle>(&darkColors);
    EXPECT_FALSE(style->loadPixmaps(true, table));
    EXPECT_TRUE(g_messages.contains("Cannot load: :/ifc_elements/ifc_elements/no_such_either.png")) << qPrintable(g_messages.join("|"));
    EXPECT_TRUE(style->pixmap(0).isNull());
    EXPECT_EQ(style->indicatorWidth(), 0);
    EXPECT_EQ(style->sizeFromContents(QStyle::CT_LineEdit, nullptr, QSize(50, 10), nullptr).height(), 1);
    // the whole gallery measures and draws with the holes
    QApplication::setStyle(style.release());
    std::unique_ptr<QWidget> window(makeGalleryWindow());
    window->show();
    EXPECT_FALSE(window->grab().isNull());
}

TEST_F(VektStyleTest, ABundleWithoutAnyImageStillMeasuresAndDraws)
{
    VektPixmapSource table[kVektPixmapCount];
    for (int i = 0; i < kVektPixmapCount; ++i)
        table[i] = {":/nowhere/missing.png", pixmapSources[i].darkTransform, pixmapSources[i].darkPath != nullptr ? ":/nowhere/dark.png" : nullptr};
    for (bool dark : {false, true}) {
        CapturedMessages messages;
        auto style = std::make_unique<VektStyle>(dark ? &darkColors : &lightColors);
        EXPECT_FALSE(style->loadPixmaps(dark, table));
        EXPECT_EQ(g_messages.filter("Cannot load:").size(), kVektPixmapCount) << dark;
        for (int i = 0; i < kVektPixmapCount; ++i)
            EXPECT_TRUE(style->pixmap(i).isNull()) << i;
        EXPECT_EQ(style->pixelMetric(QStyle::PM_ScrollBarExtent), 0);
        QApplication::setStyle(style.release());
        std::unique_ptr<QWidget> window(makeGalleryWindow());
        window->show();
        EXPECT_FALSE(window->grab().isNull()) << dark;
    }
}

TEST_F(VektStyleTest, ThemeSwitchInstallsColoursStyleAndPalette)
{
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    QSignalSpy switched(app, &MyApplication::themeSwitched);
    struct Case { const char* name; bool dark; };
    for (const Case& c : {Case{"dark", true}, Case{"Dark", false}, Case{"", false}, Case{"blue", false}, Case{"light", false}}) {
        QPixmapCache::insert("probe", QPixmap(4, 4));
        QPointer<QStyle> previous = QApplication::style();
        app->applyTheme(c.name);
        EXPECT_EQ(app->isDarkTheme, c.dark) << c.name;
        const ThemeColors& set = c.dark ? darkColors : lightColors;
        EXPECT_EQ(app->activeColors, &set) << c.name;
        EXPECT_NE(qobject_cast<VektStyle*>(QApplication::style()), nullptr);
        EXPECT_TRUE(previous.isNull()) << "the previous style is freed";
        QPixmap found;
        EXPECT_FALSE(QPixmapCache::find("probe", &found)) << "the pixmap cache is cleared";
        const QPalette p = QApplication::palette();
        struct Role { QPalette::ColorGroup group; QPalette::ColorRole role; QColor color; };
        const Role roles[] = {
            {QPalette::Active, QPalette::Window, set.Window_Bgr},        {QPalette::Inactive, QPalette::Button, set.Window_Bgr},
            {QPalette::Active, QPalette::Highlight, set.Window_Highlight}, {QPalette::Active, QPalette::HighlightedText, set.Text_Default},
            {QPalette::Active, QPalette::ButtonText, set.ButtonText_Default}, {QPalette::Active, QPalette::Base, set.Window_Bgr},
            {QPalette::Active, QPalette::Text, set.Text_Default},        {QPalette::Active, QPalette::WindowText, set.Text_Default},
            {QPalette::Disabled, QPalette::Base, set.TextEdit_Disabled_Border_InnerLine},
            {QPalette::Disabled, QPalette::Text, set.Text_Default_Disabled},
            {QPalette::Disabled, QPalette::WindowText, set.Text_Default_Disabled},
            {QPalette::Active, QPalette::Mid, set.Window_Dark},          {QPalette::Active, QPalette::Light, set.Window_Light},
            {QPalette::Active, QPalette::Dark, set.Window_Dark},
        };
        for (const Role& r : roles)
            EXPECT_EQ(p.color(r.group, r.role), r.color) << c.name << " role " << r.role;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(switched.count(), 0) << "only the configure tab announces a switch";
}

} // namespace
