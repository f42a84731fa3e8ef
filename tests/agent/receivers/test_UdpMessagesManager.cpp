// The receiving manager's handling of server events, subscriptions and limits, driven
// directly on the test thread with a hand-moved clock.
#include "ReceiverTestSupport.h"
#include "receivers/NetworkMsgServerEvent.h"
#include "receivers/SMessagesLimit.h"
#include "receivers/SyslogLineManager.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

struct ManagerFixture
{
    ManagerFixture() : manager(nullptr, QStringLiteral("syslog lines manager"), 64, 0)
    {
        manager.setHooks(events.hooks());
        manager.setClock(&clock);
    }
    void line(const char* datagram, const char* sender = "127.0.0.1")
    {
        auto* l = new SyslogLine;
        l->valid = l->parse(QByteArray(datagram), QString::fromLatin1(sender));
        EXPECT_TRUE(l->valid);
        manager.handleServerEvent(NetworkMsgServerEventPtr(
            new NetworkMsgServerDataReceivedEvent<SyslogCallbackSharedDataPointer>(SyslogCallbackSharedDataPointer(l), 0)));
    }
    void started() { manager.handleServerEvent(NetworkMsgServerEventPtr(new NetworkMsgServerListeningStartedEvent)); }
    void stopped() { manager.handleServerEvent(NetworkMsgServerEventPtr(new NetworkMsgServerListeningStoppedEvent)); }

    EventRecorder events;
    HandClock clock;
    SyslogLineManager manager;
};

const char* const kCrit = "<34>Oct 11 22:14:15 host1 su: denied";
const QString kCritEvent = QStringLiteral("Syslog message: auth.CRIT: Oct 11 22:14:15 host1 su: denied");

TEST(MessagesLimit, RemainingTimeTexts)
{
    const struct { int seconds; const char* text; } cases[] = {
        {45, "45 seconds"}, {1, "1 second"}, {0, "0 second"}, {61, "1 minute 1 second"},
        {3600, "1 hour 0 second"}, {3605, "1 hour 5 seconds"}, {3725, "1 hour 2 minutes 5 seconds"},
        {7322, "2 hours 2 minutes 2 seconds"}, {-1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(remainingTimeText(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
}

TEST(MessagesLimit, WindowsOnTheMonotonicClock)
{
    // maxMessages, windowSeconds, then (ms since the previous message, expected verdict).
    using V = SMessagesLimit;
    const struct { int max; int window; QList<QPair<qint64, int>> steps; } cases[] = {
        {3, 60, {{0, V::Deliver}, {1, V::Deliver}, {1, V::Deliver}, {1, V::ReportLimit}, {1, V::Drop},
                 {59995, V::Drop}, {1, V::Deliver}, {1, V::Deliver}}},
        {0, 60, {{0, V::Deliver}, {1, V::ReportLimit}, {1, V::Drop}}},
        {1, 60, {{0, V::Deliver}, {1, V::ReportLimit}}},
        {1, 0, {{0, V::Deliver}, {0, V::Deliver}, {0, V::Deliver}}},
        {1, -5, {{0, V::Deliver}, {0, V::Deliver}}},
    };
    for (const auto& c : cases) {
        SMessagesLimit limit;
        limit.maxMessages = c.max;
        limit.windowSeconds = c.window;
        qint64 now = 5000;
        int i = 0;
        for (const auto& step : c.steps) {
            now += step.first;
            int remaining = -1;
            EXPECT_EQ(limit.onMessage(now, remaining), step.second) << c.max << "/" << c.window << " step " << i;
            ++i;
        }
    }
    SMessagesLimit limit;
    limit.maxMessages = 1;
    limit.windowSeconds = 60;
    int remaining = 0;
    limit.onMessage(0, remaining);
    ASSERT_EQ(limit.onMessage(15500, remaining), SMessagesLimit::ReportLimit);
    EXPECT_EQ(remaining, 45);
}

TEST(UdpMessagesManager, LimitsPerMonitorWithOneLimitEvent)
{
    ManagerFixture fx;
    fx.started();
    fx.manager.setFilter(5, {hostFilter("127.0.0.1")}, 1, 3, 60);
    fx.manager.setFilter(7, {hostFilter("127.0.0.1")}, 0, 0, 0);
    for (int i = 0; i < 5; ++i) {
        fx.line(kCrit);
        fx.clock.advanceMs(1000);
    }
    const QString limitText = QStringLiteral(
        "5 8 Accepted messages limit has been exceeded. All messages within next 57 seconds will be ignored.");
    QStringList expected;
    for (int i = 0; i < 3; ++i)
        expected << "5 7 " + kCritEvent << "7 7 " + kCritEvent;
    expected << limitText << "7 7 " + kCritEvent << "7 7 " + kCritEvent;
    EXPECT_EQ(fx.events.events(), expected);

    // The window ends 60 s after its first message, whatever the wall clock does meanwhile.
    fx.events.clear();
    fx.clock.advanceMs(54999);
    fx.line(kCrit);
    fx.clock.advanceMs(1);
    fx.line(kCrit);
    EXPECT_EQ(fx.events.events(), QStringList({"7 7 " + kCritEvent, "5 7 " + kCritEvent, "7 7 " + kCritEvent}));

    // A new subscription with a limit keeps the window; one without drops the limit.
    fx.events.clear();
    fx.manager.setFilter(5, {hostFilter("127.0.0.1")}, 1, 1, 60);
    fx.line(kCrit);
    EXPECT_EQ(fx.events.countStarting("Accepted messages limit"), 1);
    fx.manager.setFilter(5, {hostFilter("127.0.0.1")}, 0, 1, 60);
    fx.events.clear();
    fx.line(kCrit);
    fx.line(kCrit);
    EXPECT_EQ(fx.events.events().filter(QRegExp("^5 7 ")).size(), 2);
}

TEST(UdpMessagesManager, ReceiverStateReachesSubscribedMonitors)
{
    ManagerFixture fx;
    fx.manager.setFilter(5, {hostFilter("127.0.0.1")}, 0, 0, 0);
    fx.manager.handleServerEvent(
        NetworkMsgServerEventPtr(new NetworkMsgServerErrorEvent("Receiver initialization failed: port 514 is busy")));
    fx.manager.setFilter(3, {hostFilter("127.0.0.1")}, 0, 0, 0);
    fx.started();
    fx.started();   // already listening: nothing
    fx.line(kCrit);
    fx.stopped();
    fx.stopped();
    fx.manager.removeFilter(3);
    fx.started();
    fx.manager.setFilter(9, {hostFilter("127.0.0.1")}, 0, 0, 0);   // listening: nothing to say
    QStringList events = fx.events.events();
    ASSERT_EQ(events.size(), 9) << events.join('\n').toStdString();
    EXPECT_EQ(events.mid(0, 2), QStringList({"5 5 The receiver is not ready",
                                             "3 5 The receiver is not ready (Receiver initialization failed: port 514 is busy)"}));
    const QStringList startedEvents = events.mid(2, 2);
    EXPECT_EQ(QSet<QString>(startedEvents.begin(), startedEvents.end()),
              QSet<QString>({"3 4 Message receiver was started", "5 4 Message receiver was started"}));
    EXPECT_EQ(events.mid(4, 2), QStringList({"3 7 " + kCritEvent, "5 7 " + kCritEvent}));   // ascending ids
    EXPECT_EQ(QSet<QString>(events.begin() + 6, events.begin() + 8),
              QSet<QString>({"3 5 Message receiver was stopped", "5 5 Message receiver was stopped"}));
    EXPECT_EQ(events[8], "5 4 Message receiver was started");
    EXPECT_TRUE(fx.manager.lastError().isEmpty());
}

TEST(UdpMessagesManager, FilterHostsAreResolvedOnceAndFailuresAnswered)
{
    ManagerFixture fx;
    fx.started();
    int lookups = 0;
    fx.manager.hostResolver().setLookup([&](const QString& name) {
        ++lookups;
        return name == "loghost" ? QList<QHostAddress>{QHostAddress("127.0.0.1")} : QList<QHostAddress>{};
    });
    fx.manager.setFilter(5, {hostFilter("loghost")}, 0, 0, 0);
    fx.manager.setFilter(6, {hostFilter("loghost")}, 0, 0, 0);
    fx.manager.setFilter(7, {hostFilter("nowhere.invalid")}, 0, 0, 0);
    fx.manager.setFilter(8, {}, 0, 0, 0);
    auto* range = new SyslogLineFilter;
    range->address = CIpAddressRange::fromRange(QHostAddress("127.0.0.1"), QHostAddress("127.0.0.5"));
    fx.manager.setFilter(9, {range}, 0, 0, 0);
    auto* single = new SyslogLineFilter;
    single->address = CIpAddressRange::fromRange(QHostAddress("127.0.0.1"), QHostAddress("127.0.0.1"));
    fx.manager.setFilter(10, {single}, 0, 0, 0);
    EXPECT_EQ(lookups, 2);   // the answer for loghost is kept
    fx.line(kCrit);
    EXPECT_EQ(fx.events.events(), QStringList({"7 5 cannot resolve hostname to IP", "8 5 cannot resolve hostname to IP",
                                               "9 5 cannot resolve hostname to IP", "5 7 " + kCritEvent,
                                               "6 7 " + kCritEvent, "10 7 " + kCritEvent}));
    // Lines from a sender without filters cost nothing and say nothing.
    fx.events.clear();
    fx.line(kCrit, "127.0.0.2");
    EXPECT_TRUE(fx.events.events().isEmpty());
}

} // namespace
