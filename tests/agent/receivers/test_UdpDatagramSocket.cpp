// The receivers' UDP socket on loopback: bursts read in one call up to a bound, datagrams of
// every size whole, sender texts, and a port another socket holds.
#include "receivers/UdpDatagramSocket.h"
#include "support/EventLoopWait.h"

#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

struct Read
{
    QByteArray datagram;
    bool null = false;
    QString sender;
};

TEST(UdpDatagramSocket, ReadsBurstsWholeUpToTheBound)
{
    UdpDatagramSocket socket;
    ASSERT_TRUE(socket.bind(0));
    const quint16 port = socket.localPort();
    ASSERT_NE(port, 0);
    QUdpSocket sender;
    const QList<QByteArray> sent = {QByteArray(""), QByteArray("a\0b", 3), QByteArray(65507, 'x'), QByteArray("last")};
    for (const QByteArray& d : sent)
        ASSERT_EQ(sender.writeDatagram(d, QHostAddress::LocalHost, port), d.size());
    for (int i = 0; i < 100; ++i)
        sender.writeDatagram(QByteArray::number(i), QHostAddress::LocalHost, port);

    std::vector<Read> got;
    auto keep = [&](const char* bytes, int size, const QString& from) { got.push_back({QByteArray(bytes, size), bytes == nullptr, from}); };
    ASSERT_TRUE(waitUntil([&] { return socket.readPending(3, keep) > 0; }));
    // The bound holds even with more pending; the rest stays for the next call.
    ASSERT_EQ(got.size(), 3u);
    while (got.size() < sent.size() + 100u) {
        if (socket.readPending(1000, keep) == 0) {
            ASSERT_TRUE(waitUntil([&] { return socket.readPending(1000, keep) > 0; }));
        }
    }
    ASSERT_EQ(got.size(), sent.size() + 100u);
    for (int i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got[i].datagram, sent[i]) << i;
        EXPECT_FALSE(got[i].null) << i;
        // An IPv4 sender reaches the dual-stack socket as a mapped address, written as IPv4.
        EXPECT_EQ(got[i].sender, QStringLiteral("127.0.0.1"));
    }
    EXPECT_EQ(got.back().datagram, "99");
    EXPECT_EQ(socket.readPending(10, keep), 0);

    // Senders taking turns: each datagram is written with its own.
    QUdpSocket second;
    ASSERT_TRUE(second.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    sender.writeDatagram("a", QHostAddress::LocalHost, port);
    second.writeDatagram("b", QHostAddress::LocalHost, port);
    second.writeDatagram("c", QHostAddress::LocalHost, port);
    sender.writeDatagram("d", QHostAddress::LocalHost, port);
    got.clear();
    while (got.size() < 4u)
        ASSERT_TRUE(waitUntil([&] { return socket.readPending(10, keep) > 0; }));
    const QStringList senders = {got[0].sender, got[1].sender, got[2].sender, got[3].sender};
    EXPECT_EQ(senders, QStringList({"127.0.0.1", "127.0.0.2", "127.0.0.2", "127.0.0.1"}));

    QUdpSocket v6;
    if (v6.bind(QHostAddress(QHostAddress::LocalHostIPv6), 0)) {
        v6.writeDatagram("six", QHostAddress::LocalHostIPv6, port);
        got.clear();
        ASSERT_TRUE(waitUntil([&] { return socket.readPending(10, keep) > 0; }));
        EXPECT_EQ(got[0].sender, QStringLiteral("::1"));
    }
}

TEST(UdpDatagramSocket, SignalsReadinessAndReportsABusyPort)
{
    UdpDatagramSocket socket;
    ASSERT_TRUE(socket.bind(0));
    int wakeups = 0;
    QObject::connect(&socket, &UdpDatagramSocket::readyRead, [&] { ++wakeups; });
    QUdpSocket sender;
    sender.writeDatagram("x", QHostAddress::LocalHost, socket.localPort());
    ASSERT_TRUE(waitUntil([&] { return wakeups > 0; }));

    // The port is not shared: a second bind fails as QAbstractSocket reports it.
    UdpDatagramSocket second;
    EXPECT_FALSE(second.bind(socket.localPort()));
    EXPECT_EQ(second.error(), QAbstractSocket::AddressInUseError);
    EXPECT_FALSE(second.isOpen());
    // Closed, its port is free again, and nothing more is read.
    const quint16 port = socket.localPort();
    socket.close();
    EXPECT_EQ(socket.readPending(10, [](const char*, int, const QString&) {}), 0);
    EXPECT_TRUE(second.bind(port));
}

} // namespace
