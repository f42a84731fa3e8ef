// The syslog manager with its connector thread and a real socket on loopback: datagrams in,
// monitor events out; busy ports, port changes, shutdown, hostile datagrams and a full queue.
#include "ReceiverTestSupport.h"
#include "agent/engine/ComponentRunner.h"
#include "receivers/SyslogLineManager.h"
#include "support/EventLoopWait.h"

#include <QRandomGenerator>
#include <QSemaphore>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

const char* const kCrit = "<34>Oct 11 22:14:15 host1 su: denied";

quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return probe.localPort();
}

// Counts the log lines that contain a text, on any thread.
struct LogCounter
{
    static std::atomic<int>& parseLines() { static std::atomic<int> n{0}; return n; }
    static std::atomic<int>& queueLines() { static std::atomic<int> n{0}; return n; }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        if (text.contains(QLatin1String("could not be parsed")))
            ++parseLines();
        if (text.contains(QLatin1String("event queue is full")))
            ++queueLines();
    }
};

struct Receiver
{
    explicit Receiver(int port) : manager(new SyslogLineManager(nullptr, QStringLiteral("syslog lines manager"), 64, port))
    {
        manager->setHooks(events.hooks());
        runner = std::make_unique<ComponentRunner<SyslogLineManager>>(manager.get());
    }
    ~Receiver() { runner->finish(); }
    // Subscribes monitor id for 127.0.0.1 and starts; true once the socket listens.
    bool start(int monitorId = 5)
    {
        manager->setFilter(monitorId, {hostFilter(QStringLiteral("127.0.0.1"))}, 0, 0, 0);
        runner->start();
        return waitUntil([&] { return events.countStarting("Message receiver was started") > 0; });
    }
    // Sends until the monitor's status event for the text arrives (loopback may drop under a
    // flood); true when it did.
    bool deliver(quint16 port, const QByteArray& line, int monitorId = 5)
    {
        const QString expected = QStringLiteral("%1 7 Syslog message: ").arg(monitorId);
        const int before = events.events().filter(expected).size();
        return waitUntil([&] {
            sendDatagram(port, line);
            QTest::qWait(20);
            return events.events().filter(expected).size() > before;
        });
    }

    EventRecorder events;
    std::unique_ptr<SyslogLineManager> manager;
    std::unique_ptr<ComponentRunner<SyslogLineManager>> runner;
};

TEST(SyslogReceiver, DeliversLinesFromLoopbackAsMonitorEvents)
{
    const quint16 port = freeUdpPort();
    Receiver r(port);
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(sendDatagram(port, kCrit));
    ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Syslog message") == 1; }));
    // The socket listens on every address; an IPv4 sender reaches it as a mapped IPv6
    // address and is written as IPv4, which the filter on 127.0.0.1 matches.
    EXPECT_TRUE(r.events.events().contains(
        QStringLiteral("5 7 Syslog message: auth.CRIT: Oct 11 22:14:15 host1 su: denied")));
    auto* status = dynamic_cast<SyslogMonitorEventSetStatus*>(r.events.last().data());
    ASSERT_TRUE(status);
    EXPECT_EQ(status->payload->sender, QStringLiteral("127.0.0.1"));

    // An IPv6 sender keeps its own text and matches no IPv4 filter.
    QUdpSocket v6;
    if (v6.bind(QHostAddress(QHostAddress::LocalHostIPv6), 0)) {
        v6.writeDatagram(QByteArray(kCrit), QHostAddress::LocalHostIPv6, port);
        r.manager->setFilter(6, {hostFilter(QStringLiteral("127.0.0.1"))}, 0, 0, 0);
        ASSERT_TRUE(r.deliver(port, "<34>Oct 11 22:14:15 host1 su: sentinel", 6));
        EXPECT_EQ(r.events.countStarting("Syslog message"), 3);
    }

    // Unsubscribed: no more events for that monitor.
    r.manager->removeFilter(5);
    ASSERT_TRUE(r.deliver(port, "<34>Oct 11 22:14:15 host1 su: after", 6));
    EXPECT_FALSE(r.events.events().contains(QStringLiteral("5 7 Syslog message: auth.CRIT: Oct 11 22:14:15 host1 su: after")));

    // Shutdown while listening tells no monitor that the receiver stopped.
    r.runner->finish();
    EXPECT_EQ(r.events.countStarting("Message receiver was stopped"), 0);
}

TEST(SyslogReceiver, BusyPortAndPortChanges)
{
    const quint16 busy = freeUdpPort();
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, busy, QAbstractSocket::DontShareAddress));
    Receiver r(busy);
    r.runner->start();
    ASSERT_TRUE(waitUntil([&] { return !r.manager->lastError().isEmpty(); }));
    r.manager->setFilter(5, {hostFilter(QStringLiteral("127.0.0.1"))}, 0, 0, 0);
    EXPECT_EQ(r.events.events(), QStringList(QStringLiteral(
                                     "5 5 The receiver is not ready (Receiver initialization failed: port %1 is busy)")
                                                 .arg(busy)));

    // To a free port: started, and lines arrive there.
    const quint16 second = freeUdpPort();
    r.manager->changePort(second);
    ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Message receiver was started") == 1; }));
    ASSERT_TRUE(r.deliver(second, kCrit));

    // To the busy port while listening: the error, then stopped; the old port is let go.
    r.manager->changePort(busy);
    ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Message receiver was stopped") == 1; }));
    EXPECT_EQ(r.manager->lastError(), QStringLiteral("Receiver initialization failed: port %1 is busy").arg(busy));
    QUdpSocket reuse;
    EXPECT_TRUE(reuse.bind(QHostAddress::LocalHost, second, QAbstractSocket::DontShareAddress));

    // A port out of range is refused with its own reason.
    r.manager->changePort(70000);
    ASSERT_TRUE(waitUntil([&] { return r.manager->lastError().contains(QLatin1String("70000")); }));
}

TEST(SyslogReceiver, HostileDatagramsCostABoundedLog)
{
    LogCounter::parseLines() = 0;
    const QtMessageHandler previous = qInstallMessageHandler(LogCounter::handler);
    const quint16 port = freeUdpPort();
    {
        Receiver r(port);
        ASSERT_TRUE(r.start());
        QUdpSocket s;
        const QList<QByteArray> odd = {
            QByteArray(), QByteArray(65507, 'x'), QByteArray("<13>1 - - - - - -\0\0\0 nul", 25),
            QByteArray("<13>Oct 11 22:14:15 h \xff\xfe\xc3( bad utf-8"), QByteArray(65507, '\0'),
            "<13>" + QByteArray(65503, ' '),
        };
        for (const QByteArray& d : odd)
            s.writeDatagram(d, QHostAddress::LocalHost, port);
        QRandomGenerator rng(42);
        QByteArray d;
        for (int i = 0; i < 100000; ++i) {
            d.resize(1 + rng.bounded(200));
            for (int j = 0; j < d.size(); ++j)
                d[j] = static_cast<char>(rng.bounded(256));
            if (i % 3 == 0)
                d.prepend("<13>");
            s.writeDatagram(d, QHostAddress::LocalHost, port);
        }
        ASSERT_TRUE(r.deliver(port, kCrit));
        // The parse failures are counted, but only a line now and then reaches the log, and
        // none of them becomes the receiver's error.
        EXPECT_TRUE(r.manager->lastError().isEmpty());
        r.manager->setFilter(8, {hostFilter(QStringLiteral("127.0.0.1"))}, 0, 0, 0);
        EXPECT_FALSE(r.events.events().contains(QStringLiteral("8 5 The receiver is not ready")));
    }
    qInstallMessageHandler(previous);
    EXPECT_GE(LogCounter::parseLines().load(), 1);
    EXPECT_LE(LogCounter::parseLines().load(), 5);
}

TEST(SyslogReceiver, FullQueueCountsWhatItDrops)
{
    LogCounter::queueLines() = 0;
    const QtMessageHandler previous = qInstallMessageHandler(LogCounter::handler);
    const quint16 port = freeUdpPort();
    QSemaphore gate;
    std::atomic<int> delivered{0};
    {
        Receiver r(port);
        struct Opener { QSemaphore& g; ~Opener() { g.release(100); } } opener{gate};
        r.manager->setQueueBounds(4, 1 << 20);
        UdpReceiverHooks hooks = r.events.hooks();
        hooks.sendMonitorEvent = [&](int id, const CMonitorEventPtr& e) {
            r.events.add(id, e);
            if (e->typeId() == 4)
                gate.acquire();   // the manager stalls right after the receiver starts
            else if (e->typeId() == 7)
                ++delivered;
        };
        r.manager->setHooks(hooks);
        ASSERT_TRUE(r.start());
        const int sent = 40;
        QUdpSocket s;
        for (int i = 0; i < sent; ++i)
            s.writeDatagram(QByteArray(kCrit), QHostAddress::LocalHost, port);
        ASSERT_TRUE(waitUntil([&] { return r.manager->droppedEvents() == quint64(sent - 4); }));
        gate.release();
        ASSERT_TRUE(waitUntil([&] { return delivered.load() == 4; }));
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(LogCounter::queueLines().load(), 1);
}

TEST(SyslogReceiver, DatagramsFromUnsubscribedSendersAreDroppedUnread)
{
    LogCounter::parseLines() = 0;
    const QtMessageHandler previous = qInstallMessageHandler(LogCounter::handler);
    const quint16 port = freeUdpPort();
    {
        Receiver r(port);
        r.manager->setFilter(5, {hostFilter(QStringLiteral("127.0.0.2"))}, 0, 0, 0);
        r.runner->start();
        ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Message receiver was started") > 0; }));
        // No monitor listens to 127.0.0.1: its garbage is not even parsed. The line from
        // 127.0.0.2 behind it shows that it was read.
        QUdpSocket second;
        ASSERT_TRUE(second.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        ASSERT_TRUE(sendDatagram(port, "garbage"));
        ASSERT_EQ(second.writeDatagram(QByteArray(kCrit), QHostAddress::LocalHost, port), qint64(qstrlen(kCrit)));
        ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Syslog message") == 1; }));
        EXPECT_EQ(LogCounter::parseLines().load(), 0);
        // Subscribed from now on: the very next datagram is read (sent once, no retry).
        r.manager->setFilter(6, {hostFilter(QStringLiteral("127.0.0.1"))}, 0, 0, 0);
        ASSERT_TRUE(sendDatagram(port, kCrit));
        ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Syslog message") == 2; }));
        ASSERT_TRUE(sendDatagram(port, "garbage"));
        EXPECT_TRUE(waitUntil([&] { return LogCounter::parseLines().load() == 1; }));
        // Removed again: lines from it stop before the parser.
        r.manager->removeFilter(6);
        ASSERT_TRUE(sendDatagram(port, "garbage"));
        ASSERT_TRUE(sendDatagram(port, kCrit));
        second.writeDatagram(QByteArray(kCrit), QHostAddress::LocalHost, port);
        ASSERT_TRUE(waitUntil([&] { return r.events.countStarting("Syslog message") == 3; }));
        EXPECT_TRUE(r.events.events().filter(QStringLiteral("6 7 ")).size() == 1);
        EXPECT_EQ(LogCounter::parseLines().load(), 1);
    }
    qInstallMessageHandler(previous);
}

TEST(SyslogReceiver, SubscriptionsChangeWhileLinesFlow)
{
    const quint16 port = freeUdpPort();
    Receiver r(port);
    ASSERT_TRUE(r.start());
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            int n = 0;
            while (!stop.load()) {
                const int id = 100 + t * 10 + (n % 10);
                if (n % 3 == 2)
                    r.manager->removeFilter(id);
                else
                    r.manager->setFilter(id, {hostFilter(QStringLiteral("127.0.0.1"), 1), hostFilter(QStringLiteral("127.0.0.1"), 2)},
                                         n % 2, 2, 1);
                ++n;
            }
        });
    }
    QUdpSocket s;
    for (int i = 0; i < 20000; ++i) {
        s.writeDatagram(QByteArray(kCrit), QHostAddress::LocalHost, port);
        if (i % 500 == 0)
            QTest::qWait(1);
    }
    stop = true;
    for (std::thread& t : threads)
        t.join();
    ASSERT_TRUE(r.deliver(port, kCrit));
    r.manager->clearFilters();
}

} // namespace
