// The UDP monitor type through the loaded library: the socat echo server, scripted loopback
// peers (wrong echo, silence, an empty echo) and an unused port.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr unsigned kUdp = 2;

// A UDP peer on 127.0.0.1 that answers the first datagram with reply(received) (no answer
// when reply is null) and remembers what it got.
class UdpPeer
{
public:
    using Reply = std::function<std::string(const std::string&)>;
    explicit UdpPeer(Reply reply) : m_reply(std::move(reply))
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
        m_port = ntohs(sa.sin_port);
        m_thread = std::thread([this] {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10000) != 1)
                return;
            char buffer[2048];
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 0)
                return;
            m_received.assign(buffer, static_cast<size_t>(n));
            m_gotOne = true;
            if (m_reply) {
                const std::string answer = m_reply(m_received);
                ::sendto(m_fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
            }
        });
    }
    ~UdpPeer()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    int port() const { return m_port; }
    // valid after the poll returned
    std::string received() const { return m_received; }
    bool gotOne() const { return m_gotOne; }

private:
    Reply m_reply;
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
    std::string m_received;
    std::atomic<bool> m_gotOne{false};
};

class UdpCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    void prepare(PluginTestRecord& rec, int64_t port, const char* hex, int echo, int timeoutMs = 1000)
    {
        rec.mon.typeIndex = kUdp;
        rec.mon.timeout = timeoutMs;
        rec.setHost("", testservers::kHost, false);
        if (port != -2)
            rec.addSetting("Port", nullptr, port, 'i');
        if (hex)
            rec.addSetting("Data in Hex", hex, 0, 's');
        if (echo >= 0)
            rec.addSetting("Expect Echo Response", nullptr, echo, 'y');
    }

    PluginTestHost host;
};

TEST_F(UdpCheck, EchoServerSendsTheSameBytesBack)
{
    ZAM_REQUIRE_TEST_SERVERS();
    for (const char* hex : {"0A0b", "abc", "00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff00ff"}) {
        SCOPED_TRACE(hex);
        PluginTestRecord rec;
        prepare(rec, testservers::kUdpEchoPort, hex, 1, 3000);
        EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        EXPECT_GE(rec.mon.perfValue, 1);
        EXPECT_LT(rec.mon.perfValue, 3000);
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
        EXPECT_STREQ(rec.mon.failReason, "");
    }
}

TEST_F(UdpCheck, DatagramBytesComeFromTheHexText)
{
    struct Case {
        const char* hex;
        std::string bytes;
    } cases[] = {
        {"abc", std::string("\x0a\xbc", 2)},
        {"0A0b", std::string("\x0a\x0b", 2)},
        {"F", std::string("\x0f", 1)},
        {"", std::string()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.hex);
        UdpPeer peer([](const std::string& got) { return got; });
        PluginTestRecord rec;
        prepare(rec, peer.port(), k.hex, 1, 3000);
        EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        EXPECT_TRUE(peer.gotOne());
        EXPECT_EQ(peer.received(), k.bytes);
        EXPECT_LT(rec.mon.perfValue, 3000);  // the empty echo matched too
    }
}

TEST_F(UdpCheck, FailuresAndLosses)
{
    const int closed = LoopbackServer::closedPort();
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> reply;  // null: a silent peer
        bool usePeer;
        int64_t port;
        const char* hex;
        int echo;
        int result;
        int resultCode;
        std::string reason;
        int64_t value;  // -1: measured
    } cases[] = {
        {"wrong echo", [](const std::string&) { return std::string("other"); }, true, 0, "0102", 1, 1, -2,
         "echo mismatch", 0},
        {"longer echo", [](const std::string& got) { return got + "x"; }, true, 0, "0102", 1, 1, -2, "echo mismatch", 0},
        {"silent peer: the loss is a value above the time-out", nullptr, true, 0, "0102", 1, 0, -2, "", 501},
        {"no echo wanted", nullptr, true, 0, "0102", 0, 0, -2, "", -1},
        {"closed port", nullptr, false, closed, "0102", 1, 1, 2,
         "sendto() failed; Port " + std::to_string(closed) + " is unreachable", 0},
        {"not hex", nullptr, false, closed, "0x01", 1, 1, -2, "Invalid data format; not a hex string", 0},
        {"blank inside", nullptr, false, closed, "01 02", 1, 1, -2, "Invalid data format; not a hex string", 0},
        {"port above range", nullptr, false, 70000, "01", 1, 1, -2, "Port is out of range", 0},
        {"no data setting", nullptr, false, closed, nullptr, 1, 1, -2, "Incorrect monitor parameters", 0},
        {"no echo setting", nullptr, false, closed, "01", -1, 1, -2, "Incorrect monitor parameters", 0},
        {"no port setting", nullptr, false, -2, "01", 1, 1, -2, "Incorrect monitor parameters", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::unique_ptr<UdpPeer> peer;
        if (k.usePeer)
            peer.reset(new UdpPeer(k.reply));
        PluginTestRecord rec;
        prepare(rec, k.usePeer ? peer->port() : k.port, k.hex, k.echo, 500);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), k.result);
        EXPECT_LT(t.elapsed(), 3000);
        EXPECT_EQ(rec.mon.resultCode, k.resultCode);
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        if (k.value == -1) {
            EXPECT_GE(rec.mon.perfValue, 1);
            EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
        } else {
            EXPECT_EQ(rec.mon.perfValue, k.value);
            if (k.result == 0) {
                EXPECT_EQ(rec.mon.resultValue, k.value);
            }
        }
    }
}

} // namespace
