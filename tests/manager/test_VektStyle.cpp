#include "GalleryWindow.h"
#include "app/MyApplication.h"
#include "themes/ColorTransforms.h"
#include "themes/ThemeColors.h"
#include "themes/VektStyle.h"
#include "widgets/VektCheckBox.h"
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
