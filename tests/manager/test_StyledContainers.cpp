#include "app/MyApplication.h"
#include "themes/ThemeColors.h"
#include "widgets/VektComboBox.h"
#include "widgets/VektGroupBox.h"
#include "widgets/VektHelpLabel.h"
#include "widgets/VektSettingsWidget.h"
#include "widgets/VektTabBar.h"
#include "widgets/VektTabWidget.h"
#include "widgets/VektRadioButton.h"
#include "widgets/VektToolButton.h"
#include "widgets/VektTopLabel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

// The built-in colour sets, light active: with unloaded sets every colour is the same invalid
// one and no colour check could tell two fields apart.
class StyledContainers : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString());
        app()->applyTheme("light");
    }
    static void TearDownTestSuite() { app()->applyTheme("light"); }
    static MyApplication* app() { return qobject_cast<MyApplication*>(QCoreApplication::instance()); }
};

struct Header
{
    QWidget parent;
    VektSettingsWidget* header = new VektSettingsWidget(&parent);
    QWidget* content = new QWidget(&parent);
    QWidget* help = new QWidget(&parent);

    explicit Header(bool withHelp = true)
    {
        header->setGeometry(0, 0, 200, 24);
        header->setContentWidget(content);
        if (withHelp)
            header->setHelpWidget(help);
        content->hide();
        help->hide();
        parent.show();
    }
    void click(int x, int y) { QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(x, y)); }
};

TEST_F(StyledContainers, HeaderTogglesContentAndHelp)
{
    Header h;
    EXPECT_EQ(h.header->helpArea(), QRect(QPoint(179, 4), QPoint(195, 19)));
    QSignalSpy spy(h.header, &VektSettingsWidget::stateChanged);

    h.click(190, 10); // help area
    EXPECT_TRUE(h.help->isVisible());
    EXPECT_FALSE(h.content->isVisible());
    EXPECT_EQ(spy.count(), 0);

    h.click(100, 10); // expand
    EXPECT_TRUE(h.content->isVisible());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.at(0).at(0).toBool());

    h.header->setVisible(false); // hiding the header hides both, showing restores them
    EXPECT_FALSE(h.help->isVisible());
    EXPECT_FALSE(h.content->isVisible());
    h.header->setVisible(true);
    EXPECT_TRUE(h.help->isVisible());
    EXPECT_TRUE(h.content->isVisible());

    h.click(100, 10); // collapsing closes the help too, expanding does not reopen it
    EXPECT_FALSE(h.content->isVisible());
    EXPECT_FALSE(h.help->isVisible());
    EXPECT_FALSE(h.header->isHelpVisible());
    QTest::keyClick(h.header, Qt::Key_Space);
    EXPECT_TRUE(h.content->isVisible());
    EXPECT_FALSE(h.help->isVisible());
    EXPECT_EQ(spy.count(), 3);
}

TEST_F(StyledContainers, HeaderWithoutHelpExpandsFromItsHelpArea)
{
    Header h(false);
    h.click(190, 10);
    EXPECT_TRUE(h.content->isVisible());
    QTest::keyClick(h.header, Qt::Key_A); // other keys change nothing
    EXPECT_TRUE(h.content->isVisible());
    auto move = [&](QPoint at) {
        QMouseEvent event(QEvent::MouseMove, at, h.header->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(h.header, &event);
    };
    move(QPoint(190, 10));
    EXPECT_TRUE(h.header->isHelpHovered());
    move(QPoint(20, 10));
    EXPECT_FALSE(h.header->isHelpHovered());
    move(QPoint(190, 10));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(h.header, &leave);
    EXPECT_FALSE(h.header->isHelpHovered());
}

TEST_F(StyledContainers, GroupBoxStatesGiveStyleCodesAndColours)
{
    const ThemeColors& c = themeColors();
    struct Case { int state; int styleCode; QColor primary; QColor secondary; };
    const Case cases[] = {
        {0, 9, c.Settings_PageSubHeader_DisabledText, c.SettingGroupHdr_Text},
        {1, 11, c.Settings_PageSubHeader_DisabledText, c.Settings_PageSubHeader_EnabledText},
        {2, 11, c.Settings_PageSubHeader_DisabledText, c.Settings_PageSubHeader_EnabledText},
        {3, 8, c.Settings_PageInactive_Text, c.Settings_PageMinor_Text},
        {4, 8, c.Settings_PageInactive_Text, c.Settings_PageMinor_Text},
        {5, 9, c.Settings_PageSubHeader_DisabledText, c.SettingGroupHdr_Text},
        {7, 9, c.Settings_PageSubHeader_DisabledText, c.SettingGroupHdr_Text},
        {8, 9, c.Settings_PageSubHeader_DisabledText, c.SettingGroupHdr_Text},
        {9, 9, c.Settings_PageInactive_Text, c.Settings_PageInactive_Text},
        {-1, 9, c.Settings_PageInactive_Text, c.Settings_PageInactive_Text},
    };
    VektGroupBox box;
    EXPECT_EQ(box.styleCode(), 9);
    EXPECT_EQ(box.primaryColor(), c.Settings_PageSubHeader_DisabledText);
    for (const Case& k : cases) {
        box.setState(k.state);
        EXPECT_EQ(box.styleCode(), k.styleCode) << k.state;
        EXPECT_EQ(box.primaryColor(), k.primary) << k.state;
        EXPECT_EQ(box.secondaryColor(), k.secondary) << k.state;
    }
}

// A 300x100 group box with a hidden help widget, shown.
struct GroupBoxWithHelp
{
    QWidget parent;
    VektGroupBox* box = new VektGroupBox("Group", &parent);
    QWidget* help = new QWidget(&parent);
    GroupBoxWithHelp()
    {
        box->setGeometry(0, 0, 300, 100);
        box->setHelpWidget(help);
        help->hide();
        parent.show();
    }
};

TEST_F(StyledContainers, GroupBoxHelpButtonTogglesItsHelp)
{
    GroupBoxWithHelp g;
    VektGroupBox* box = g.box;
    QWidget* help = g.help;
    EXPECT_EQ(box->helpButtonRect(), QRect(276, 6, 16, 16));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(280, 10));
    EXPECT_TRUE(help->isVisible());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_TRUE(help->isVisible());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(291, 21));
    EXPECT_FALSE(help->isVisible());
}

// One rectangle for the click and the picture: the button is drawn (with its 2-pixel outline)
// exactly around the rectangle that takes the clicks.
TEST_F(StyledContainers, GroupBoxDrawsItsHelpButtonWhereItTakesClicks)
{
    GroupBoxWithHelp g;
    VektGroupBox* box = g.box;
    QWidget* help = g.help;
    const QImage image = box->grab().toImage();
    const QRect r = box->helpButtonRect();
    const QRgb fill = themeColors().SettingGroupHdr_HelpButton_Bgr.rgb();
    struct Probe { int x; bool button; };
    for (const Probe& p : {Probe{r.left() - 2, false}, Probe{r.left() - 1, true}, Probe{r.left() + 16, true}, Probe{r.left() + 17, false}}) {
        EXPECT_EQ(image.pixelColor(p.x, r.center().y()).rgb() == fill, p.button) << "x " << p.x;
    }
}

TEST_F(StyledContainers, HelpLinksAreRecoloured)
{
    const QColor link(1, 2, 3);
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"<a href=\"x\">x</a>", "<a style=\"color:#010203\" href=\"x\">x</a>"},
        {"<a href=\"x\" style=\"color:red\">x</a>", "<a style=\"color:#010203\" href=\"x\">x</a>"},
        // only double-quoted style attributes go; the colour still comes first
        {"<a href='x' style='color:red'>x</a>", "<a style=\"color:#010203\" href='x' style='color:red'>x</a>"},
        {"no links", "no links"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(recolorHelpLinks(k.in, link), QString(k.out)) << k.in;
}

TEST_F(StyledContainers, HelpLabelHidesOnAClickThatIsNoLink)
{
    QWidget parent;
    auto* label = new VektHelpLabel(&parent);
    label->setText("Help <a href=\"x\">more</a>");
    label->resize(200, 60);
    parent.show();
    QSignalSpy clicked(label, &VektHelpLabel::clicked);
    label->onLinkActivated(); // as a click on the link does before its release
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(100, 30));
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(label, Qt::RightButton, {}, QPoint(100, 30));
    EXPECT_TRUE(label->isVisible());
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(100, 30));
    EXPECT_FALSE(label->isVisible());
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(StyledContainers, BannerElidesInTheMiddle)
{
    VektTopLabel banner;
    banner.resize(120, 27);
    banner.show();
    const QString text = "Corvane network agent on a host with a rather long name";
    banner.setText(text);
    EXPECT_EQ(banner.fullText(), text);
    EXPECT_TRUE(banner.text().startsWith("Cor"));
    EXPECT_TRUE(banner.text().endsWith("name"));
    EXPECT_TRUE(banner.text().contains(QChar(0x2026)));
    banner.resize(2000, 27);
    EXPECT_EQ(banner.text(), text);
    EXPECT_EQ(banner.palette().color(QPalette::Window), themeColors().Wizard_BannerBgr);
}

struct TabBarFixture
{
    VektTabWidget widget;
    VektTabBar* bar = widget.vektTabBar();
    int base = 0, tab = 0;

    TabBarFixture(int mode, const QStringList& texts, int width)
    {
        bar->mode = mode;
        for (const QString& t : texts)
            widget.addTab(new QWidget, t);
        bar->resize(width, 40);
        base = bar->style()->pixelMetric(QStyle::PM_TabBarBaseHeight, nullptr, bar);
        tab = bar->style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, bar);
    }
    QRect span(int left, int right) const { return QRect(QPoint(left, base - tab), QPoint(right, base)); }
    int boldWidth(const QString& text) const
    {
        QFont bold = bar->font();
        bold.setWeight(75);
        return QFontMetrics(bold).size(Qt::TextShowMnemonic, text).width();
    }
};

TEST_F(StyledContainers, MainRowTabLayout)
{
    TabBarFixture f(0, {"Manage", "Configure", "Logs", "?", "About"}, 600);
    const int w1 = qMin(f.boldWidth("Configure") + 68, 600 - 241);
    const int w2 = qMin(f.boldWidth("Logs") + 68, 600 - 241);
    EXPECT_EQ(f.bar->tabRectFor(0), f.span(6, 106));
    EXPECT_EQ(f.bar->tabRectFor(1), f.span(110, 110 + w1));
    EXPECT_EQ(f.bar->tabRectFor(2), f.span(110, 110 + w2));
    EXPECT_EQ(f.bar->tabRectFor(3), f.span(110 + w2 + 4, 110 + w2 + 34));
    EXPECT_EQ(f.bar->tabRectFor(4), f.span(600 - 103, 600 - 13));
    EXPECT_TRUE(f.bar->tabRectFor(5).isNull());
    EXPECT_TRUE(f.bar->tabRectFor(-1).isNull());
    EXPECT_EQ(f.bar->sizeHint().height(), f.base);
    // tab 1 counts at most 90 towards the minimum width
    const int expected = 100 + qMin(w1, 90) + w2 + 30 + 100 + 5 * 3 + 15;
    EXPECT_EQ(f.bar->minimumSizeHint().width(), expected);
}

TEST_F(StyledContainers, NarrowMainRowGivesTextTabsNoNegativeWidth)
{
    TabBarFixture f(0, {"Manage", "Configure", "Logs"}, 100);
    EXPECT_EQ(f.bar->tabRectFor(1), f.span(110, 110));
}

TEST_F(StyledContainers, SideBySideTabLayouts)
{
    struct Case { int mode; int start; bool minimum110; };
    const Case cases[] = {{1, 5, true}, {2, 10, true}, {3, 5, false}, {7, 5, false}};
    for (const Case& k : cases) {
        TabBarFixture f(k.mode, {"A", "", "A much longer tab text than any minimum"}, 800);
        int left = k.start;
        for (int i = 0; i < 3; ++i) {
            const QString text = f.bar->tabText(i);
            int width;
            if (k.mode == 7) // other modes size tabs as mode 0
                width = i == 0 ? 100 : qMin(f.boldWidth(text) + 68, 800 - 241);
            else
                width = (k.minimum110 ? qMax(110, f.boldWidth(text)) : f.boldWidth(text)) + 16;
            EXPECT_EQ(f.bar->tabRectFor(i), f.span(left, left + width)) << k.mode << " " << i;
            left += width + 3;
        }
        if (k.mode == 3) {
            EXPECT_EQ(f.bar->tabRectFor(1).right() - f.bar->tabRectFor(1).left(), 16) << "an empty text is 16 wide";
        }
    }
}

TEST_F(StyledContainers, EmptyTabBar)
{
    TabBarFixture f(0, {}, 300);
    EXPECT_EQ(f.bar->minimumSizeHint().width(), 15);
    f.bar->repaint(); // draws nothing, does not fail
}

// Each widget's colours come from the active set when it is made; the ones connected to the
// switch take the new set's colours when it is announced.
TEST_F(StyledContainers, WidgetsTakeTheActiveColoursAndFollowASwitch)
{
    struct Widgets
    {
        VektSettingsWidget header;
        VektHelpLabel help;
        VektTopLabel banner;
        VektTabWidget tabs;
        VektRadioButton radio;
        VektToolButton tool;
        VektComboBox combo;
    };
    struct Role { const char* what; QWidget* widget; QPalette::ColorRole role; QColor color; bool followsSwitch; };
    auto roles = [](Widgets& w, const ThemeColors& c) {
        return std::vector<Role>{
            {"header text", &w.header, QPalette::ButtonText, c.SettingGroupHdr_Text, true},
            {"help text", &w.help, QPalette::WindowText, c.SettingGroup_HelpLabel_Text, true},
            {"help link", &w.help, QPalette::Link, c.Link_Normal, true},
            {"banner text", &w.banner, QPalette::WindowText, QColor(Qt::white), true},
            {"banner background", &w.banner, QPalette::Window, c.Wizard_BannerBgr, true},
            {"tab text", &w.tabs, QPalette::WindowText, c.TabBar_Tab_Text, true},
            {"selected tab text", &w.tabs, QPalette::HighlightedText, c.TabBar_SelectedTab_Text, true},
            {"tab balloon text", &w.tabs, QPalette::BrightText, c.TabBar_NewsTabBalloon_Text, true},
            {"tab button text", &w.tabs, QPalette::ButtonText, c.Text_Default, true},
            {"radio text", &w.radio, QPalette::WindowText, c.RadioButton_Text, true},
            {"tool button text", &w.tool, QPalette::ButtonText, c.ButtonText_Default, false},
            {"combo list border", &w.combo, QPalette::WindowText, c.ComboBox_List_Border, false},
        };
    };
    auto check = [&](Widgets& w, const ThemeColors& c, bool switched, const char* when) {
        for (const Role& r : roles(w, c)) {
            if (switched && !r.followsSwitch)
                continue;
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                EXPECT_EQ(r.widget->palette().color(group, r.role), r.color) << when << ": " << r.what << " group " << group;
            }
        }
        EXPECT_EQ(w.help.styleSheet(), QString("color: %1;").arg(c.SettingGroup_HelpLabel_Text.name())) << when;
        // the link carries the set's colour once, the old colour attribute dropped
        EXPECT_EQ(w.help.text().count("style="), 1) << when << ": " << qPrintable(w.help.text());
        EXPECT_TRUE(w.help.text().contains(c.Link_Normal.name())) << when << ": " << qPrintable(w.help.text());
    };
    ASSERT_NE(lightColors.Text_Default, darkColors.Text_Default);
    for (bool dark : {false, true}) {
        app()->applyTheme(dark ? "dark" : "light");
        Widgets w;
        w.help.setText("See <a href=\"x\">more</a>");
        w.help.applyHelpPalette();
        check(w, dark ? darkColors : lightColors, false, dark ? "made dark" : "made light");
    }
    app()->applyTheme("light");
    Widgets w;
    w.help.setText("See <a href=\"x\">more</a>");
    w.help.applyHelpPalette();
    app()->applyTheme("dark");
    app()->emitThemeSwitched();
    check(w, darkColors, true, "switched to dark");
    app()->applyTheme("light");
}

} // namespace
