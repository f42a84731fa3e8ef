// The pump that drains a receiver's UDP socket on its own thread: datagrams of every size
// whole and in order with their addresses, readiness that follows what waits, and a full
// buffer that holds the reader back (the rest waits in the socket) without losing or
// tearing anything.
#include "receivers/UdpDatagramPump.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Taken
{
    QByteArray bytes;
    quint16 senderPort;
    quint32 sender;
    quint32 local;
    int ifIndex;
};

// A loopback socket that asks for the local address of each datagram, as Net-SNMP's are.
struct Socket
{
    Socket()
    {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any);
        socklen_t length = sizeof any;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length);
        port = ntohs(any.sin_port);
    }
    ~Socket() { ::close(fd); }
    // Bytes of the next datagram the kernel still holds (0: none).
    int pending() const
    {
        int n = 0;
        ::ioctl(fd, FIONREAD, &n);
        return n;
    }
    int fd;
    quint16 port = 0;
};

bool becomesReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

template <class Condition>
bool waitFor(Condition condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Takes everything that waits, waiting up to the time limit for the count.
void takeUntil(UdpDatagramPump& pump, std::vector<Taken>& out, size_t count, int max = 1000)
{
    QElapsedTimer timer;
    timer.start();
    while (out.size() < count && timer.elapsed() < 10000) {
        if (!becomesReadable(pump.readyFd(), 100))
            continue;
        pump.take(max, [&](const UdpDatagramPump::Datagram& d) {
            out.push_back({QByteArray(reinterpret_cast<const char*>(d.bytes), d.size), ntohs(d.sender.sin_port),
                           ntohl(d.sender.sin_addr.s_addr), ntohl(d.local.s_addr), d.ifIndex});
        });
    }
}

QByteArray numbered(int i, int size)
{
    QByteArray d = QByteArray::number(i).leftJustified(size, char('a' + i % 26));
    return d;
}

} // namespace

TEST(UdpDatagramPump, DeliversDatagramsWholeInOrderWithTheirAddresses)
{
    Socket socket;
    UdpDatagramPump pump;
    ASSERT_TRUE(pump.start(socket.fd));
    EXPECT_FALSE(becomesReadable(pump.readyFd(), 0));

    QUdpSocket sender;
    ASSERT_TRUE(sender.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    // Within the socket's default buffer even if the reader never ran: nothing can be dropped.
    std::vector<QByteArray> sent = {QByteArray(), QByteArray("a\0b", 3), QByteArray(65507, 'x')};
    for (int i = 0; i < 120; ++i)
        sent.push_back(numbered(i, 1 + i % 97));
    for (const QByteArray& d : sent)
        ASSERT_EQ(sender.writeDatagram(d, QHostAddress(QStringLiteral("127.0.0.3")), socket.port), d.size());

    std::vector<Taken> got;
    ASSERT_TRUE(becomesReadable(pump.readyFd(), 10000));
    // Whole blocks at a time: at least the bound, or all that waits.
    const int first = pump.take(2, [&](const UdpDatagramPump::Datagram& d) {
        got.push_back({QByteArray(reinterpret_cast<const char*>(d.bytes), d.size), ntohs(d.sender.sin_port),
                       ntohl(d.sender.sin_addr.s_addr), ntohl(d.local.s_addr), d.ifIndex});
    });
    EXPECT_GE(first, 1);
    takeUntil(pump, got, sent.size());
    ASSERT_EQ(got.size(), sent.size());
    const int loopback = static_cast<int>(if_nametoindex("lo"));
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got[i].bytes, sent[i]) << i;
        EXPECT_EQ(got[i].sender, QHostAddress(QStringLiteral("127.0.0.2")).toIPv4Address()) << i;
        EXPECT_EQ(got[i].senderPort, sender.localPort()) << i;
        // The address the sender wrote to, so an answer can leave from it.
        EXPECT_EQ(got[i].local, QHostAddress(QStringLiteral("127.0.0.3")).toIPv4Address()) << i;
        EXPECT_EQ(got[i].ifIndex, loopback) << i;
    }
    // All taken: quiet until the next datagram.
    EXPECT_EQ(pump.take(10, [](const UdpDatagramPump::Datagram&) {}), 0);
    EXPECT_FALSE(becomesReadable(pump.readyFd(), 0));
    sender.writeDatagram("again", QHostAddress::LocalHost, socket.port);
    got.clear();
    takeUntil(pump, got, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, "again");
    EXPECT_EQ(got[0].local, QHostAddress(QHostAddress::LocalHost).toIPv4Address());

    // Stopped and started again on the same socket, it goes on reading.
    pump.stop();
    EXPECT_EQ(pump.readyFd(), -1);
    ASSERT_TRUE(pump.start(socket.fd));
    sender.writeDatagram("restarted", QHostAddress::LocalHost, socket.port);
    got.clear();
    takeUntil(pump, got, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, "restarted");
}

TEST(UdpDatagramPump, AFullBufferHoldsTheReaderBackAndLosesNothing)
{
    Socket socket;
    UdpDatagramPump pump;
    ASSERT_TRUE(pump.start(socket.fd));
    QUdpSocket sender;
    constexpr int kSize = 60000;   // two records a block
    const int capacity = UdpDatagramPump::kMaxBlocks * 2;
    // Each datagram is sent once the last has left the socket for the pump: the pump fills
    // up while nobody takes.
    int next = 0;
    for (; next < capacity; ++next) {
        ASSERT_EQ(sender.writeDatagram(numbered(next, kSize), QHostAddress::LocalHost, socket.port), kSize);
        ASSERT_TRUE(waitFor([&] { return socket.pending() == 0; })) << next;
    }
    // Now the reader has no room: these wait in the socket until blocks are taken.
    for (int i = 0; i < 2; ++i, ++next)
        ASSERT_EQ(sender.writeDatagram(numbered(next, kSize), QHostAddress::LocalHost, socket.port), kSize);

    std::vector<Taken> got;
    takeUntil(pump, got, static_cast<size_t>(next), 10);
    ASSERT_EQ(got.size(), static_cast<size_t>(next));
    for (int i = 0; i < next; ++i)
        EXPECT_EQ(got[i].bytes, numbered(i, kSize)) << i;
    EXPECT_EQ(socket.pending(), 0);

    // Full again, with the reader waiting for room: stop still ends it.
    for (int i = 0; i <= capacity; ++i) {
        sender.writeDatagram(numbered(i, kSize), QHostAddress::LocalHost, socket.port);
        if (i < capacity) {
            ASSERT_TRUE(waitFor([&] { return socket.pending() == 0; })) << i;
        }
    }
    pump.stop();
    EXPECT_FALSE(pump.isRunning());
}
