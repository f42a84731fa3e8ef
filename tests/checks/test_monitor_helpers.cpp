// Result, failure-text and trace helpers of the monitor record.

#include "support/PluginTestHost.h"
#include "CTimerThread.h"
#include "Debug.h"
#include "zam_monitor_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class MonitorHelpers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        zam_plugin_register_log_cb(&PluginTestHost::logSink);
        rec.setHost("host.example", "10.0.0.5", true);
        rec.mon.typeIndex = 1;
        rec.mon.monitorId = 17;
        rec.mon.logEnabled = 1;
    }
    void TearDown() override { zam_plugin_register_log_cb(nullptr); }

    PluginTestHost host{QString()};
    PluginTestRecord rec;
};

bool validUtf8(const char* text)
{
    return !QString::fromUtf8(text).contains(QChar::ReplacementCharacter);
}

TEST_F(MonitorHelpers, LongReasonIsCutTo1022BytesAndTracedAsStored)
{
    const std::string arg(2000, 'a');
    setMonFailReasonFmt(&rec.mon, "%s", arg.c_str());
    EXPECT_EQ(std::strlen(rec.mon.failReason), 1022u);
    EXPECT_EQ(std::string(rec.mon.failReason), arg.substr(0, 1022));
    const QStringList trace = host.logTexts(ZAM_LOG_TRACE);
    ASSERT_EQ(trace.size(), 1);
    EXPECT_EQ(trace[0], QStringLiteral("host.example: TCP monitor, id=17: ") + QString::fromStdString(arg.substr(0, 1022)));
}

TEST_F(MonitorHelpers, CutNeverSplitsAUtf8Character)
{
    // Characters of 2, 3 and 4 bytes placed so that the 1022-byte limit falls on every byte.
    const char* chars[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    for (const char* ch : chars) {
        const size_t width = std::strlen(ch);
        for (size_t shift = 0; shift < width; ++shift) {
            SCOPED_TRACE(std::string(ch) + " shift " + std::to_string(shift));
            std::string text(1022 - width + 1 + shift, 'b');
            while (text.size() < 1100)
                text += ch;
            setMonFailReason(&rec.mon, text.c_str());
            const size_t len = std::strlen(rec.mon.failReason);
            EXPECT_LE(len, 1022u);
            EXPECT_GE(len, 1022u - 3);
            EXPECT_TRUE(validUtf8(rec.mon.failReason));
            EXPECT_EQ(std::memcmp(rec.mon.failReason, text.data(), len), 0);
        }
    }
    // A small buffer holding no whole character ends up empty.
    char small[4];
    EXPECT_EQ(safePrintf(small, sizeof small, "%s", "\xF0\x9F\x98\x80"), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(safePrintf(small, sizeof small, "%s", "a\xE2\x82\xAC"), 1);
    EXPECT_STREQ(small, "a");
}

TEST_F(MonitorHelpers, NullArgumentsChangeNothing)
{
    std::strcpy(rec.mon.failReason, "before");
    setMonFailReason(&rec.mon, nullptr);
    EXPECT_STREQ(rec.mon.failReason, "before");
    EXPECT_TRUE(host.logLines().isEmpty());

    setMonFailReason(nullptr, "x");
    setMonFailReasonFmt(nullptr, "%d", 1);
    EXPECT_EQ(setMonFailure(nullptr), 1);
    EXPECT_EQ(setMonSuccess(nullptr), 0);
    EXPECT_EQ(setMonReverseSuccess(nullptr), 0);
    EXPECT_EQ(monitorStillAlive(nullptr), 0);
    EXPECT_FALSE(monitorTimedOut(nullptr));
    zamLogMonitorPlugin_QStr(nullptr, QStringLiteral("x"));
    setActFailReason(nullptr, "x");
    EXPECT_EQ(actionStillAlive(nullptr), 0);
    safeCopy(nullptr, "x", 1);
    safeAppend(nullptr, "x", 1);
    EXPECT_EQ(safePrintf(nullptr, 10, "x"), 0);
    char buf[8] = "abc";
    EXPECT_EQ(safePrintf(buf, 0, "x"), 0);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(setFailReasonFmt(buf, sizeof buf, nullptr), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(host.logLines().isEmpty());
}

TEST_F(MonitorHelpers, ResultHelpers)
{
    rec.mon.resultCode = 5;
    EXPECT_EQ(setMonFailure(&rec.mon), 1);
    EXPECT_EQ(rec.mon.resultCode, -2);
    rec.mon.resultCode = 5;
    EXPECT_EQ(setMonSuccess(&rec.mon), 0);
    EXPECT_EQ(rec.mon.resultCode, -2);
    EXPECT_EQ(setMonReverseSuccess(&rec.mon), 0);
    EXPECT_EQ(rec.mon.resultValue, 1);
    EXPECT_EQ(rec.mon.perfValue, 1);
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE),
              QStringList{QStringLiteral("host.example: TCP monitor, id=17: got no reply in reversed monitor")});

    struct {
        int timeout, value;
        bool timedOut;
    } cases[] = {{0, 1, false}, {0, 2, true}, {-5, 2, true}, {10, 10, false}, {10, 11, true}};
    for (const auto& c : cases) {
        rec.mon.timeout = c.timeout;
        rec.mon.resultValue = c.value;
        EXPECT_EQ(monitorTimedOut(&rec.mon), c.timedOut) << c.timeout << " " << c.value;
    }
    EXPECT_TRUE(optionsPresent(0x7, 0x5));
    EXPECT_FALSE(optionsPresent(0x3, 0x5));
    EXPECT_TRUE(optionsPresent(0, 0));

    struct Alive {
        static int beat(void* ctx)
        {
            ++*static_cast<int*>(ctx);
            return 8;
        }
    };
    int beats = 0;
    EXPECT_EQ(monitorStillAlive(&rec.mon), 0);
    rec.mon.stillAlive = &Alive::beat;
    rec.mon.stillAliveContext = &beats;
    EXPECT_EQ(monitorStillAlive(&rec.mon), 8);
    EXPECT_EQ(beats, 1);
}

TEST_F(MonitorHelpers, TraceLinesNameTheHostTypeAndIdAndHidePasswords)
{
    struct {
        int useHostName;
        int logEnabled;
        const char* text;
        const char* line;  // null: no line
    } cases[] = {
        {1, 1, "connect", "host.example: TCP monitor, id=17: connect"},
        {0, 1, "connect", "10.0.0.5: TCP monitor, id=17: connect"},
        {1, 1, "  DSN=x;\n PWD=secret; UID=u ", "host.example: TCP monitor, id=17: DSN=x; PWD=*; UID=u"},
        {1, 0, "connect", nullptr},
    };
    for (const auto& c : cases) {
        host.clearLog();
        rec.mon.useHostName = c.useHostName;
        rec.mon.logEnabled = c.logEnabled;
        zamLogMonitorPlugin_QStr(&rec.mon, QString::fromUtf8(c.text));
        if (c.line)
            EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE), QStringList{QString::fromUtf8(c.line)});
        else
            EXPECT_TRUE(host.logLines().isEmpty());
    }
    // A host name that fills its field without a terminator is read within the field only.
    std::memset(rec.mon.hostName, 'h', sizeof rec.mon.hostName);
    rec.mon.useHostName = 1;
    rec.mon.logEnabled = 1;
    host.clearLog();
    zamLogMonitorPlugin_QStr(&rec.mon, QStringLiteral("x"));
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE),
              QStringList{QString(128, QLatin1Char('h')) + QStringLiteral(": TCP monitor, id=17: x")});
    // An index outside the table still gives a line.
    rec.mon.typeIndex = 77;
    host.clearLog();
    zamLogMonitorPlugin_QStr(&rec.mon, QStringLiteral("x"));
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE).size(), 1);
}

TEST_F(MonitorHelpers, ActionTwins)
{
    stZamAction act{};
    act.logEnabled = 1;
    const std::string arg(300, 'q');
    setActFailReasonFmt(&act, "%s", arg.c_str());
    EXPECT_EQ(std::strlen(act.failReason), 126u);
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE).size(), 1);
    EXPECT_EQ(setActFailure(&act), 1);
    EXPECT_EQ(setActSuccess(&act), 0);
}

TEST(TextHelpers, BoundedCopiesAndSmallConversions)
{
    char buf[8];
    safeCopy(buf, "abcdefgh", 4);
    EXPECT_STREQ(buf, "abcd");
    safeAppend(buf, "xyz", 2);
    EXPECT_STREQ(buf, "abcdxy");
    safeCopy(buf, nullptr, 4);
    EXPECT_STREQ(buf, "");

    struct {
        const char* text;
        const char* add;
        const char* result;
    } punct[] = {{"Failed.", " Retry", "Failed Retry"}, {"Failed", " Retry", "Failed Retry"},
                 {"Why?", "!", "Why!"}, {"", "x", "x"}, {"a:", "", "a"}};
    for (const auto& c : punct) {
        std::string t = c.text;
        safeAppendPunct(t, c.add);
        EXPECT_EQ(t, c.result) << c.text;
    }
    EXPECT_EQ(replaceAll("aXbXc", "X", "XX"), "aXXbXXc");
    EXPECT_EQ(replaceAll("aaa", "a", "ba"), "bababa");
    EXPECT_EQ(replaceAll("abc", "", "z"), "abc");
    EXPECT_EQ(toStr(-42), "-42");
    EXPECT_EQ(toStr(2.5), "2.5");
    EXPECT_EQ(toStr(1e300), "1e+300");
    EXPECT_EQ(toPerf32(5000000000LL), 705032704);
    EXPECT_EQ(toPerf32(-1), -1);
}

struct CapturedMessage {
    QtMsgType type;
    QString text;
    QString category;
    bool hasFile;
};
QList<CapturedMessage> g_messages;
void captureMessage(QtMsgType type, const QMessageLogContext& ctx, const QString& text)
{
    g_messages.append({type, text, QString::fromLatin1(ctx.category ? ctx.category : ""), ctx.file != nullptr});
}

TEST(MaintenanceInterval, IsOneMinuteUnlessATestShortensIt)
{
    EXPECT_EQ(CTimerThread::maintenanceIntervalMs(), 60000);
}

TEST(DebugWarning, WritesThePlainTextAsAWarning)
{
    g_messages.clear();
    const QtMessageHandler old = qInstallMessageHandler(&captureMessage);
    Debug::warning("attempt to get null value from Optional<> 100%");
    Debug::warning(nullptr);
    qInstallMessageHandler(old);
    ASSERT_EQ(g_messages.size(), 2);
    EXPECT_EQ(g_messages[0].type, QtWarningMsg);
    EXPECT_EQ(g_messages[0].text, QStringLiteral("attempt to get null value from Optional<> 100%"));
    EXPECT_EQ(g_messages[0].category, QStringLiteral("default"));
    EXPECT_FALSE(g_messages[0].hasFile);
    EXPECT_EQ(g_messages[1].text, QString());
}

}  // namespace
