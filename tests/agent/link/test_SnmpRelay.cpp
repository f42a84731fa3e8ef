#include "SnmpRelayTestPeer.h"
#include "support/EventLoopWait.h"
#include "link/CSnmpRelayControl.h"
#include "link/RelayPeerText.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray peerText(quint16 port, const char* host = "127.0.0.1")
{
    return QByteArray(host) + ':' + QByteArray::number(port);
}

// A relay control on a free port whose messages land in log.
struct RelayFixture
{
    RelayMessageLog log;
    std::unique_ptr<CSnmpRelayControl> control{
        new CSnmpRelayControl([this](const CAgentMessagePtr& m) { log(m); }, 0)};

    void open(qint32 id, const QByteArray& peer) { control->handleRequest(CSnmpReq(id, 0, peer)); }
    void close(qint32 id) { control->handleRequest(CSnmpReq(id, 1, QByteArray())); }
    quint16 relayPort() const { return control->relay() ? control->relay()->localPort() : 0; }
};

} // namespace

TEST(RelayPeerText, SplitsAtTheLastColonAndChecksThePort)
{
    struct Case { QByteArray text; bool ok; const char* host; quint16 port; };
    const Case cases[] = {
        {"10.0.0.5:161", true, "10.0.0.5", 161},
        {"::1:161", true, "::1", 161},
        {"[::1]:162", true, "::1", 162},
        {"host.example:65535", true, "host.example", 65535},
        {QByteArray("127.0.0.1:161\0garbage", 21), true, "127.0.0.1", 161},
        {"127.0.0.1", false, "", 0},
        {"127.0.0.1:", false, "", 0},
        {"127.0.0.1:0", false, "", 0},
        {"127.0.0.1:65536", false, "", 0},
        {"127.0.0.1:70000", false, "", 0},
        {"127.0.0.1:-1", false, "", 0},
        {"127.0.0.1:+161", false, "", 0},
        {"127.0.0.1: 161", false, "", 0},
        {"127.0.0.1:16x", false, "", 0},
        {":161", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case& c : cases) {
        QString host;
        quint16 port = 1;
        EXPECT_EQ(parseRelayPeerText(c.text, host, port), c.ok) << c.text.constData();
        EXPECT_EQ(host, QString::fromLatin1(c.host)) << c.text.constData();
        EXPECT_EQ(port, c.port) << c.text.constData();
    }
}

TEST(SnmpRelay, RelaysDatagramsBothWaysWithAnEchoPeer)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(7, peerText(echo.port()));
    EXPECT_EQ(f.log.lines, QStringList{"18:7,0,0"});
    ASSERT_NE(f.relayPort(), 0);

    QByteArray binary(1024, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7);
    const QList<QByteArray> datagrams{QByteArray("\x30\x26\x02\x01\x01", 5), binary, QByteArray("x")};
    for (const QByteArray& d : datagrams)
        EXPECT_TRUE(f.control->handleData(CSnmpData(7, d)));
    ASSERT_TRUE(waitUntil([&] { return f.log.data.size() == datagrams.size(); }));
    EXPECT_EQ(f.log.data, datagrams);
    EXPECT_EQ(f.log.lines, QStringList({"18:7,0,0", "19:7", "19:7", "19:7"}));
}

TEST(SnmpRelay, DataForAnotherRelayOrWithoutRelayIsDropped)
{
    UdpEchoPeer echo;
    RelayFixture f;
    EXPECT_FALSE(f.control->handleData(CSnmpData(7, "early")));
    f.open(7, peerText(echo.port()));
    EXPECT_FALSE(f.control->handleData(CSnmpData(8, "other id")));
    EXPECT_TRUE(f.control->handleData(CSnmpData(7, "mine")));
    // The echo answers in order: with the answer to "mine" back, anything sent before it has
    // reached the peer too.
    ASSERT_TRUE(waitUntil([&] { return f.log.data.size() == 1; }));
    EXPECT_EQ(echo.received, 1);
    EXPECT_EQ(f.log.data, QList<QByteArray>{"mine"});
}

TEST(SnmpRelay, DatagramsFromAnotherPortOrAddressAreDropped)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(7, peerText(echo.port()));
    ASSERT_NE(f.relayPort(), 0);

    QUdpSocket strangerSamePeerAddress;   // right address, other port
    ASSERT_TRUE(strangerSamePeerAddress.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QUdpSocket strangerOtherAddress;      // other loopback address
    const bool haveOtherAddress = strangerOtherAddress.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0);
    strangerSamePeerAddress.writeDatagram("intruder", QHostAddress::LocalHost, f.relayPort());
    if (haveOtherAddress)
        strangerOtherAddress.writeDatagram("intruder2", QHostAddress::LocalHost, f.relayPort());

    // The peer's echo of a later ping gets through; the intruders, queued at the relay before
    // it, were read and dropped.
    EXPECT_TRUE(f.control->handleData(CSnmpData(7, "ping")));
    ASSERT_TRUE(waitUntil([&] { return f.log.data.contains("ping"); }));
    ASSERT_TRUE(drainPostedEvents());
    EXPECT_EQ(f.log.data, QList<QByteArray>{"ping"});
}

TEST(SnmpRelay, ASecondOpenReplacesTheFirst)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(7, peerText(echo.port()));
    f.open(8, peerText(echo.port()));
    EXPECT_EQ(f.log.lines, QStringList({"18:7,0,0", "18:7,1,4", "18:8,0,0"}));
    EXPECT_FALSE(f.control->handleData(CSnmpData(7, "old relay")));
    EXPECT_TRUE(f.control->handleData(CSnmpData(8, "new relay")));
}

TEST(SnmpRelay, CloseNeedsTheRightIdAndOtherOperationsDoNothing)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(8, peerText(echo.port()));
    f.close(9);
    EXPECT_EQ(f.log.lines, QStringList{"18:8,0,0"});
    EXPECT_NE(f.control->relay(), nullptr);
    f.close(8);
    EXPECT_EQ(f.log.lines, QStringList({"18:8,0,0", "18:8,1,1"}));
    EXPECT_EQ(f.control->relay(), nullptr);
    EXPECT_FALSE(f.control->handleData(CSnmpData(8, "closed")));
    f.control->handleRequest(CSnmpReq(8, 5, peerText(echo.port())));
    EXPECT_EQ(f.log.lines.size(), 2);
}

TEST(SnmpRelay, TheEndOfTheLinkEndsTheRelay)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(3, peerText(echo.port()));
    f.control.reset();
    EXPECT_EQ(f.log.lines, QStringList({"18:3,0,0", "18:3,1,3"}));
}

TEST(SnmpRelay, PeersThatAreNoHostAndPortAreRefused)
{
    const QByteArray peers[] = {"127.0.0.1", "127.0.0.1:0", "127.0.0.1:70000", "127.0.0.1:-1", "127.0.0.1:abc",
                                ":161", ""};
    for (const QByteArray& peer : peers) {
        RelayFixture f;
        f.open(5, peer);
        EXPECT_EQ(f.log.lines, QStringList{"18:5,1,5"}) << peer.constData();
        EXPECT_FALSE(f.control->handleData(CSnmpData(5, "x"))) << peer.constData();
        f.close(5);
        EXPECT_EQ(f.log.lines, QStringList({"18:5,1,5", "18:5,1,1"})) << peer.constData();
    }
}

// Names are looked up off the caller's thread: the open answer follows when the lookup ends.
TEST(SnmpRelay, APeerNameOpensWhenItsLookupAnswers)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(6, peerText(echo.port(), "localhost"));
    EXPECT_FALSE(f.control->handleData(CSnmpData(6, "early")));   // no peer yet: dropped
    ASSERT_TRUE(waitUntil([&] { return !f.log.lines.isEmpty(); }, 20000));
    ASSERT_EQ(f.log.lines, QStringList{"18:6,0,0"});
    EXPECT_TRUE(f.control->handleData(CSnmpData(6, "named")));
    ASSERT_TRUE(waitUntil([&] { return f.log.data.size() == 1; }));
    EXPECT_EQ(f.log.data, QList<QByteArray>{"named"});
}

TEST(SnmpRelay, APeerNameThatDoesNotResolveIsRefused)
{
    RelayFixture f;
    f.open(5, "no-such-host.invalid:161");
    ASSERT_TRUE(waitUntil([&] { return !f.log.lines.isEmpty(); }, 20000));
    EXPECT_EQ(f.log.lines, QStringList{"18:5,1,5"});
    EXPECT_FALSE(f.control->handleData(CSnmpData(5, "x")));
    f.close(5);
    EXPECT_EQ(f.log.lines, QStringList({"18:5,1,5", "18:5,1,1"}));
}

// Lookups answer in order, so once the second relay is open any answer for the first, which
// it replaced before its lookup answered, has come and gone.
TEST(SnmpRelay, ALookupAnswerForAReplacedRelayChangesNothing)
{
    UdpEchoPeer echo;
    RelayFixture f;
    f.open(3, peerText(echo.port(), "localhost"));
    f.open(4, peerText(echo.port(), "localhost"));
    EXPECT_EQ(f.log.lines, QStringList{"18:3,1,4"});
    ASSERT_TRUE(waitUntil([&] { return f.log.lines.size() == 2; }, 20000));
    EXPECT_EQ(f.log.lines, QStringList({"18:3,1,4", "18:4,0,0"}));
    EXPECT_TRUE(f.control->handleData(CSnmpData(4, "four")));
    ASSERT_TRUE(waitUntil([&] { return f.log.data.size() == 1; }));
    EXPECT_EQ(f.log.lines, QStringList({"18:3,1,4", "18:4,0,0", "19:4"}));
}

TEST(SnmpRelay, IPv6LoopbackPeer)
{
    UdpEchoPeer echo(QHostAddress::LocalHostIPv6);
    if (echo.port() == 0)
        GTEST_SKIP() << "no IPv6 loopback";
    RelayFixture f;
    f.open(4, peerText(echo.port(), "::1"));
    ASSERT_EQ(f.log.lines, QStringList{"18:4,0,0"});
    EXPECT_TRUE(f.control->handleData(CSnmpData(4, "six")));
    ASSERT_TRUE(waitUntil([&] { return f.log.data.size() == 1; }));
    EXPECT_EQ(f.log.data, QList<QByteArray>{"six"});
}
