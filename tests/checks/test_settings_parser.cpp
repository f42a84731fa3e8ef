// Settings parsing and the shared readers of settings and replies.

#include "support/PluginTestHost.h"
#include "zam_settings.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class SettingsParser : public ::testing::Test
{
protected:
    void SetUp() override { zam_plugin_register_log_cb(&PluginTestHost::logSink); }
    void TearDown() override { zam_plugin_register_log_cb(nullptr); }
    PluginTestHost host{QString()};
    PluginTestRecord rec;
};

TEST_F(SettingsParser, FillsTargetsByNameAndSkipsServiceSettingsSilently)
{
    int port = 0;
    const PluginOption options[] = {{1, "Port", 0x1, &port, nullptr, nullptr}, {0, nullptr, 0, nullptr, nullptr, nullptr}};
    rec.addSetting("Port", "80", 80, 'i');
    rec.addSetting("$Proxy Credentials Id", "-1", -1, 'i');
    int found = -1;
    EXPECT_EQ(pluginParseSettings(&rec.mon.settings, options, &found), 1);
    EXPECT_EQ(port, 80);
    EXPECT_EQ(found, 0x1);
    EXPECT_TRUE(host.logLines().isEmpty());

    rec.addSetting("Colour", "red");
    rec.addSetting(" Port", "81", 81, 'i');  // a leading blank makes another name
    EXPECT_EQ(pluginParseSettings(&rec.mon.settings, options, &found), 1);
    EXPECT_EQ(port, 80);
    EXPECT_EQ(host.logTexts(ZAM_LOG_ERROR),
              (QStringList{QStringLiteral("found unknown monitor setting Colour"),
                           QStringLiteral("found unknown monitor setting  Port")}));
}

TEST_F(SettingsParser, TargetKindsMatchByIdAndLastEntryWins)
{
    int number = 0, byId = 0, unused = 0;
    std::string text;
    std::wstring wide;
    const PluginOption options[] = {
        {1, "Number", 0x01, &number, nullptr, nullptr},
        {2, "Text", 0x02, &unused, &text, &wide},   // the text target wins
        {3, "Wide", 0x04, &unused, nullptr, &wide},  // the wide target wins over the int one
        {'e', nullptr, 0x08, &byId, nullptr, nullptr},
        {5, "Nothing", 0x10, nullptr, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    rec.addSetting("Number", "1", 1, 'i');
    rec.addSetting("Text", "h\xC3\xA9llo");
    rec.addSetting("Wide", "\xE2\x82\xAC\xF0\x9F\x98\x80");
    rec.addSetting("Unnamed by table", "", 7, 'e');
    rec.addSetting("Nothing", "x");
    rec.addSetting("Number", "2", 2, 'i');
    int found = 0;
    EXPECT_EQ(pluginParseSettings(&rec.mon.settings, options, &found), 1);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(text, "h\xC3\xA9llo");
    EXPECT_EQ(wide, std::wstring(L"\u20AC\U0001F600"));
    EXPECT_EQ(byId, 7);
    EXPECT_EQ(unused, 0);
    EXPECT_EQ(found, 0x0F);

    // An absent text gives an empty string.
    rec.clearSettings();
    rec.addNullTextSetting("Text", 3);
    text = "old";
    EXPECT_EQ(pluginParseSettings(&rec.mon.settings, options, &found), 1);
    EXPECT_EQ(text, "");
    EXPECT_EQ(found, 0x02);
}

TEST_F(SettingsParser, MissingPiecesAnswerFalseWithoutCrashing)
{
    const PluginOption empty[] = {{0, nullptr, 0, nullptr, nullptr, nullptr}};
    int found = 5;
    EXPECT_EQ(pluginParseSettings(nullptr, empty, &found), 0);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(pluginParseSettings(&rec.mon.settings, nullptr, &found), 0);
    EXPECT_EQ(pluginParseSettings(&rec.mon.settings, empty, nullptr), 1);
    stZamSettings broken{3, 0, nullptr};
    EXPECT_EQ(pluginParseSettings(&broken, empty, &found), 0);
    EXPECT_EQ(findSetting(&broken, "x"), nullptr);
    EXPECT_EQ(findSetting(nullptr, "x"), nullptr);
    EXPECT_EQ(findSetting(&rec.mon.settings, nullptr), nullptr);
    EXPECT_FALSE(findIntInStr(nullptr, 0));

    rec.addSetting("A", "1");
    rec.addSetting("B", "2");
    rec.addSetting("A", "3");
    ASSERT_NE(findSetting(&rec.mon.settings, "A"), nullptr);
    EXPECT_STREQ(findSetting(&rec.mon.settings, "A")->valueText, "1");
    EXPECT_EQ(findSetting(&rec.mon.settings, "C"), nullptr);
}

TEST(SettingsReaders, FindIntInStr)
{
    struct {
        const char* text;
        int value;
        bool found;
    } cases[] = {
        {"1,2,3", 2, true}, {"1,x,3", 3, false}, {"", 0, false}, {" 7, 8", 8, true}, {"-4,5", -4, true},
        {"12", 1, false}, {"1,,2", 2, false}, {"99999999999999999999,5", 5, true}, {",5", 5, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(findIntInStr(c.text, c.value), c.found) << "'" << c.text << "' " << c.value;
}

TEST(SettingsReaders, GetArgsList)
{
    struct {
        const char* text;
        QStringList args;
    } cases[] = {
        {"run \"a b\" c", {"run", "\"a b\"", "c"}},
        {"\"one phrase\"", {"\"one phrase\""}},
        {"two  words", {"two", "words"}},
        {"", {}},
        {"   ", {}},
        {"x \"unclosed", {"x", "\"unclosed\""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(getArgsList(QString::fromUtf8(c.text)), c.args) << c.text;
}

TEST(SettingsReaders, StripDataMasksPasswords)
{
    struct {
        const char* text;
        const char* logged;
    } cases[] = {
        {"DSN=db;PWD=secret;UID=me", "DSN=db;PWD=*;UID=me"},
        {"dsn=db;pwd=secret;pwd=again;", "dsn=db;PWD=*;PWD=*;"},
        {"PWD=secret", "PWD=secret"},
        {"  a \n\t b  ", "a b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stripData(QString::fromUtf8(c.text)), QString::fromUtf8(c.logged)) << c.text;
}

TEST(SettingsReaders, DivisorIsReadInTheCLocaleWhateverTheProcessLocale)
{
    // A locale with a decimal comma, made for this test: none but C is installed here.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    if (QProcess::execute(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8", dir.filePath("de_DE.UTF-8")}) != 0)
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8";
    qputenv("LOCPATH", dir.path().toUtf8());
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(std::strtod("2.5", nullptr), 2.0);   // the process locale reads a comma
    struct Case { const char* text; bool ok; double value; };
    const Case cases[] = {{"2.5", true, 2.5}, {"2,5", true, 2.0}, {"0.5x", true, 0.5}, {"0", false, 0}, {"-1", false, 0}};
    for (const Case& c : cases) {
        double divisor = 0;
        EXPECT_EQ(readPositiveDivisor(c.text, divisor), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(divisor, c.value) << c.text;
        }
    }
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
}

TEST_F(SettingsParser, ValidateStrResponseModes)
{
    const char* nbsp = "\xC2\xA0";
    const std::string twoValues = std::string("OK") + nbsp + "ready";
    struct Case {
        int rule;
        int flags;
        const char* text;
        const char* reply;
        bool rejected;
    } cases[] = {
        {0, 0x01, twoValues.c_str(), "all ready now", false},
        {0, 0x01, twoValues.c_str(), "ALL READY", true},
        {0, 0x09, twoValues.c_str(), "ALL READY", false},
        {1, 0x03, twoValues.c_str(), "ready", false},
        {1, 0x03, twoValues.c_str(), "ready!", true},
        {0, 0x11, "r[a-z]+y", "is ready", false},
        {0, 0x13, "r[a-z]+y", "is ready", true},
        {0, 0x13, "is r[a-z]+y", "is ready", false},
        {0, 0x15, "r[a-z]+y", "is ready", true},
        {0, 0x03, "", "", false},
        {0, 0x07, "", "", true},
        {0, 0x01, "", "anything", false},
        {0, 0x03, "", "anything", true},
        {0, 0x11, "(", "(", true},       // a broken expression matches nothing
        {0, 0x00, "x", "y", false},      // inactive rule
        {2, 0x01, "x", "y", false},      // no such rule
        {-1, 0x01, "x", "y", false},
        {0, 0x01, nullptr, "y", false},  // no text: one empty value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rule) + " " + std::to_string(c.flags) + " '" + (c.text ? c.text : "null") +
                     "' '" + c.reply + "'");
        PluginTestRecord r;
        if (c.rule == 0 || c.rule == 1)
            r.setValidation(c.rule, c.flags, c.text);
        std::strcpy(r.mon.failReason, "before");
        validateStrResponse(&r.mon, c.rule, QString::fromUtf8(c.reply));
        const int idx = (c.rule == 1) ? 1 : 0;
        EXPECT_EQ(r.mon.validationFailed[idx], c.rejected ? 1 : 0);
        EXPECT_EQ(std::string(r.mon.failReason),
                  c.rejected ? std::string("invalid value: '") + c.reply + "'" : std::string("before"));
    }
    validateStrResponse(nullptr, 0, QStringLiteral("x"));
}

TEST_F(SettingsParser, ValidationTraceLines)
{
    rec.mon.logEnabled = 1;
    rec.mon.typeIndex = 6;
    rec.setHost("web", "", true);
    rec.setValidation(0, 0x01, "ok");
    validateStrResponse(&rec.mon, 0, QStringLiteral("ok"));
    validateStrResponse(&rec.mon, 0, QStringLiteral("bad"));
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE),
              (QStringList{QStringLiteral("web: HTTP(S) monitor, id=-1: validate response"),
                           QStringLiteral("web: HTTP(S) monitor, id=-1: validate response ok"),
                           QStringLiteral("web: HTTP(S) monitor, id=-1: validate response"),
                           QStringLiteral("web: HTTP(S) monitor, id=-1: invalid value: 'bad'")}));
}

}  // namespace
