#include "app/MyApplication.h"
#include "themes/ColorTransforms.h"
#include "themes/ThemeColors.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QColor rgba(int r, int g, int b, int a = 255) { return QColor(r, g, b, a); }

TEST(ThemeColors, ReadsOneColourFromItsArray)
{
    const QJsonObject theme = QJsonDocument::fromJson(R"({
        "two": [1, 2], "three": [1, 2, 3], "four": [1, 2, 3, 4], "five": [1, 2, 3, 4, 5],
        "over": [256, 0, 0], "negative": [0, -1, 0], "fraction": [12.5, 7, 8],
        "text": ["a", 7, 8], "notArray": 7, "empty": []})").object();
    struct Case { const char* name; QColor expected; };
    const Case cases[] = {
        {"two", rgba(1, 2, 0)},       {"three", rgba(1, 2, 3)},     {"four", rgba(1, 2, 3, 4)},
        {"five", rgba(1, 2, 3, 4)},   {"over", QColor()},           {"negative", QColor()},
        {"fraction", rgba(0, 7, 8)},  {"text", rgba(0, 7, 8)},      {"notArray", rgba(0, 0, 0)},
        {"empty", rgba(0, 0, 0)},     {"missing", rgba(0, 0, 0)},
    };
    for (const Case& c : cases) {
        const QColor color = readThemeColor(theme, QString::fromLatin1(c.name));
        EXPECT_EQ(color.isValid(), c.expected.isValid()) << c.name;
        if (c.expected.isValid()) {
            EXPECT_EQ(color.rgba(), c.expected.rgba()) << c.name;
        }
    }
}

TEST(ThemeColors, LoadsFilesAndFallsBackOnlyWhenAFileFails)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString partial = dir.filePath("partial.json");
    const QString outOfRange = dir.filePath("range.json");
    const QString array = dir.filePath("array.json");
    const QString broken = dir.filePath("broken.json");
    const QString empty = dir.filePath("empty.json");
    writeFile(partial, R"({"Window_Bgr": [1, 2, 3], "Unknown_Name": [9, 9, 9]})");
    writeFile(outOfRange, R"({"Window_Bgr": [1, 2, 300], "Text_Default": [4, 5, 6]})");
    writeFile(array, "[[1, 2, 3]]");
    writeFile(broken, R"({"Window_Bgr": [1, 2, )");
    writeFile(empty, "");
    const QString builtInLight = ":/themes/light.json";
    const QString builtInDark = ":/themes/dark.json";

    struct Case { const char* what; QString override; QColor windowBgr; QColor textDefault; };
    const Case cases[] = {
        // a partial override wins: absent names are opaque black, the built-in file unused
        {"partial", partial, rgba(1, 2, 3), rgba(0, 0, 0)},
        {"out of range", outOfRange, QColor(), rgba(4, 5, 6)},
        {"array", array, rgba(255, 255, 255), rgba(0, 0, 0)},
        {"bad JSON", broken, rgba(255, 255, 255), rgba(0, 0, 0)},
        {"empty file", empty, rgba(255, 255, 255), rgba(0, 0, 0)},
        {"missing", dir.filePath("missing.json"), rgba(255, 255, 255), rgba(0, 0, 0)},
        {"a folder", dir.path(), rgba(255, 255, 255), rgba(0, 0, 0)},
    };
    for (const Case& c : cases) {
        lightColors = ThemeColors();
        EXPECT_TRUE(loadThemes(c.override, c.override, builtInLight, builtInDark)) << c.what;
        EXPECT_EQ(lightColors.Window_Bgr.isValid(), c.windowBgr.isValid()) << c.what;
        if (c.windowBgr.isValid()) {
            EXPECT_EQ(lightColors.Window_Bgr.rgba(), c.windowBgr.rgba()) << c.what;
        }
        EXPECT_EQ(lightColors.Text_Default.rgba(), c.textDefault.rgba()) << c.what;
    }

    // without a fallback a failing file leaves its set as it was and the load reports it
    ThemeColors untouched;
    untouched.Window_Bgr = rgba(7, 7, 7);
    EXPECT_FALSE(loadThemeFile(broken, untouched));
    EXPECT_EQ(untouched.Window_Bgr, rgba(7, 7, 7));
    lightColors = ThemeColors();
    EXPECT_FALSE(loadThemes(broken, builtInDark, QString(), QString()));
    EXPECT_FALSE(lightColors.Window_Bgr.isValid());
    EXPECT_EQ(darkColors.Window_Bgr, rgba(44, 47, 53));
}

double luminance(const QColor& c)
{
    auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ThemeColors, BuiltInFilesHoldEveryNameInOrderWithThreeComponents)
{
    for (const char* path : {":/themes/dark.json", ":/themes/light.json"}) {
        QFile file(QString::fromLatin1(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        const QByteArray bytes = file.readAll();
        const QJsonObject theme = QJsonDocument::fromJson(bytes).object();
        EXPECT_EQ(theme.size(), theme::kColorCount) << path;
        int lastOffset = -1;
        for (int i = 0; i < theme::kColorCount; ++i) {
            const QString name = QString::fromLatin1(themeColorNames()[i]);
            const QJsonArray rgb = theme.value(name).toArray();
            ASSERT_EQ(rgb.size(), 3) << path << " " << themeColorNames()[i];
            for (const QJsonValue& v : rgb)
                EXPECT_TRUE(v.isDouble() && v.toInt(-1) >= 0 && v.toInt(-1) <= 255) << themeColorNames()[i];
            const int offset = bytes.indexOf("\"" + name.toLatin1() + "\"");
            EXPECT_GT(offset, lastOffset) << path << " " << themeColorNames()[i];
            lastOffset = offset;
        }
    }
}

TEST(ThemeColors, BuiltInThemesAreReadable)
{
    ThemeColors dark, light;
    ASSERT_TRUE(loadThemeFile(":/themes/dark.json", dark));
    ASSERT_TRUE(loadThemeFile(":/themes/light.json", light));
    // a few of the fixed values
    EXPECT_EQ(dark.Window_Bgr, rgba(44, 47, 53));
    EXPECT_EQ(light.Settings_PageSubHeader_EnabledText, rgba(0, 146, 189));
    EXPECT_EQ(dark.Wizard_BannerBgr, rgba(0, 100, 132));
    EXPECT_EQ(light.RadioButton_Text, rgba(60, 60, 60));
    for (const char* path : {":/themes/dark.json", ":/themes/light.json"}) {
        QFile file(QString::fromLatin1(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonObject theme = QJsonDocument::fromJson(file.readAll()).object();
        const QColor text = readThemeColor(theme, "Text_Default");
        EXPECT_GE(contrast(text, readThemeColor(theme, "Window_Bgr")), 7.0) << path;
        // button text is white in both themes: every enabled button face must carry it
        const QColor buttonText = readThemeColor(theme, "ButtonText_Default");
        for (int i = 0; i < theme::kColorCount; ++i) {
            const QString name = QString::fromLatin1(themeColorNames()[i]);
            if (name.contains("GradientButton") && !name.contains("Disabled")) {
                EXPECT_GE(contrast(buttonText, readThemeColor(theme, name)), 3.0) << path << " " << themeColorNames()[i];
            }
        }
        // text on the faces and strips that carry it
        const std::pair<const char*, const char*> texts[] = {
            {"InheritButtonNormalTextColor", "InheritButtonGradientNormalStart"},
            {"InheritButtonNormalTextColor", "InheritButtonGradientNormalStop"},
            {"InheritButtonNormalTextColor", "InheritButtonGradientHoverStart"},
            {"InheritButtonNormalTextColor", "InheritButtonGradientHoverStop"},
            {"InheritButtonNormalTextColor", "InheritButtonGradientFocusedStart"},
            {"InheritButtonNormalTextColor", "InheritButtonGradientPressedStop"},
            {"Header_Text", "Header_Section_Bgr"},
            {"UpperMenu_EnabledText", "UpperMenu_Bgr"},
            {"UpperMenu_EnabledText", "UpperMenu_SelectedMenu_Bgr"},
            {"SettingGroup_HelpLabel_Text", "SettingGroup_HelpLabel_Bgr"},
            {"RadioButton_Text", "Window_Bgr"},
        };
        for (const auto& [fore, back] : texts) {
            EXPECT_GE(contrast(readThemeColor(theme, fore), readThemeColor(theme, back)), 4.5) << path << " " << fore << " on " << back;
        }
        // the text edit's frame reads as one border line: the lines inside it are the field's background
        const QColor field = readThemeColor(theme, "Window_Bgr");
        const QColor disabledField = readThemeColor(theme, "TextEdit_Disabled_Border_InnerLine");
        EXPECT_EQ(readThemeColor(theme, "TextEdit_Border_MiddleLine"), field) << path;
        EXPECT_EQ(readThemeColor(theme, "TextEdit_Border_InnerLine"), field) << path;
        EXPECT_EQ(readThemeColor(theme, "TextEdit_Disabled_Border_MiddleLine"), disabledField) << path;
        EXPECT_EQ(readThemeColor(theme, "TextEdit_Disabled_Border_ExtraLine"), disabledField) << path;
        for (const char* border : {"TextEdit_Border_OuterLine", "TextEdit_Focused_Border_OuterLine"}) {
            const double c = contrast(readThemeColor(theme, border), field);
            EXPECT_TRUE(c >= 1.5 && c < 7.0) << path << " " << border << " a border, not a block: " << c;
        }
    }
}

TEST(ThemeColors, PixelTransforms)
{
    struct Case { const char* what; QColor (*transform)(const QColor&); QColor in; QColor out; };
    const Case cases[] = {
        {"grey tint", stripGrayTint, rgba(100, 100, 100), rgba(18, 19, 21)},
        {"grey tint keeps transparent", stripGrayTint, rgba(100, 100, 100, 0), rgba(100, 100, 100, 0)},
        {"grey tint of black", stripGrayTint, rgba(0, 0, 0, 9), rgba(0, 0, 0, 9)},
        {"three quarters", dimThreeQuarters, rgba(255, 101, 3, 77), rgba(191, 75, 2, 77)},
        {"invert 40 of white", invertClamp40, rgba(255, 255, 255), rgba(40, 40, 40)},
        {"invert 40 of black", invertClamp40, rgba(0, 0, 0), rgba(140, 140, 140)},
        {"invert 40 keeps alpha", invertClamp40, rgba(200, 150, 180, 12), rgba(55, 105, 75, 12)},
        {"invert 80 of white", invertClamp80, rgba(255, 255, 255), rgba(80, 80, 80)},
        {"keep blue", invertClamp40KeepBlue, rgba(10, 20, 200), rgba(10, 20, 200)},
        {"keep blue inverts grey", invertClamp40KeepBlue, rgba(255, 255, 255), rgba(40, 40, 40)},
        {"keep blue needs blue above both", invertClamp40KeepBlue, rgba(10, 200, 200), rgba(140, 55, 55)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.transform(c.in).rgba(), c.out.rgba()) << c.what;
}

TEST(ThemeColors, LookupFollowsTheActiveSet)
{
    auto* app = qobject_cast<MyApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    app->activeColors = nullptr;
    EXPECT_EQ(&themeColors(), &lightColors);
    app->activeColors = &darkColors;
    EXPECT_EQ(&themeColors(), &darkColors);
    app->activeColors = nullptr;
}

} // namespace
