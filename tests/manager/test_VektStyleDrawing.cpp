// The style's drawing, painted into images with a table of test images in distinct colours,
// so a pixel tells which image (or colour) was drawn there.
#include "app/MyApplication.h"
#include "themes/ThemeColors.h"
#include "themes/VektStyle.h"
#include "widgets/VektCheckBox.h"
#include "widgets/VektGroupBox.h"
#include "widgets/VektPushButton.h"
#include "widgets/VektRadioButton.h"
#include "widgets/VektTabWidget.h"
#include "widgets/VektTabBar.h"

#include <QPainter>
#include <QPixmapCache>
#include <QRadioButton>
#include <QStyleOption>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

QColor imageColour(int index) { return QColor(index, 255 - index, (index * 7) % 256); }

// Every image 8 x 8 in its own colour; image 80 is 4 wide with a left and a right half.
class TestImages
{
public:
    TestImages()
    {
        for (int i = 0; i < kVektPixmapCount; ++i) {
            QImage image(i == 80 ? 4 : 8, 8, QImage::Format_ARGB32);
            image.fill(imageColour(i));
            if (i == 80)
                for (int y = 0; y < 8; ++y)
                    for (int x = 2; x < 4; ++x)
                        image.setPixelColor(x, y, QColor(1, 2, 3));
            m_paths[i] = m_dir.filePath(QString::number(i) + ".png").toLatin1();
            image.save(QString::fromLatin1(m_paths[i]));
            m_table[i] = {m_paths[i].constData(), nullptr, nullptr};
        }
    }
    const VektPixmapSource* table() const { return m_table; }

private:
    QTemporaryDir m_dir;
    QByteArray m_paths[kVektPixmapCount];
    VektPixmapSource m_table[kVektPixmapCount];
};

class VektStyleDrawing : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString());
        s_images = new TestImages;
    }
    static void TearDownTestSuite() { delete s_images; }
    void SetUp() override
    {
        QPixmapCache::clear();
        m_style = std::make_unique<VektStyle>(&lightColors);
        ASSERT_TRUE(m_style->loadPixmaps(false, s_images->table()));
        m_canvas = QImage(200, 60, QImage::Format_ARGB32);
        m_canvas.fill(Qt::white);
    }
    QColor at(int x, int y) const { return m_canvas.pixelColor(x, y); }
    static TestImages* s_images;
    std::unique_ptr<VektStyle> m_style;
    QImage m_canvas;
};
TestImages* VektStyleDrawing::s_images = nullptr;

TEST_F(VektStyleDrawing, ThreePieceTiledAndArrowGeometry)
{
    {
        QPainter p(&m_canvas);
        m_style->drawThreePiece(1, 2, 3, &p, nullptr, QRect(0, 0, 10, 8)); // narrower than both ends
        m_style->drawThreePiece(1, 2, 3, &p, nullptr, QRect(0, 10, 20, 8));
        m_style->drawTiled(80, &p, nullptr, QRect(0, 20, 10, 8));
        m_style->drawThreePiece(1, 2, 3, &p, nullptr, QRect(0, 30, -1, -1)); // whole widget, and no widget: nothing
    }
    EXPECT_EQ(at(1, 0), imageColour(1));
    EXPECT_EQ(at(2, 0), imageColour(3)) << "the right end over the left one";
    EXPECT_EQ(at(9, 0), imageColour(3));
    EXPECT_EQ(at(8, 10), imageColour(2));
    EXPECT_EQ(at(11, 10), imageColour(2)) << "the centre fills up to the right end";
    EXPECT_EQ(at(12, 10), imageColour(3));
    EXPECT_EQ(at(8, 20), imageColour(80)) << "the partial last tile is its left part";
    EXPECT_EQ(at(9, 20), imageColour(80));
    EXPECT_EQ(at(7, 20), QColor(1, 2, 3));
    EXPECT_EQ(at(1, 30), QColor(Qt::white));

    QStyleOption option;
    option.palette.setColor(QPalette::ButtonText, Qt::black);
    option.rect = QRect(50, 10, 7, 10);
    QImage arrow(80, 40, QImage::Format_ARGB32);
    arrow.fill(Qt::white);
    {
        QPainter p(&arrow);
        m_style->drawArrow(Qt::DownArrow, &option, &p);
        option.rect = QRect(10, 10, 20, 1);
        m_style->drawArrow(Qt::DownArrow, &option, &p);
    }
    QRect drawn;
    for (int y = 0; y < arrow.height(); ++y)
        for (int x = 0; x < arrow.width(); ++x)
            if (arrow.pixelColor(x, y) != QColor(Qt::white))
                drawn |= QRect(x, y, 1, 1);
    EXPECT_TRUE(QRect(50, 12, 8, 8).contains(drawn)) << drawn.x() << "," << drawn.y() << " " << drawn.width() << "x" << drawn.height();
    EXPECT_FALSE(drawn.isEmpty());
}

TEST_F(VektStyleDrawing, IndicatorsByState)
{
    VektCheckBox large;
    large.indicatorKind = 1;
    VektCheckBox small;
    struct Case { const char* what; QWidget* widget; QStyle::PrimitiveElement element; QStyle::State state; int image; };
    const QStyle::State enabled = QStyle::State_Enabled;
    const Case cases[] = {
        {"kind 1 on focused hovered", &large, QStyle::PE_IndicatorCheckBox, enabled | QStyle::State_On | QStyle::State_HasFocus | QStyle::State_MouseOver, 19},
        {"disabled off", &small, QStyle::PE_IndicatorCheckBox, QStyle::State_None, 2},
        {"disabled on", &small, QStyle::PE_IndicatorCheckBox, QStyle::State_On, 7},
        {"enabled off focused", &small, QStyle::PE_IndicatorCheckBox, enabled | QStyle::State_HasFocus, 1},
        {"hovered on", &small, QStyle::PE_IndicatorCheckBox, enabled | QStyle::State_On | QStyle::State_MouseOver, 8},
        {"radio on", nullptr, QStyle::PE_IndicatorRadioButton, enabled | QStyle::State_On, 25},
        {"radio disabled", nullptr, QStyle::PE_IndicatorRadioButton, QStyle::State_None, 22},
    };
    for (const Case& c : cases) {
        m_canvas.fill(Qt::white);
        QStyleOptionButton option;
        option.state = c.state;
        option.rect = QRect(100, 20, 8, 8);
        QPainter p(&m_canvas);
        m_style->drawPrimitive(c.element, &option, &p, c.widget);
        p.end();
        EXPECT_EQ(at(103, 23), imageColour(c.image)) << c.what;
    }
    // a checked radio button (not a plain-style one) gets the highlight bar behind it
    QRadioButton radio("Choice");
    radio.resize(150, 20);
    m_canvas.fill(Qt::white);
    QStyleOptionButton option;
    option.state = enabled | QStyle::State_On;
    option.rect = QRect(0, 0, 8, 8);
    option.text = radio.text();
    {
        QPainter p(&m_canvas);
        m_style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &option, &p, &radio);
    }
    EXPECT_EQ(at(20, 4), imageColour(30));
    const int barRight = 4 + static_cast<int>(m_style->scaleX() * 15 + radio.fontMetrics().horizontalAdvance(radio.text()) + 20) - 1;
    EXPECT_EQ(at(barRight - 1, 4), imageColour(31)) << "the bar ends in image 31";
    EXPECT_EQ(at(barRight + 1, 4), QColor(Qt::white));
    VektRadioButton plain("Choice");
    plain.plainStyle = 1;
    m_canvas.fill(Qt::white);
    {
        QPainter p(&m_canvas);
        m_style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &option, &p, &plain);
    }
    EXPECT_EQ(at(20, 4), QColor(Qt::white));
}

QColor mid(const QColor& a, const QColor& b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

bool near(const QColor& a, const QColor& b, int tolerance = 6)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance && qAbs(a.blue() - b.blue()) <= tolerance;
}

TEST_F(VektStyleDrawing, ButtonPanelsFollowKindAndState)
{
    const ThemeColors& c = lightColors;
    VektPushButton button("Apply");
    struct Case { int kind; QStyle::State state; QColor start; QColor stop; };
    const QStyle::State enabled = QStyle::State_Enabled;
    const Case cases[] = {
        {11, enabled, c.GradientButton_Start, c.GradientButton_Stop},
        {11, enabled | QStyle::State_Sunken, c.GradientButtonPressed_Start, c.GradientButtonPressed_Stop},
        {11, enabled | QStyle::State_MouseOver, c.GradientButtonHover_Start, c.GradientButtonHover_Stop},
        {11, enabled | QStyle::State_HasFocus, c.GradientButtonFocused_Start, c.GradientButtonFocused_Stop},
        {11, QStyle::State_None, c.DisabledGradientButton_Start, c.DisabledGradientButton_Stop},
        {14, enabled, c.GreenGradientButton_Start, c.GreenGradientButton_Stop},
        {14, enabled | QStyle::State_Sunken, c.GreenGradientButton_Start, c.GreenGradientButton_Stop},
        {14, enabled | QStyle::State_MouseOver, c.GreenGradientButtonHover_Start, c.GreenGradientButtonHover_Stop},
        {14, QStyle::State_None, c.DisabledGreenGradientButton_Start, c.DisabledGreenGradientButton_Stop},
    };
    for (const Case& k : cases) {
        button.buttonKind = k.kind;
        m_canvas.fill(Qt::white);
        QStyleOptionButton option;
        option.state = k.state;
        option.rect = QRect(10, 10, 100, 41);
        QPainter p(&m_canvas);
        m_style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p, &button);
        p.end();
        EXPECT_TRUE(near(at(60, 30), mid(k.start, k.stop))) << k.kind << " " << int(k.state) << " " << qPrintable(at(60, 30).name());
    }

    // the focus rectangle, but not while the mouse is over the button
    button.buttonKind = 11;
    button.resize(60, 24);
    for (const bool hovered : {false, true}) {
        m_canvas.fill(Qt::white);
        QStyleOptionFocusRect focus;
        focus.state = QStyle::State_Enabled | (hovered ? QStyle::State_MouseOver : QStyle::State_None);
        focus.rect = QRect(0, 0, 60, 24);
        {
            QPainter p(&m_canvas);
            m_style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, &button);
        }
        EXPECT_EQ(at(1, 5), hovered ? QColor(Qt::white) : c.FocusRect_ButtonDefault) << hovered;
    }
    // a flat button neither pressed nor checked has no bevel
    QStyleOptionButton flat;
    flat.features = QStyleOptionButton::Flat;
    flat.state = QStyle::State_Enabled;
    flat.rect = QRect(10, 10, 100, 41);
    {
        QPainter p(&m_canvas);
        m_style->drawControl(QStyle::CE_PushButtonBevel, &flat, &p, &button);
    }
    EXPECT_EQ(at(60, 30), QColor(Qt::white));
}

TEST_F(VektStyleDrawing, ProgressTabsMenusAndGroupBoxes)
{
    // an empty range never divides by zero
    QStyleOptionProgressBar bar;
    bar.rect = QRect(0, 0, 100, 8);
    bar.minimum = bar.maximum = bar.progress = 0;
    {
        QPainter p(&m_canvas);
        m_style->drawControl(QStyle::CE_ProgressBarContents, &bar, &p, nullptr);
        bar.maximum = 100;
        bar.progress = 50;
        bar.rect = QRect(0, 20, 100, 8);
        m_style->drawControl(QStyle::CE_ProgressBarContents, &bar, &p, nullptr);
        bar.text = "50";
        bar.rect = QRect(0, 40, 100, 0);
        m_style->drawControl(QStyle::CE_ProgressBarLabel, &bar, &p, nullptr); // a bar with no height
    }
    EXPECT_EQ(at(30, 3), QColor(Qt::white));
    EXPECT_NE(at(30, 23), QColor(Qt::white));
    EXPECT_EQ(at(70, 23), QColor(Qt::white));
    // a label whose text has no height (blank) never divides by it
    for (const char* text : {"", " "}) {
        bar.text = text;
        bar.rect = QRect(0, 40, 100, 20);
        QPainter p(&m_canvas);
        m_style->drawControl(QStyle::CE_ProgressBarLabel, &bar, &p, nullptr);
        EXPECT_GT(p.font().pointSizeF(), 0) << "painter restored";
    }

    // counter 3 on the last tab of a mode-0 bar: a balloon starting left of the tab
    VektTabWidget tabs;
    for (const char* t : {"Manage", "Configure", "Logs", "?", "About"})
        tabs.addTab(new QWidget, t);
    VektTabBar* tabBar = tabs.vektTabBar();
    tabBar->counter = 3;
    tabs.setStyle(m_style.get());
    QStyleOptionTab tab;
    tab.rect = QRect(100, 20, 90, 30);
    tab.position = QStyleOptionTab::End;
    tab.state = QStyle::State_Enabled;
    tab.text = "About";
    m_canvas.fill(Qt::white);
    {
        QPainter p(&m_canvas);
        m_style->drawControl(QStyle::CE_TabBarTab, &tab, &p, tabBar);
    }
    const QColor balloon = at(96, 18);
    EXPECT_TRUE(balloon == imageColour(71) || balloon == imageColour(72) || balloon == imageColour(73)) << "the balloon";
    EXPECT_EQ(at(150, 21), imageColour(60)) << "a closed tab";

    // a menu item's shortcut goes to the strip on the right
    QStyleOptionMenuItem item;
    item.rect = QRect(0, 0, 200, 24);
    item.state = QStyle::State_Enabled;
    item.menuItemType = QStyleOptionMenuItem::Normal;
    item.text = "Open\tCtrl+O";
    item.tabWidth = 70;
    item.font = QFont();
    m_canvas.fill(Qt::white);
    {
        QPainter p(&m_canvas);
        m_style->drawControl(QStyle::CE_MenuItem, &item, &p, nullptr);
    }
    auto inkIn = [&](int x0, int x1) {
        for (int y = 0; y < 24; ++y)
            for (int x = x0; x < x1; ++x)
                if (at(x, y) != lightColors.UpperMenu_Menu_Bgr)
                    return true;
        return false;
    };
    EXPECT_TRUE(inkIn(131, 200)) << "the shortcut";
    EXPECT_TRUE(inkIn(15, 60)) << "the text";
    EXPECT_FALSE(inkIn(70, 130)) << "nothing between them";

    // group-box states: 1 unfilled, 2 filled, each with its title colour: the box's own, or
    // without one that of state 1
    struct Box { int state; QColor own; QColor title; };
    const Box boxes[] = {
        {1, QColor(), lightColors.Settings_PageSubHeader_EnabledText},
        {2, QColor(), lightColors.Settings_PageSubHeader_EnabledText},
        {2, QColor(200, 0, 0), QColor(200, 0, 0)},
        {1, QColor(0, 0, 200), QColor(0, 0, 200)},
    };
    for (const Box& b : boxes) {
        VektGroupBox box("Title");
        box.setState(b.state);
        EXPECT_EQ(box.secondaryColor(), lightColors.Settings_PageSubHeader_EnabledText);
        box.setSecondaryColor(b.own);
        QFont large = box.font();
        large.setPointSize(24); // glyph stems wider than a pixel: some pixels in the pen's own colour
        box.setFont(large);
        box.resize(180, 50);
        box.setStyle(m_style.get());
        QStyleOptionGroupBox option;
        option.initFrom(&box);
        option.text = "Title";
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        m_canvas.fill(Qt::white);
        {
            QPainter p(&m_canvas);
            m_style->drawComplexControl(QStyle::CC_GroupBox, &option, &p, &box);
        }
        EXPECT_EQ(at(170, 45), b.state == 2 ? lightColors.GroupBox_Bgr : QColor(Qt::white)) << b.state;
        const QRect label = m_style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
        int inTitleColour = 0;
        for (int y = label.top(); y <= label.bottom(); ++y)
            for (int x = label.left(); x <= label.right(); ++x)
                if (m_canvas.rect().contains(x, y) && at(x, y) == b.title)
                    ++inTitleColour;
        EXPECT_GT(inTitleColour, 0) << b.state << " " << qPrintable(b.title.name());
    }
}

TEST_F(VektStyleDrawing, BadInputDrawsNothing)
{
    VektStyle empty(&lightColors); // no images loaded
    ThemeColors invalid;           // no colours either
    VektStyle blank(&invalid);
    QPainter p(&m_canvas);
    for (VektStyle* style : {&empty, &blank}) {
        QStyleOptionButton option;
        option.rect = QRect(-5, -5, -10, 0);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p, nullptr);
        style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p, nullptr);
        style->drawThreePiece(1, 2, 3, &p, nullptr, QRect(0, 0, 50, 10));
        style->drawTiled(58, &p, nullptr, QRect(0, 0, 50, 10));
        style->drawControl(QStyle::CE_PushButtonLabel, &option, &p, nullptr);
        QStyleOptionComplex complex;
        style->drawComplexControl(QStyle::CC_GroupBox, &complex, &p, nullptr);
        style->drawPrimitive(QStyle::PE_PanelLineEdit, nullptr, &p, nullptr);
        style->drawControl(QStyle::CE_MenuItem, nullptr, nullptr, nullptr);
    }
    SUCCEED();
}

} // namespace
