// The ping monitor type through the loaded library, inside private network namespaces made by
// scripts/netns-exec.sh: one whose loopback answers echo requests and one that stays silent.
// The outer tests run this program again inside a namespace with a filter for the inner ones.

#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kPing = 0;
constexpr const char* kInsideVariable = "ZAM_PING_TEST_NETNS";

bool inside(const char* which)
{
    return qEnvironmentVariable(kInsideVariable) == QLatin1String(which);
}

// Runs the inner tests of `filter` in a new namespace; their output is shown on failure.
void runInside(bool silent, const char* which, const char* filter)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "network namespaces need root";
    QStringList args;
    if (silent)
        args << QStringLiteral("--silent");
    args << QCoreApplication::applicationFilePath() << QStringLiteral("--gtest_filter=%1").arg(QLatin1String(filter));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kInsideVariable), QString::fromLatin1(which));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(testservers::netnsExecScript(), args);
    ASSERT_TRUE(p.waitForFinished(120000));
    const QByteArray out = p.readAll();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << out.constData();
    EXPECT_TRUE(out.contains("[  PASSED  ]")) << out.constData();
    EXPECT_FALSE(out.contains("SKIPPED")) << out.constData();
}

class PingCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    void prepare(PluginTestRecord& rec, int size, int reverse, int timeoutMs, int mode = 0)
    {
        rec.mon.typeIndex = kPing;
        rec.mon.timeout = timeoutMs;
        rec.mon.mode = mode;
        rec.mon.logEnabled = 1;
        rec.setHost("", "127.0.0.1", false);
        if (size >= 0)
            rec.addSetting("Packet Size, bytes", nullptr, size, 'i');
        if (reverse >= 0)
            rec.addSetting("Reverse", nullptr, reverse, 'y');
    }

    PluginTestHost host;
};

TEST(PingInNamespace, AnsweringHost)
{
    runInside(false, "answering", "PingCheck.Answering*");
}

TEST(PingInNamespace, SilentHost)
{
    runInside(true, "silent", "PingCheck.Silent*");
}

TEST_F(PingCheck, AnsweringHostGivesTheRoundTripTime)
{
    if (!inside("answering"))
        GTEST_SKIP() << "runs inside a namespace (PingInNamespace)";
    struct Case {
        int size;  // -1: no setting (32)
        int reverse;
        int result;
        const char* reason;
    } cases[] = {
        {-1, -1, 0, ""},
        {32, 0, 0, ""},
        {33, 0, 0, ""},  // rounded up to 34
        {1024, 0, 0, ""},
        {31, 0, 1, "ICMP packet size is outside the range [32..1024]: 31"},
        {1025, 0, 1, "ICMP packet size is outside the range [32..1024]: 1025"},
        {32, 1, 1, "poll succeeded for reverse monitor"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.size);
        PluginTestRecord rec;
        prepare(rec, k.size, k.reverse, 2000);
        EXPECT_EQ(host.poll(rec), k.result);
        EXPECT_STREQ(rec.mon.failReason, k.reason);
        EXPECT_EQ(rec.mon.resultCode, -2);
        if (k.result == 0) {
            EXPECT_GE(rec.mon.resultValue, 1);
            EXPECT_LT(rec.mon.resultValue, 2000);
            EXPECT_EQ(rec.mon.perfValue, rec.mon.resultValue);
        }
    }
}

TEST_F(PingCheck, AnsweringHostServesConcurrentPolls)
{
    if (!inside("answering"))
        GTEST_SKIP() << "runs inside a namespace (PingInNamespace)";
    // every raw socket sees every reply: each poll must pick its own
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            stCoreZamThreadContext* tctx = nullptr;
            if (host.api().init_thread(host.ctx(), &tctx) != 0) {
                ++wrong;
                return;
            }
            for (int i = 0; i < 20; ++i) {
                PluginTestRecord rec;
                prepare(rec, 64, 0, 2000);
                rec.mon.logEnabled = 0;
                if (host.api().poll(host.ctx(), tctx, &rec.mon) != 0 || rec.mon.resultValue < 1 ||
                    rec.mon.resultValue >= 2000)
                    ++wrong;
            }
            host.api().term_thread(host.ctx(), tctx);
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(PingCheck, SilentHostIsNeverAnsweredByOurOwnRequest)
{
    if (!inside("silent"))
        GTEST_SKIP() << "runs inside a namespace (PingInNamespace)";
    const int timeout = 300;
    struct Case {
        const char* name;
        int reverse;
        int mode;
        int result;
        int64_t value;
    } cases[] = {
        // the loss is a success with a value above the time-out
        {"ordinary poll", 0, 0, 0, timeout + 1},
        {"discovery", 0, 1, 1, timeout + 1},
        {"reverse", 1, 0, 0, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PluginTestRecord rec;
        prepare(rec, 32, k.reverse, timeout, k.mode);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), k.result);
        EXPECT_GE(t.elapsed(), 3 * timeout - 50);  // three attempts, each waited out
        EXPECT_LT(t.elapsed(), 3 * timeout + 3000);
        EXPECT_EQ(rec.mon.perfValue, k.value);
        EXPECT_STREQ(rec.mon.failReason, "");
        if (k.mode == 0) {
            EXPECT_EQ(rec.mon.resultValue, k.value);
        }
        EXPECT_FALSE(host.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("got reply")).size() > 0);
    }
}

} // namespace
