// The timed line socket against scripted loopback peers and the real test servers (nginx,
// the SMTP server with STARTTLS and with TLS from the start, dovecot IMAPS).

#include "CTimedSocket.h"
#include "CTimedSocketPlugin.h"
#include "support/LoopbackServer.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const QHostAddress kLoopback(QStringLiteral("127.0.0.1"));

struct StopSwitch {
    std::atomic<bool> stop{false};
    std::atomic<int> asked{0};
    static int answer(void* context)
    {
        auto* s = static_cast<StopSwitch*>(context);
        ++s->asked;
        return s->stop ? 1 : 0;
    }
};

// A socket on the monitor's reason buffer, as the checks create it.
struct Client {
    char reason[ZAM_FAIL_REASON_SIZE] = {};
    StopSwitch alive;
    CTimedSocket socket;
    Client(quint16 port, int secure = CTimedSocket::SecureNone, int total = 5000, int connect = 5000)
        : socket(kLoopback, port, secure, 0, total, connect, &StopSwitch::answer, &alive, reason, sizeof reason)
    {
    }
};

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TEST(TimedSocket, LinesAreCutAtLineEndsAndOverlongLinesComeInPieces)
{
    const std::string longLine(70000, 'x');
    LoopbackServer server([&](int fd) {
        LoopbackServer::sendAll(fd, "220 ready\r\nplain\nkeep\rinside\r\n\r\n");
        LoopbackServer::sendAll(fd, "split ");
        sleepMs(50);
        LoopbackServer::sendAll(fd, "across sends\r\n");
        LoopbackServer::sendAll(fd, longLine + "\r\n");
        LoopbackServer::drain(fd);
    });
    ASSERT_TRUE(server.ok());
    Client c(server.port());
    ASSERT_TRUE(c.socket.connect()) << c.reason;
    struct {
        const char* expected;
    } lines[] = {{"220 ready"}, {"plain"}, {"keep\rinside"}, {""}, {"split across sends"}};
    for (const auto& l : lines) {
        ASSERT_TRUE(c.socket.getline(false)) << c.reason;
        EXPECT_STREQ(c.socket.line(), l.expected);
    }
    ASSERT_TRUE(c.socket.getline(false)) << c.reason;
    EXPECT_EQ(c.socket.lineLength(), 65000);
    ASSERT_TRUE(c.socket.getline(false)) << c.reason;
    EXPECT_EQ(c.socket.lineLength(), 70000 - 65000);
    EXPECT_EQ(std::string(c.socket.line()), std::string(5000, 'x'));
    EXPECT_STREQ(c.reason, "");
    EXPECT_TRUE(c.socket.disconnect());
    EXPECT_GE(c.socket.connectionLifetime(), 1);
}

TEST(TimedSocket, StatusRepliesSkipTextAndContinuationLines)
{
    struct Case {
        const char* reply;
        bool multiline;
        int code;
        const char* line;
    } cases[] = {
        {"hello\r\n250-first\r\n250-second\r\n250 last\r\n", true, 250, "250 last"},
        {"hello\r\n250-first\r\n250 last\r\n", false, 250, "250-first"},
        {"354\r\n", true, 354, "354"},
        {"* OK\r\n+OK\r\n221 bye\r\n", true, 221, "221 bye"},
        {"12345 too long\r\n220 ok\r\n", true, 220, "220 ok"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.reply);
        LoopbackServer server([&](int fd) {
            LoopbackServer::sendAll(fd, k.reply);
            LoopbackServer::drain(fd);
        });
        Client c(server.port());
        ASSERT_TRUE(c.socket.connect()) << c.reason;
        int code = -1;
        ASSERT_TRUE(c.socket.getstatus(&code, k.multiline)) << c.reason;
        EXPECT_EQ(code, k.code);
        EXPECT_STREQ(c.socket.line(), k.line);
    }
}

TEST(TimedSocket, ReadEndingsWithoutALineKeepThePartialAnswer)
{
    enum End { PeerCloses, PeerResets, PeerSilent };
    struct Case {
        End end;
        bool result;
        const char* reason;
    } cases[] = {
        {PeerCloses, false, ""},
        {PeerResets, false, "connection reset by other party while receiving data"},
        {PeerSilent, false, "recv() timed out"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.end);
        LoopbackServer server([&](int fd) {
            LoopbackServer::sendAll(fd, "first\r\npartial");
            if (k.end == PeerSilent) {
                LoopbackServer::drain(fd);
                return;
            }
            sleepMs(200);
            if (k.end == PeerResets)
                LoopbackServer::resetOnClose(fd);
        });
        Client c(server.port(), CTimedSocket::SecureNone, 1500, 1500);
        ASSERT_TRUE(c.socket.connect()) << c.reason;
        ASSERT_TRUE(c.socket.getline(false));
        EXPECT_STREQ(c.socket.line(), "first");
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(c.socket.getline(false), k.result);
        EXPECT_STREQ(c.reason, k.reason);
        // never the previous line: the bytes that did come
        EXPECT_STREQ(c.socket.line(), "partial");
        EXPECT_LT(t.elapsed(), 10000);
    }
}

TEST(TimedSocket, PeekingReturnsAtOnceAndKeepsBufferedBytes)
{
    std::atomic<bool> sendRest{false};
    LoopbackServer server([&](int fd) {
        LoopbackServer::sendAll(fd, "half");
        while (!sendRest)
            sleepMs(5);
        LoopbackServer::sendAll(fd, " line\r\n");
        LoopbackServer::drain(fd);
    });
    Client c(server.port());
    ASSERT_TRUE(c.socket.connect());
    std::strcpy(c.reason, "unchanged");
    sleepMs(50);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(c.socket.getline(true));
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_STREQ(c.reason, "unchanged");
    sendRest = true;
    ASSERT_TRUE(c.socket.getline(false));
    EXPECT_STREQ(c.socket.line(), "half line");
}

TEST(TimedSocket, ConnectFailuresNameTheirCause)
{
    const quint16 closed = LoopbackServer::closedPort();
    Client refused(closed);
    EXPECT_FALSE(refused.socket.connect());
    EXPECT_EQ(std::string(refused.reason),
              "Failed to connect to 127.0.0.1:" + std::to_string(closed) + " over TCP/IP");
    EXPECT_FALSE(refused.socket.isConnected());

    char reason[64] = {};
    CTimedSocket noAddress(QHostAddress(), 80, 0, 0, 1000, 1000, nullptr, nullptr, reason, sizeof reason);
    EXPECT_FALSE(noAddress.connect());
    EXPECT_STREQ(reason, "server IP address is undefined");

    CTimedSocket v6(QHostAddress(QStringLiteral("::1")), 80, 0, 0, 1000, 1000, nullptr, nullptr, reason, sizeof reason);
    EXPECT_FALSE(v6.connect());
    EXPECT_STREQ(reason, "server IP address is undefined");

    Client idle(closed);
    EXPECT_FALSE(idle.socket.sendline("x\r\n"));
    EXPECT_STREQ(idle.reason, "not connected");
    EXPECT_FALSE(idle.socket.getline(false));
    EXPECT_STREQ(idle.reason, "not connected");

    // a small caller buffer gets the text cut to its size
    char tiny[12] = {};
    CTimedSocket cut(kLoopback, closed, 0, 0, 1000, 1000, nullptr, nullptr, tiny, sizeof tiny);
    EXPECT_FALSE(cut.connect());
    EXPECT_EQ(std::string(tiny), std::string("Failed to connect to").substr(0, std::strlen(tiny)));
    EXPECT_GE(std::strlen(tiny), 9u);
}

TEST(TimedSocket, UnansweredConnectEndsWithinItsBudget)
{
    LoopbackServer blackhole(nullptr, LoopbackServer::NoAccept);
    ASSERT_TRUE(blackhole.ok());
    struct Case {
        int total;
        int connect;
        const char* reason;
        int atLeastMs;
        int atMostMs;
    } cases[] = {
        // the connect phase may use only its own, smaller limit
        {5000, 2000, "connection timed out", 1800, 4500},
        {1500, 1500, "Timeout exceeded while connecting", 1300, 4000},
        {1500, 0, "Timeout exceeded while connecting", 1300, 4000},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.reason);
        Client c(blackhole.port(), CTimedSocket::SecureNone, k.total, k.connect);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(c.socket.connect());
        EXPECT_STREQ(c.reason, k.reason);
        EXPECT_GE(t.elapsed(), k.atLeastMs);
        EXPECT_LT(t.elapsed(), k.atMostMs);
    }
}

TEST(TimedSocket, StopRequestEndsEveryWait)
{
    LoopbackServer blackhole(nullptr, LoopbackServer::NoAccept);
    Client connecting(blackhole.port(), 0, 0, 0);  // no limit at all: only the stop ends it
    std::thread stopper([&] {
        sleepMs(300);
        connecting.alive.stop = true;
    });
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(connecting.socket.connect());
    stopper.join();
    EXPECT_STREQ(connecting.reason, "connect operation aborted");
    EXPECT_LT(t.elapsed(), 5000);

    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    Client reading(silent.port(), 0, 0, 0);
    ASSERT_TRUE(reading.socket.connect());
    reading.alive.stop = true;
    EXPECT_FALSE(reading.socket.getline(false));
    EXPECT_STREQ(reading.reason, "recv operation aborted");
    EXPECT_FALSE(reading.socket.sendline("x"));
    EXPECT_STREQ(reading.reason, "send operation aborted");

    LoopbackServer silentTls([](int fd) { LoopbackServer::drain(fd); });
    Client handshaking(silentTls.port(), CTimedSocket::SecureSsl, 0, 0);
    std::thread stopTls([&] {
        sleepMs(300);
        handshaking.alive.stop = true;
    });
    t.restart();
    EXPECT_FALSE(handshaking.socket.connect());
    stopTls.join();
    EXPECT_STREQ(handshaking.reason, "Cannot start SSL negotiation: operation aborted.");
    EXPECT_LT(t.elapsed(), 5000);
}

// Counts the observer's calls and sleeps in the receive hook.
struct SlowObserver : CTimedSocketPlugin {
    std::string calls;
    void connectStarting(const char*, int) override { calls += 'c'; }
    void connected() override { calls += 'C'; }
    void tlsStarting() override { calls += 't'; }
    void tlsSucceeded() override { calls += 'T'; }
    void tlsFailed() override { calls += 'F'; }
    void sendStarting() override { calls += 's'; }
    void dataSent(const char*, int) override { calls += 'S'; }
    void receiveStarting() override
    {
        calls += 'r';
        sleepMs(300);
    }
    void dataReceived(const char*, int) override { calls += 'R'; }
    void disconnectStarting() override { calls += 'd'; }
    void disconnected() override { calls += 'D'; }
};

TEST(TimedSocket, TimeSpentInTheObserverIsNotCharged)
{
    LoopbackServer server([](int fd) {
        for (int i = 0; i < 4; ++i) {
            LoopbackServer::readLine(fd);
            LoopbackServer::sendAll(fd, "250 ok\r\n");
        }
        LoopbackServer::drain(fd);
    });
    SlowObserver observer;
    Client c(server.port(), CTimedSocket::SecureNone, 1000, 1000);
    c.socket.setObserver(&observer);
    ASSERT_TRUE(c.socket.connect()) << c.reason;
    // four exchanges with 300 ms in each receive hook: more than the whole budget
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(c.socket.sendline("NOOP\r\n")) << c.reason;
        int code = 0;
        ASSERT_TRUE(c.socket.getstatus(&code, true)) << c.reason;
        EXPECT_EQ(code, 250);
    }
    EXPECT_TRUE(c.socket.disconnect());
    EXPECT_EQ(observer.calls, "cCsSrRsSrRsSrRsSrRdD");
}

TEST(TimedSocket, SendingToAResetPeerFails)
{
    std::atomic<bool> gone{false};
    LoopbackServer server([&](int fd) {
        LoopbackServer::resetOnClose(fd);
        gone = true;
    });
    Client c(server.port());
    ASSERT_TRUE(c.socket.connect());
    while (!gone)
        sleepMs(5);
    sleepMs(100);
    const std::string block(64 * 1024, 'y');
    bool failed = false;
    for (int i = 0; i < 50 && !failed; ++i)
        failed = !c.socket.sendline(block.c_str());
    EXPECT_TRUE(failed);
    EXPECT_STREQ(c.reason, "Data are not sent completely");
    EXPECT_FALSE(c.socket.isConnected());
}

TEST(TimedSocket, SilentPeerCannotHoldTheTlsHandshake)
{
    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    Client c(silent.port(), CTimedSocket::SecureSsl, 1500, 1500);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(c.socket.connect());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_STREQ(c.reason, "Cannot start SSL negotiation: timed out.");
    EXPECT_FALSE(c.socket.isConnected());
}

TEST(TimedSocket, TlsToAPeerThatClosesIsNoConnection)
{
    // the peer closes during the handshake: only a finished handshake counts
    LoopbackServer closing([](int fd) { sleepMs(100); (void)fd; });
    Client c(closing.port(), CTimedSocket::SecureSsl, 3000, 3000);
    EXPECT_FALSE(c.socket.connect());
    EXPECT_EQ(std::string(c.reason).rfind("Cannot start SSL negotiation: ", 0), 0u) << c.reason;
    EXPECT_FALSE(c.socket.isConnected());
}

TEST(TimedSocketServers, HttpExchangeReadsTheWholeAnswer)
{
    ZAM_REQUIRE_TEST_SERVERS();
    Client c(testservers::kHttpPort);
    ASSERT_TRUE(c.socket.connect()) << c.reason;
    ASSERT_TRUE(c.socket.sendline_f("GET / HTTP/1.0\r\nHost: %s\r\n\r\n", testservers::kHost)) << c.reason;
    ASSERT_TRUE(c.socket.getline(false)) << c.reason;
    EXPECT_STREQ(c.socket.line(), "HTTP/1.1 200 OK");
    bool marker = false;
    while (c.socket.getline(false))
        marker = marker || std::strstr(c.socket.line(), testservers::kHttpContentMarker);
    EXPECT_STREQ(c.reason, "");  // the server closed: no failure text
    EXPECT_TRUE(marker || std::strstr(c.socket.line(), testservers::kHttpContentMarker));
}

TEST(TimedSocketServers, SmtpStartTlsUpgradesTheConnection)
{
    ZAM_REQUIRE_TEST_SERVERS();
    Client c(testservers::kSmtpStartTlsPort, CTimedSocket::SecureTlsRequired);
    ASSERT_TRUE(c.socket.connect()) << c.reason;
    int code = 0;
    ASSERT_TRUE(c.socket.getstatus(&code, true)) << c.reason;
    EXPECT_EQ(code, 220);
    ASSERT_TRUE(c.socket.sendline("EHLO client.test\r\n"));
    ASSERT_TRUE(c.socket.getstatus(&code, true)) << c.reason;
    EXPECT_EQ(code, 250);
    EXPECT_EQ(std::string(c.socket.line()).rfind("250 ", 0), 0u) << c.socket.line();
    ASSERT_TRUE(c.socket.sendline("STARTTLS\r\n"));
    ASSERT_TRUE(c.socket.getstatus(&code, true)) << c.reason;
    ASSERT_EQ(code, 220);
    ASSERT_TRUE(c.socket.negotiateSSL()) << c.reason;
    EXPECT_TRUE(c.socket.isSecure());
    ASSERT_TRUE(c.socket.sendline("EHLO client.test\r\n"));
    ASSERT_TRUE(c.socket.getstatus(&code, true)) << c.reason;
    EXPECT_EQ(code, 250);
    ASSERT_TRUE(c.socket.sendline("QUIT\r\n"));
    ASSERT_TRUE(c.socket.getstatus(&code, false)) << c.reason;
    EXPECT_EQ(code, 221);
    EXPECT_TRUE(c.socket.disconnect());
}

TEST(TimedSocketServers, ImmediateTlsReadsTheGreeting)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        quint16 port;
        const char* greeting;
    } cases[] = {{testservers::kSmtpsPort, "220"}, {testservers::kImapsPort, "* OK"}, {testservers::kPop3sPort, "+OK"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.port);
        Client c(k.port, CTimedSocket::SecureSsl);
        ASSERT_TRUE(c.socket.connect()) << c.reason;
        EXPECT_TRUE(c.socket.isSecure());
        ASSERT_TRUE(c.socket.getline(false)) << c.reason;
        EXPECT_EQ(std::string(c.socket.line()).rfind(k.greeting, 0), 0u) << c.socket.line();
        EXPECT_TRUE(c.socket.disconnect());
    }
}

TEST(TimedSocketServers, CheckedCertificatesMustVerify)
{
    ZAM_REQUIRE_TEST_SERVERS();
    // the test CA is not among the system's trusted ones
    Client checked(testservers::kSmtpsPort, CTimedSocket::SecureSsl);
    checked.socket.setIgnoreSslErrors(false);
    EXPECT_FALSE(checked.socket.connect());
    EXPECT_STREQ(checked.reason, "Cannot start SSL negotiation: certificate verify failed.");

    // the test CA trusted through OpenSSL's environment: name and address checks
    ::setenv("SSL_CERT_FILE", testservers::caCertPath().toLocal8Bit().constData(), 1);
    struct Case {
        const char* peerName;  // null: the certificate must name the address
        bool ok;
    } cases[] = {{nullptr, true}, {"localhost", true}, {"other.example", false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.peerName ? k.peerName : "address");
        Client c(testservers::kSmtpsPort, CTimedSocket::SecureSsl);
        c.socket.setIgnoreSslErrors(false);
        if (k.peerName)
            c.socket.setPeerName(k.peerName);
        EXPECT_EQ(c.socket.connect(), k.ok) << c.reason;
        if (!k.ok) {
            EXPECT_STREQ(c.reason, "Cannot start SSL negotiation: certificate verify failed.");
        }
    }
    ::unsetenv("SSL_CERT_FILE");

    // TLS spoken to a plain-text server
    Client plain(testservers::kHttpPort, CTimedSocket::SecureSsl);
    EXPECT_FALSE(plain.socket.connect());
    EXPECT_EQ(std::string(plain.reason).rfind("Cannot start SSL negotiation: ", 0), 0u) << plain.reason;
}
