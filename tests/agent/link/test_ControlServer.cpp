#include "ControlPortClient.h"
#include "support/CapturedMessages.h"

#include "common/WebUtils.h"

#include "link/CControlServerNetworkThread.h"

#include <QTcpServer>
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

const QString kEchoSeven = fs(2, 7, 8, 0);

// Connects clients until one is served (the server may not have noticed the last one leave).
std::unique_ptr<ControlPortClient> connectServedClient(quint16 port)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto client = std::make_unique<ControlPortClient>();
        if (!client->connectTo(port))
            continue;
        client->send(NotificationFixedSize(1, 7, 8, 0));
        if (client->waitForCount(1, 1000) && client->received().value(0) == kEchoSeven)
            return client;
    }
    return nullptr;
}

}

TEST(ControlServer, AnswersEchoIgnoresQuietCodesAndWarnsAboutUnknownOnes)
{
    CapturedMessages messages;
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));

    // All in one write, an unknown frame type in the middle.
    QByteArray burst;
    for (const NotificationBase* n : std::initializer_list<const NotificationBase*>{
             new NotificationFixedSize(1, 7, 8, 9), new NotificationFixedSize(2, 1, 1, 1),
             new NotificationFixedSize(10003, 0, 0, 0), new NotificationFixedSize(10004, 0, 0, 0),
             new NotificationFixedSize(12345, 0, 0, 0), new NotificationFixedSize(-3, 0, 0, 0),
             new NotificationIntStr(5, {1}, {QStringLiteral("x")})}) {
        burst += NotificationBase::frameBytes(*n);
        delete n;
    }
    burst += QByteArray::fromHex("0000000302aabbcc");
    burst += NotificationBase::frameBytes(NotificationFixedSize(1, -1, 2147483647, 5));
    client.sendRaw(burst);
    ASSERT_TRUE(client.waitForCount(2));

    // A frame that arrives byte by byte is answered once complete; nothing came in between.
    const QByteArray last = NotificationBase::frameBytes(NotificationFixedSize(1, 3, 4, 5));
    for (char byte : last) {
        client.sendRaw(QByteArray(1, byte));
        QTest::qWait(2);
    }
    ASSERT_TRUE(client.waitForCount(3));
    EXPECT_EQ(client.received(), (QStringList{kEchoSeven, fs(2, -1, 2147483647, 0), fs(2, 3, 4, 0)}));

    const QStringList lines = CapturedMessages::lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("warning: control server: unknown FS message type 12345")));
    EXPECT_TRUE(lines.contains(QStringLiteral("warning: control server: unknown FS message type -3")));
    EXPECT_TRUE(lines.contains(QStringLiteral("warning: control server: unknown IS message type 5")));
    EXPECT_TRUE(lines.contains(QStringLiteral("warning: bad notification type")));
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(QStringLiteral("message type 2")) || line.contains(QStringLiteral("1000")))
            << line.toStdString();
    EXPECT_TRUE(client.isConnected());
}

TEST(ControlServer, BrokenLengthsDropTheClientAndTheServerGoesOn)
{
    CapturedMessages messages;
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    const quint16 port = server->serverPort();
    for (const char* header : {"ffffffff00", "ffffffff01", "ffffffff02", "1000000000", "1000000001",
                               "0000001100", "0001000101"}) {
        SCOPED_TRACE(header);
        CapturedMessages::clear();
        std::unique_ptr<ControlPortClient> client = connectServedClient(port);
        ASSERT_TRUE(client);
        client->sendRaw(QByteArray::fromHex(header) + QByteArray(64, 'z'));
        EXPECT_TRUE(client->waitForDisconnected());
        EXPECT_TRUE(CapturedMessages::lines().contains(
            QStringLiteral("warning: control server network: cannot read from socket")));
    }
    // The slot is free again.
    EXPECT_TRUE(connectServedClient(port));
}

TEST(ControlServer, SecondClientIsRefusedWhileTheFirstIsServed)
{
    CapturedMessages messages;
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    const quint16 port = server->serverPort();
    std::unique_ptr<ControlPortClient> first = connectServedClient(port);
    ASSERT_TRUE(first);

    ControlPortClient second;
    ASSERT_TRUE(second.connectTo(port));
    second.send(NotificationFixedSize(1, 1, 1, 1));
    EXPECT_TRUE(second.waitForDisconnected());
    EXPECT_TRUE(second.received().isEmpty());
    EXPECT_EQ(CapturedMessages::count(
                  QStringLiteral("warning: control server network: duplicate client connection, disconnect")),
              1);

    first->send(NotificationFixedSize(1, 4, 4, 4));
    ASSERT_TRUE(first->waitForCount(2));
    EXPECT_EQ(first->received().value(1), fs(2, 4, 4, 0));

    // Once the first has left, a new client is served.
    first->close();
    EXPECT_TRUE(connectServedClient(port));
}

TEST(ControlServer, FloodOfRequestsIsAnsweredInFullAndInOrder)
{
    // Far more answers than the daemon keeps unsent: its reading pauses and resumes as the
    // client catches up, and nothing is lost on the way.
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    const int count = 200000;
    QByteArray flood;
    for (int i = 0; i < count; ++i)
        flood += NotificationBase::frameBytes(NotificationFixedSize(1, i, -i, 0));
    client.sendRaw(flood);
    ASSERT_TRUE(client.waitForCount(count, 120000)) << client.received().size();
    const QStringList received = client.received();
    ASSERT_EQ(received.size(), count);
    for (int i = 0; i < count; i += 997)
        ASSERT_EQ(received[i], fs(2, i, -i, 0)) << i;
    EXPECT_EQ(received.last(), fs(2, count - 1, 1 - count, 0));
}

TEST(ControlServer, NotificationsPostedWithoutClientArriveOldestFirst)
{
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    for (int i = 1; i <= 5; ++i)
        server->sendNotification(fsPtr(10002, i, 0, 0));
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(6));
    EXPECT_EQ(client.received(), (QStringList{fs(10002, 1, 0, 0), fs(10002, 2, 0, 0), fs(10002, 3, 0, 0),
                                              fs(10002, 4, 0, 0), fs(10002, 5, 0, 0), kEchoSeven}));
}

TEST(ControlServer, NotificationTooLongForTheWireIsDroppedNotStuck)
{
    CapturedMessages messages;
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    server->sendNotification(NotificationPtr(new NotificationIntStr(1, {}, {QString(40000, QLatin1Char('x'))})));
    server->sendNotification(fsPtr(10002, 1, 0, 0));
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(2));
    EXPECT_EQ(client.received(), (QStringList{fs(10002, 1, 0, 0), kEchoSeven}));
    EXPECT_EQ(CapturedMessages::count(
                  QStringLiteral("warning: control server network: notification too long, dropped: int str 1 0 1")),
              1);
}

TEST(ControlServer, ListensOnTheLoopbackAddressOnly)
{
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    const quint16 port = server->serverPort();
    QString error;
    EXPECT_FALSE(WebUtils::checkServerPort(QHostAddress(QStringLiteral("127.0.0.1")), port, error));
    // With a listener on all interfaces this bind would fail too.
    EXPECT_TRUE(WebUtils::checkServerPort(QHostAddress(QStringLiteral("127.0.0.2")), port, error))
        << error.toStdString();
}

TEST(ControlServer, PortInUseIsReportedAndFatal)
{
    CapturedMessages messages;
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const int port = holder.serverPort();
    StandaloneControlServer server(port);
    const QString fatal = QStringLiteral("critical: control server network: cannot listen for connections");
    ASSERT_TRUE(waitUntil([&] { return CapturedMessages::lines().contains(fatal); }));
    const QStringList lines = CapturedMessages::lines();
    const int inUse = lines.indexOf(QStringLiteral("warning: control server: port %1 already in use").arg(port));
    const int bind = lines.indexOf(QStringLiteral("warning: can not bind socket to port"));
    EXPECT_GE(inUse, 0);
    EXPECT_GT(bind, inUse);
    EXPECT_GT(lines.indexOf(fatal), bind);
    EXPECT_EQ(server->serverPort(), 0);
    // Nothing is kept for a client that can never come.
    server->sendNotification(fsPtr(10002, 1, 0, 0));
    EXPECT_TRUE(server.stop());
}

TEST(ControlServer, StopsWhenTheStartWasCutShort)
{
    // Stopped before the start gate opens (another component failed to start): the network
    // thread still waits for its start; the stop must not hang on it.
    {
        StandaloneControlServer server(0, false);
        ASSERT_TRUE(server.waitListening());
        EXPECT_TRUE(server.stop());
    }
    // The network thread alone, its start never given: its stop must still end it.
    {
        auto* thread = new CControlServerNetworkThread(nullptr, 0);
        thread->start();
        ASSERT_TRUE(waitUntil([&] { return thread->networkServer() != nullptr; }));
        auto stopped = std::make_shared<std::atomic<bool>>(false);
        std::thread([thread, stopped] {
            thread->stop();
            stopped->store(true);
        }).detach();
        ASSERT_TRUE(waitUntil([&] { return stopped->load(); }, 30000));
        ASSERT_TRUE(thread->wait(30000));
        EXPECT_EQ(thread->networkServer(), nullptr);
        delete thread;
    }
    // Never started at all.
    delete new CControlServer(nullptr, QStringLiteral("control server"), 2, 0);
    // Stopped while a client is connected and notifications are on their way.
    {
        StandaloneControlServer server;
        ASSERT_TRUE(server.waitListening());
        ControlPortClient client;
        ASSERT_TRUE(client.connectTo(server->serverPort()));
        for (int i = 0; i < 100; ++i)
            server->sendNotification(fsPtr(10002, i, 0, 0));
        EXPECT_TRUE(server.stop());
        EXPECT_TRUE(client.waitForDisconnected());
        // Sends after the stop are dropped quietly.
    }
}
