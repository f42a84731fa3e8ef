// The syslog filter's tests of a line, and the matcher that files filters by sender.
#include "ReceiverTestSupport.h"
#include "receivers/UdpDataMatcher.h"

#include <gtest/gtest.h>
#include <functional>

namespace {

QExplicitlySharedDataPointer<const SyslogLine> parsed(const char* datagram, const char* sender = "127.0.0.1")
{
    auto* line = new SyslogLine;
    line->valid = line->parse(QByteArray(datagram), QString::fromLatin1(sender));
    EXPECT_TRUE(line->valid) << datagram << " " << line->parseStatus.toStdString();
    return QExplicitlySharedDataPointer<const SyslogLine>(line);
}

// auth.CRIT, no APP-NAME, PROCID -1.
const char* const k3164 = "<34>Oct 11 22:14:15 host1 su: denied";
// local4.NOTICE, APP-NAME app1, PROCID 1234, MSGID ID47.
const char* const k5424 = "<165>1 2003-10-11T22:14:15.003Z host1 app1 1234 ID47 "
                          "[exampleSDID@32473 iut=\"3\" eventSource=\"Application\"] hello world";

struct FilterCase
{
    const char* name;
    const char* datagram;
    const char* sender;
    std::function<void(SyslogLineFilter&)> set;
    bool accepted;
};

TEST(SyslogFilter, TestsEachConditionInOrder)
{
    auto sd = [](const char* c) { return [c](SyslogLineFilter& f) { f.structuredDataCondition = c; }; };
    auto pattern = [](const char* include, const char* exclude) {
        return [include, exclude](SyslogLineFilter& f) {
            f.checkMessage = true;
            f.messagePattern = QRegExp(include);
            f.excludePattern = QRegExp(exclude);
        };
    };
    auto withPattern = [](const QRegExp& include) {
        return [include](SyslogLineFilter& f) {
            f.checkMessage = true;
            f.messagePattern = include;
        };
    };
    const FilterCase cases[] = {
        {"sender equal", k3164, "127.0.0.1", [](SyslogLineFilter&) {}, true},
        {"sender other", k3164, "127.0.0.2", [](SyslogLineFilter&) {}, false},
        {"sender IPv6 text", k3164, "::1", [](SyslogLineFilter&) {}, false},
        {"severity crit bit", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.m_severityMask = 1 << 2; }, true},
        {"severity err bit only", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.m_severityMask = 1 << 3; }, false},
        {"severity mask 0 is any", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.m_severityMask = 0; }, true},
        {"facility auth bit", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.m_facilityMask = 1 << 4; }, true},
        {"facility local4 bit", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.m_facilityMask = 1 << 20; }, true},
        {"facility other bit", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.m_facilityMask = 1 << 5; }, false},
        {"facility mask 0 is any", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.m_facilityMask = 0; }, true},
        {"app name contained", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.appNameText = "app"; }, true},
        {"app name absent", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.appNameText = "ssh"; }, false},
        {"app name on RFC 3164", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.appNameText = "su"; }, false},
        {"message id contained", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.messageIdText = "ID4"; }, true},
        {"message id case", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.messageIdText = "id47"; }, false},
        {"process id equal", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.processId = 1234; }, true},
        {"process id other", k5424, "127.0.0.1", [](SyslogLineFilter& f) { f.processId = 1235; }, false},
        {"process id 0 on RFC 3164", k3164, "127.0.0.1", [](SyslogLineFilter& f) { f.processId = 0; }, false},
        {"sd 1 part: SD-ID", k5424, "127.0.0.1", sd("example"), true},
        {"sd 1 part: name", k5424, "127.0.0.1", sd("eventSo"), true},
        {"sd 1 part: value", k5424, "127.0.0.1", sd("Applic"), true},
        {"sd 1 part: nowhere", k5424, "127.0.0.1", sd("nowhere"), false},
        {"sd 1 part: blank kept", k5424, "127.0.0.1", sd(" iut"), false},
        {"sd 2 parts", k5424, "127.0.0.1", sd("exampleSDID@32473, iut"), true},
        {"sd 2 parts: no such name", k5424, "127.0.0.1", sd("exampleSDID@32473,nope"), false},
        {"sd 2 parts: no such element", k5424, "127.0.0.1", sd("other,iut"), false},
        {"sd 3 parts", k5424, "127.0.0.1", sd("exampleSDID@32473,iut,3"), true},
        {"sd 3 parts: value differs", k5424, "127.0.0.1", sd("exampleSDID@32473,iut,4"), false},
        {"sd no part", k5424, "127.0.0.1", sd(",,"), false},
        {"sd 4 parts", k5424, "127.0.0.1", sd("a,b,c,d"), false},
        {"sd on a line without", k3164, "127.0.0.1", sd("iut"), false},
        {"message: no patterns", k5424, "127.0.0.1", pattern("", ""), true},
        {"message: include found", k5424, "127.0.0.1", pattern("hel+o", ""), true},
        {"message: include missing", k5424, "127.0.0.1", pattern("bye", ""), false},
        {"message: exclude found", k5424, "127.0.0.1", pattern("hello", "world"), false},
        {"message: exclude only", k5424, "127.0.0.1", pattern("", "bye"), false},
        {"message: unchecked", k5424, "127.0.0.1",
         [](SyslogLineFilter& f) { f.messagePattern = QRegExp("bye"); }, true},
        // Patterns without metacharacters take a substring search: the same answers as QRegExp.
        {"message: literal include across a space", k5424, "127.0.0.1", pattern("lo wo", ""), true},
        {"message: literal include is case-sensitive", k5424, "127.0.0.1", pattern("Hello", ""), false},
        {"message: literal exclude found", k5424, "127.0.0.1", pattern("hello", "orl"), false},
        {"message: dot is any character", k5424, "127.0.0.1", pattern("hel.o", ""), true},
        {"message: anchored", k5424, "127.0.0.1", pattern("^world", ""), false},
        {"message: fixed string takes a dot as a dot", k5424, "127.0.0.1",
         withPattern(QRegExp("hel.o", Qt::CaseSensitive, QRegExp::FixedString)), false},
        {"message: fixed string found", k5424, "127.0.0.1",
         withPattern(QRegExp("o w", Qt::CaseSensitive, QRegExp::FixedString)), true},
        {"message: case-insensitive literal", k5424, "127.0.0.1", withPattern(QRegExp("HELLO", Qt::CaseInsensitive)), true},
        {"message: wildcard", k5424, "127.0.0.1",
         withPattern(QRegExp("*wor?d", Qt::CaseSensitive, QRegExp::Wildcard)), true},
    };
    for (const FilterCase& c : cases) {
        SyslogLineFilter f;
        f.setSenderAddresses({QStringLiteral("127.0.0.1")});
        c.set(f);
        EXPECT_EQ(f.matches(*parsed(c.datagram, c.sender)), c.accepted) << c.name;
    }
}

TEST(SyslogFilter, StatusEventCarriesTheDisplayTextAndTheLine)
{
    const auto line = parsed("<34>Oct 11 22:14:15 host1 su: denied");
    SyslogLineFilter f;
    const CMonitorEventPtr event = f.makeStatusEvent(line);
    auto* status = dynamic_cast<SyslogMonitorEventSetStatus*>(event.data());
    ASSERT_TRUE(status);
    EXPECT_EQ(status->typeId(), 7);
    EXPECT_EQ(status->status.status, 1);
    EXPECT_EQ(status->status.secondText, QStringLiteral("Syslog message: auth.CRIT: Oct 11 22:14:15 host1 su: denied"));
    EXPECT_EQ(status->payload.data(), line.data());
    // Field for field what SMonitorStatus(1, 0, 0, none, null text, the text, ...) makes: the
    // stream forms agree byte for byte.
    const SyslogMonitorEventSetStatus expected(
        SMonitorStatus(1, 0, 0, SStatusValue(), QString(), status->status.secondText, QStringList(), QDateTime(), 0), line);
    for (bool wide : {false, true}) {
        QByteArray made, want;
        QDataStream madeOut(&made, QIODevice::WriteOnly), wantOut(&want, QIODevice::WriteOnly);
        status->write(madeOut, wide);
        expected.write(wantOut, wide);
        EXPECT_EQ(made.toHex(), want.toHex()) << wide;
    }
    EXPECT_TRUE(status->status.text.isNull());
    EXPECT_EQ(status->status.built, expected.status.built);
    EXPECT_EQ(status->status.time, expected.status.time);
    EXPECT_EQ(status->status.flags, expected.status.flags);

    // Every monitor the line matched gets that one event; the next line its own.
    SyslogLineFilter other;
    EXPECT_EQ(other.makeStatusEvent(line).data(), event.data());
    const auto next = parsed("<34>Oct 11 22:14:16 host1 su: denied again");
    const CMonitorEventPtr nextEvent = other.makeStatusEvent(next);
    ASSERT_NE(nextEvent.data(), event.data());
    EXPECT_EQ(static_cast<SyslogMonitorEventSetStatus*>(nextEvent.data())->payload.data(), next.data());
    EXPECT_EQ(status->status.secondText, QStringLiteral("Syslog message: auth.CRIT: Oct 11 22:14:15 host1 su: denied"));
}

// A filter that counts its destruction and answers as told.
struct ProbeFilter
{
    using Message = SyslogLine;
    ProbeFilter(int k, const QString& host, bool accept) : key(k), accept(accept)
    {
        if (!host.isEmpty())
            hosts.append(host);
    }
    ~ProbeFilter() { ++destroyed; }
    QStringList senderAddresses() const { return hosts; }
    bool matches(const SyslogLine&) const { return accept; }

    int key;
    bool accept;
    QStringList hosts;
    static int destroyed;
};
int ProbeFilter::destroyed = 0;

TEST(UdpDataMatcher, FilesByFirstFilterAndTriesHighestKeyFirst)
{
    ProbeFilter::destroyed = 0;
    {
        UdpDataMatcher<ProbeFilter> m;
        auto* k1 = new ProbeFilter(1, "127.0.0.1", true);
        auto* k3 = new ProbeFilter(3, "10.0.0.9", true);   // filed under the first filter's host
        auto* k2 = new ProbeFilter(2, "127.0.0.1", true);
        ASSERT_TRUE(m.addFilters(5, {k1, k3, k2}));
        ASSERT_TRUE(m.addFilters(3, {new ProbeFilter(1, "127.0.0.1", false), new ProbeFilter(2, "", true)}));
        SyslogLine line;
        line.sender = "127.0.0.1";
        QMap<int, ProbeFilter*> result;
        m.match(line, result);
        EXPECT_EQ(result.keys(), QList<int>({3, 5}));
        EXPECT_EQ(result.value(5), k3);
        EXPECT_EQ(result.value(3)->key, 2);
        line.sender = "10.0.0.9";
        result.clear();
        m.match(line, result);
        EXPECT_TRUE(result.isEmpty());

        // Two filters with one key: only the later stays; the earlier is freed at once.
        auto* later = new ProbeFilter(4, "127.0.0.1", true);
        ASSERT_TRUE(m.addFilters(6, {new ProbeFilter(4, "127.0.0.1", false), later}));
        EXPECT_EQ(ProbeFilter::destroyed, 1);
        m.removeMonitor(5);
        EXPECT_EQ(ProbeFilter::destroyed, 4);
        line.sender = "127.0.0.1";
        result.clear();
        m.match(line, result);
        EXPECT_EQ(result.keys(), QList<int>({3, 6}));
        m.removeMonitor(3);
        m.removeMonitor(6);
        EXPECT_EQ(m.hostCount(), 0);
        m.removeMonitor(99);   // never filed: nothing happens

        // No address: not filed, and freed at the monitor's next subscription or removal.
        const int before = ProbeFilter::destroyed;
        EXPECT_FALSE(m.addFilters(8, {new ProbeFilter(1, "", true), new ProbeFilter(2, "127.0.0.1", true)}));
        EXPECT_TRUE(m.hasMonitor(8));
        EXPECT_FALSE(m.addFilters(8, {}));
        EXPECT_EQ(ProbeFilter::destroyed, before + 2);
        EXPECT_FALSE(m.addFilters(8, {new ProbeFilter(1, "", true)}));
        m.removeMonitor(8);
        EXPECT_EQ(ProbeFilter::destroyed, before + 3);
        EXPECT_FALSE(m.hasMonitor(8));
        m.addFilters(9, {new ProbeFilter(1, "127.0.0.1", true)});
        m.addFilters(10, {new ProbeFilter(1, "", true)});
    }
    // The matcher frees what it still holds.
    EXPECT_EQ(ProbeFilter::destroyed, 12);
}

} // namespace
