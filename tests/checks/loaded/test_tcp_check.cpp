// The TCP monitor type through the loaded library: nginx for an open port, unused and scripted
// loopback ports for the failures and the time budget.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

constexpr unsigned kTcp = 1;

class TcpCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    // A TCP monitor on 127.0.0.1 (or another host text) with the given settings.
    void prepare(PluginTestRecord& rec, int timeoutMs = 3000, int mode = 0)
    {
        rec.mon.typeIndex = kTcp;
        rec.mon.timeout = timeoutMs;
        rec.mon.mode = mode;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
    }

    PluginTestHost host;
};

struct StopAlways {
    static int answer(void*) { return 1; }
};

TEST_F(TcpCheck, OpenPortSucceedsWithTheConnectionTime)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    prepare(rec);
    rec.addSetting("Port", nullptr, testservers::kHttpPort, 'i');
    rec.addSetting("Reverse", nullptr, 0, 'y');
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.resultCode, -2);
    EXPECT_GE(rec.mon.perfValue, 1);
    EXPECT_LT(rec.mon.perfValue, 3000);
    EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
    EXPECT_STREQ(rec.mon.failReason, "");
    EXPECT_TRUE(host.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("response time: ")).size() == 1)
        << host.logTexts(ZAM_LOG_TRACE).join(QLatin1Char('\n')).toStdString();
}

TEST_F(TcpCheck, OutcomesByPortHostAndReverse)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const int closed = LoopbackServer::closedPort();
    const std::string refused = "Failed to connect to 127.0.0.1:" + std::to_string(closed) + " over TCP/IP";
    struct Case {
        const char* name;
        const char* hostName;
        const char* address;
        bool byName;
        int64_t port;  // -2: no Port setting at all
        int reverse;   // -1: no Reverse setting
        int result;
        int resultCode;
        std::string reason;
        int64_t value;  // -1: measured (at least 1)
    } cases[] = {
        {"refused", "", "127.0.0.1", false, closed, 0, 1, 2, refused, 0},
        {"refused, no reverse setting", "", "127.0.0.1", false, closed, -1, 1, 2, refused, 0},
        {"reverse on a closed port", "", "127.0.0.1", false, closed, 1, 0, -2, refused, 1},
        {"reverse on an open port", "", "127.0.0.1", false, testservers::kHttpPort, 1, 1, -2,
         "poll succeeded for reverse monitor", 0},
        {"by name", "localhost", "", true, testservers::kHttpPort, 0, 0, -2, "", -1},
        {"port 0 is tried", "", "127.0.0.1", false, 0, 0, 1, 2, "Failed to connect to 127.0.0.1:0 over TCP/IP", 0},
        {"port above range", "", "127.0.0.1", false, 70000, 0, 1, -2, "Port is out of range", 0},
        {"negative port", "", "127.0.0.1", false, -1, 0, 1, -2, "Port is out of range", 0},
        {"no port", "", "127.0.0.1", false, -2, 0, 1, -2, "Incorrect monitor parameters", 0},
        {"no host", "", "", false, testservers::kHttpPort, 0, 1, -2, "hostname and IP address are not set", 0},
        {"no host, reverse", "", "", false, testservers::kHttpPort, 1, 0, -2, "hostname and IP address are not set", 1},
        {"IPv6 address", "", "::1", false, testservers::kHttpPort, 0, 1, -2, "invalid host IP address", 0},
        {"unknown name", "no-such-host.invalid", "", true, testservers::kHttpPort, 0, 1, -2,
         "cannot resolve host IP address", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PluginTestRecord rec;
        prepare(rec);
        rec.setHost(k.hostName, k.address, k.byName);
        if (k.port != -2)
            rec.addSetting("Port", nullptr, k.port, 'i');
        if (k.reverse >= 0)
            rec.addSetting("Reverse", nullptr, k.reverse, 'y');
        EXPECT_EQ(host.poll(rec), k.result);
        EXPECT_EQ(rec.mon.resultCode, k.resultCode);
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        if (k.value == -1) {
            EXPECT_GE(rec.mon.perfValue, 1);
            EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
        } else {
            EXPECT_EQ(rec.mon.perfValue, k.value);
        }
    }
}

TEST_F(TcpCheck, PeerThatAcceptsNothingFailsWithinTheBudget)
{
    LoopbackServer blackhole(nullptr, LoopbackServer::NoAccept);
    ASSERT_TRUE(blackhole.ok());
    struct Case {
        const char* name;
        int timeoutMs;
        int mode;
        const char* reason;
        int atLeastMs;
        int atMostMs;
    } cases[] = {
        // a short time-out still leaves 2000 ms to connect
        {"short time-out", 500, 0, "Timeout exceeded while connecting", 1800, 4000},
        {"time-out used whole", 3000, 0, "Timeout exceeded while connecting", 2800, 5500},
        // discovery connects within 2000 ms of a longer budget
        {"discovery", 5000, 1, "connection timed out", 1800, 4500},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PluginTestRecord rec;
        prepare(rec, k.timeoutMs, k.mode);
        rec.addSetting("Port", nullptr, blackhole.port(), 'i');
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_GE(t.elapsed(), k.atLeastMs);
        EXPECT_LT(t.elapsed(), k.atMostMs);
        EXPECT_STREQ(rec.mon.failReason, k.reason);
        EXPECT_EQ(rec.mon.resultCode, 2);
    }

    PluginTestRecord stopped;
    prepare(stopped, 60000);
    stopped.addSetting("Port", nullptr, blackhole.port(), 'i');
    stopped.mon.stillAlive = &StopAlways::answer;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(host.poll(stopped), 1);
    EXPECT_STREQ(stopped.mon.failReason, "connect operation aborted");
    EXPECT_LT(t.elapsed(), 3000);
}

} // namespace
