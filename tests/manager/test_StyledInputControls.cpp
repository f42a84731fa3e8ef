#include "app/MyApplication.h"
#include "widgets/InheritedParameter.h"
#include "widgets/VektCheckBox.h"
#include "widgets/VektComboBox.h"
#include "widgets/VektLineEdit.h"
#include "widgets/VektPushButton.h"
#include "widgets/VektRadioButton.h"
#include "widgets/VektSpinBox.h"
#include "widgets/VektTextEdit.h"
#include "themes/ThemeColors.h"

#include "support/EventLoopWait.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct Balloon { QString text; QWidget* control = nullptr; };
std::vector<Balloon> g_balloons;

void recordBalloon(const QPoint&, const QString& text, QWidget* control) { g_balloons.push_back({text, control}); }

// Counts the presses that got past the control's own filter.
template <class Base>
struct Recording : Base
{
    int presses = 0;
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        Base::mousePressEvent(event);
    }
};

class StyledInputControls : public ::testing::Test
{
protected:
    // the built-in colour sets, light active, so that colour checks can tell fields apart
    static void SetUpTestSuite()
    {
        loadThemes(":/themes/light.json", ":/themes/dark.json", QString(), QString());
        if (auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance()))
            app->applyTheme("light");
    }
    void SetUp() override
    {
        g_balloons.clear();
        setInheritedBalloonSink(recordBalloon);
    }
    void TearDown() override { setInheritedBalloonSink(nullptr); }
};

const QString kFromParent = "This parameter is inherited from parent node. You can break the inheritance and edit the parameter.";
const QString kFromRule = "This parameter is inherited from the alerting rule selected above. You can choose to set alerts "
                          "independently, then edit the parameter.";

TEST_F(StyledInputControls, InheritedPressesAreSwallowedWithTheirBalloon)
{
    struct Case {
        const char* what;
        std::function<QWidget*(bool readOnly, bool inherited, bool rule)> make;
        std::function<int(QWidget*)> presses;
        bool readOnly, inherited, rule;
        bool passes;          // the press reached the control
        QString balloon;      // empty: none shown
    };
    auto combo = [](bool ro, bool inh, bool rule) -> QWidget* {
        auto* w = new Recording<VektComboBox>; w->setReadOnly(ro); w->setInherited(inh, rule); return w; };
    auto check = [](bool ro, bool inh, bool rule) -> QWidget* {
        auto* w = new Recording<VektCheckBox>; w->setReadOnly(ro); w->setInherited(inh, rule); return w; };
    auto push = [](bool ro, bool inh, bool rule) -> QWidget* {
        auto* w = new Recording<VektPushButton>; w->setReadOnly(ro); w->setInherited(inh, rule); return w; };
    auto radio = [](bool ro, bool inh, bool rule) -> QWidget* {
        auto* w = new Recording<VektRadioButton>; w->setReadOnly(ro); w->setInherited(inh, rule); return w; };
    auto spin = [](bool ro, bool inh, bool rule) -> QWidget* {
        auto* w = new Recording<VektSpinBox>; w->setReadOnly(ro); w->setInherited(inh, rule); return w; };
    auto line = [](bool ro, bool inh, bool rule) -> QWidget* {
        auto* w = new Recording<VektLineEdit>; w->setReadOnly(ro); w->setInherited(inh, rule); return w; };
    auto count = [](QWidget* w) -> int {
        if (auto* x = dynamic_cast<Recording<VektComboBox>*>(w)) return x->presses;
        if (auto* x = dynamic_cast<Recording<VektCheckBox>*>(w)) return x->presses;
        if (auto* x = dynamic_cast<Recording<VektPushButton>*>(w)) return x->presses;
        if (auto* x = dynamic_cast<Recording<VektRadioButton>*>(w)) return x->presses;
        if (auto* x = dynamic_cast<Recording<VektSpinBox>*>(w)) return x->presses;
        if (auto* x = dynamic_cast<Recording<VektLineEdit>*>(w)) return x->presses;
        return -1;
    };
    const Case cases[] = {
        {"combo inherited", combo, count, false, true, false, false, kFromParent},
        {"combo from rule", combo, count, false, true, true, false, kFromRule},
        {"combo read-only inherited", combo, count, true, true, false, false, {}},
        {"combo plain", combo, count, false, false, false, true, {}},
        {"check inherited", check, count, false, true, false, false, kFromParent},
        {"check read-only", check, count, true, false, false, false, {}},
        {"push inherited", push, count, false, true, true, false, kFromRule},
        {"radio inherited", radio, count, false, true, false, false, kFromParent},
        {"radio plain", radio, count, false, false, false, true, {}},
        {"spin inherited", spin, count, false, true, false, false, kFromParent},
        {"spin read-only inherited passes", spin, count, true, true, false, true, {}},
        {"line inherited", line, count, false, true, true, false, kFromRule},
        {"line read-only inherited passes", line, count, true, true, false, true, {}},
    };
    for (const Case& c : cases) {
        g_balloons.clear();
        std::unique_ptr<QWidget> widget(c.make(c.readOnly, c.inherited, c.rule));
        widget->resize(120, 30);
        widget->show();
        QTest::mousePress(widget.get(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, QPoint(10, 10));
        EXPECT_EQ(c.presses(widget.get()) > 0, c.passes) << c.what;
        if (c.balloon.isEmpty()) {
            EXPECT_TRUE(g_balloons.empty()) << c.what;
        } else {
            ASSERT_EQ(g_balloons.size(), 1u) << c.what;
            EXPECT_EQ(g_balloons[0].text, c.balloon) << c.what;
            EXPECT_EQ(g_balloons[0].control, widget.get()) << c.what;
        }
    }
}

TEST_F(StyledInputControls, InheritedCheckBoxDoesNotToggle)
{
    VektCheckBox box;
    box.setInherited(true, false);
    box.resize(100, 20);
    box.show();
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(g_balloons.size(), 1u);
}

TEST_F(StyledInputControls, EditorOfAnInheritedComboSpeaksForTheCombo)
{
    VektComboBox combo;
    combo.setEditable(true);
    auto* editor = new Recording<VektLineEdit>;
    combo.setLineEdit(editor);
    combo.setInherited(true, true);
    combo.resize(150, 30);
    combo.show();
    QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(editor->presses, 0);
    ASSERT_EQ(g_balloons.size(), 1u);
    EXPECT_EQ(g_balloons[0].text, kFromRule);

    g_balloons.clear();
    combo.setReadOnly(true); // a read-only combo's editor lets the press through
    QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(editor->presses, 1);
    EXPECT_TRUE(g_balloons.empty());
}

// True when the control took the wheel turn; an ignored turn goes on to the parent widget.
bool turnWheel(QWidget* target, int delta)
{
    const QPointF at(5, 5);
    QWheelEvent event(at, target->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
    return event.isAccepted();
}

TEST_F(StyledInputControls, WheelTurnsOnlyAFocusedControl)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QLineEdit; // takes the focus when the window opens
    auto* combo = new VektComboBox;
    combo->addItems({"a", "b", "c"});
    combo->setCurrentIndex(1);
    auto* spin = new VektSpinBox;
    spin->setValue(5);
    layout->addWidget(first);
    layout->addWidget(combo);
    layout->addWidget(spin);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow() && first->hasFocus(); }));

    EXPECT_FALSE(turnWheel(combo, -120));
    EXPECT_FALSE(turnWheel(spin, 120));
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(spin->value(), 5);

    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(waitUntil([&] { return spin->hasFocus(); }));
    EXPECT_EQ(spin->focusPolicy(), Qt::WheelFocus);
    EXPECT_TRUE(turnWheel(spin, 120));
    EXPECT_EQ(spin->value(), 6);

    combo->setFocus();
    ASSERT_TRUE(waitUntil([&] { return combo->hasFocus(); }));
    EXPECT_EQ(spin->focusPolicy(), Qt::StrongFocus);
    EXPECT_TRUE(turnWheel(combo, -120));
    EXPECT_EQ(combo->currentIndex(), 2);

    combo->setReadOnly(true); // a read-only combo box never turns
    EXPECT_FALSE(turnWheel(combo, 120));
    EXPECT_EQ(combo->currentIndex(), 2);
}

TEST_F(StyledInputControls, TextEditKeepsItsMaximumLength)
{
    VektTextEdit edit;
    edit.maxLength = 5;
    QApplication::clipboard()->setText("abcdefgh");
    edit.editor()->paste();
    EXPECT_EQ(edit.editor()->toPlainText(), "abcde");
    // typed in the middle: the characters just typed go, not the tail
    edit.maxLength = 7;
    QTextCursor cursor = edit.editor()->textCursor();
    cursor.setPosition(2);
    edit.editor()->setTextCursor(cursor);
    edit.editor()->insertPlainText("XYZ");
    EXPECT_EQ(edit.editor()->toPlainText(), "abXYcde");
}

TEST_F(StyledInputControls, LineEditEmitsTheSimplifiedTextOnce)
{
    VektLineEdit edit;
    QSignalSpy spy(&edit, &VektLineEdit::sanitizedTextChanged);
    edit.setText("  two   words ");
    edit.setText("two words");
    edit.setText(" two\twords");
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "two words");
    edit.setText("three");
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(StyledInputControls, ComboPopupIsWideEnoughForItsItems)
{
    VektComboBox combo;
    const QFontMetrics metrics(combo.view()->font());
    // a text whose width lies in (first + lo, first + hi)
    auto textWithin = [&](const QString& first, int lo, int hi) {
        const int base = metrics.horizontalAdvance(first);
        QString text = first;
        for (const QChar pad : {QChar('i'), QChar('x'), QChar('W')})
            for (int n = 0; n < 40; ++n) {
                const QString candidate = first + QString(n, pad);
                const int extra = metrics.horizontalAdvance(candidate) - base;
                if (extra > lo && extra < hi)
                    return candidate;
            }
        return text;
    };
    const QString first = "Monitor";
    const int firstWidth = metrics.horizontalAdvance(first);

    combo.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo.addItem(first);
    EXPECT_EQ(combo.view()->minimumWidth(), 0) << "other policies leave the popup alone";

    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    combo.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLength);
    QT_WARNING_POP
    combo.clear();
    combo.addItem(first);
    EXPECT_EQ(combo.view()->minimumWidth(), firstWidth + 20);
    const QString slightlyWider = textWithin(first, 0, 10);
    combo.addItem(slightlyWider);
    EXPECT_EQ(combo.view()->minimumWidth(), firstWidth + 20) << "less than 10 wider keeps the width";
    const QString muchWider = textWithin(first, 10, 30);
    combo.addItems({muchWider});
    EXPECT_EQ(combo.view()->minimumWidth(), metrics.horizontalAdvance(muchWider) + 20);
}

TEST_F(StyledInputControls, CheckBoxMeasuresRichTextAsLaidOut)
{
    VektCheckBox box;
    const QString markup = "<span style=\"font-weight:600\">On</span>";
    box.setText(markup);
    const QSize hint = box.sizeHint();
    EXPECT_LT(hint.width(), QFontMetrics(box.font()).horizontalAdvance(markup));
    EXPECT_EQ(box.minimumSizeHint(), hint);
    QSignalSpy spy(&box, &VektCheckBox::focused);
    box.show();
    QApplication::setActiveWindow(&box);
    box.setFocus();
    EXPECT_TRUE(waitUntil([&] { return spy.count() == 1; }));
}

TEST_F(StyledInputControls, RadioButtonTakesItsThemeColour)
{
    VektRadioButton radio("r");
    EXPECT_EQ(radio.palette().color(QPalette::WindowText), themeColors().RadioButton_Text);
    EXPECT_EQ(radio.styleSheet(), QString("QRadioButton { color: %1; }").arg(themeColors().RadioButton_Text.name()));
    EXPECT_FALSE(VektPushButton().hoverSuppressed);
    EXPECT_EQ(VektPushButton().buttonKind, 11);
}

} // namespace
