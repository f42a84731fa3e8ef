#include "engine/CMonitorEvent.h"
#include "engine/CNewMonitorInfo.h"

#include <gtest/gtest.h>

#include <QDataStream>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(QByteArray(h).replace(' ', ""));
}

QByteArray writeEvent(const CMonitorEvent& e, bool wide)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setVersion(7);
    e.write(out, wide);
    return b;
}

CMonitorEventPtr readEvent(const QByteArray& b, bool wide)
{
    QDataStream in(b);
    in.setVersion(7);
    return CMonitorEvent::fromStream(in, wide);
}

} // namespace

TEST(MonitorEventStreams, EventKindsAndBodies)
{
    EXPECT_EQ(writeEvent(CMonitorEventInit(), false), hex("00000001"));
    EXPECT_EQ(writeEvent(CMonitorEventTerm(), true), hex("00000002"));
    EXPECT_EQ(writeEvent(UdpReceiverIsOnMonitorEvent("on"), false), hex("00000004 00000004 006f006e"));
    EXPECT_EQ(writeEvent(UdpReceiverIsOffMonitorEvent("x"), false), hex("00000005 00000002 0078"));
    EXPECT_EQ(writeEvent(CMonitorEventMessagesLimit("x"), false), hex("00000008 00000002 0078"));

    for (int id = 1; id <= 8; ++id) {
        QByteArray b = hex("00000000");
        b[3] = char(id);
        // Bodies are cut short on purpose: the text events then fail, the empty ones read.
        CMonitorEventPtr e = readEvent(b, false);
        if (id <= 2) {
            ASSERT_TRUE(e);
            EXPECT_EQ(e->typeId(), id);
        }
    }
    for (const char* bad : {"00000009", "00000000", "ffffffff"})
        EXPECT_FALSE(readEvent(hex(bad), false)) << bad;

    CMonitorEventPtr on = readEvent(writeEvent(UdpReceiverIsOnMonitorEvent("on"), false), false);
    ASSERT_TRUE(on);
    EXPECT_EQ(on->typeId(), 4);
    EXPECT_EQ(static_cast<UdpReceiverIsOnMonitorEvent*>(on.data())->text, "on");
}

TEST(MonitorEventStreams, StatusBodyRules)
{
    struct Case
    {
        int second, third;
        SStatusValue value;
        bool wide;
        int secondBack, thirdBack;
        SStatusValue valueBack;
    };
    const Case cases[] = {
        {5, -1, {1, 0}, false, 0, -1, {1, 0}},            // defaults: second 5 reads back 0
        {1, 0, {2, 7}, false, 1, 0, {2, 7}},
        {4, 2, {2, -7}, true, 4, 2, {2, -7}},
        {3, 3, {3, 99}, false, 3, -1, {3, 0}},            // kind 3 stands alone
        {3, 1, {3, 99}, true, 3, 1, {3, 99}},             // 64-bit form keeps the value
        {2, 1, {2, 0x123456789LL}, false, 2, 1, {2, 0x23456789}},
        {2, 1, {2, 0x123456789LL}, true, 2, 1, {2, 0x123456789LL}},
        {0, 9, {0, 5}, false, 0, -1, {1, 0}},             // a kind without bit 1 becomes none
    };
    for (const Case& c : cases) {
        SMonitorStatus st(7, c.second, c.third, c.value, "a", "b", {"l1", "l2"}, QDateTime::currentDateTime(), 3);
        SMonitorStatusDetails det{true, "d1", "d2", "d3", "d4", 9};
        const CMonitorEventSetStatus ev(st, det);
        CMonitorEventPtr back = readEvent(writeEvent(ev, c.wide), c.wide);
        ASSERT_TRUE(back);
        auto* s = static_cast<CMonitorEventSetStatus*>(back.data());
        EXPECT_EQ(s->status.status, 1);
        EXPECT_EQ(s->status.built, 1);
        EXPECT_EQ(s->status.second, c.secondBack);
        EXPECT_EQ(s->status.third, c.thirdBack);
        EXPECT_EQ(s->status.value, c.valueBack) << c.value.kind << " " << c.value.value;
        EXPECT_EQ(s->status.text, "a");
        EXPECT_EQ(s->status.secondText, "b");
        EXPECT_EQ(s->status.list, QStringList({"l1", "l2"}));
        EXPECT_TRUE(s->status.time.isNull());
        EXPECT_EQ(s->status.flags, 0);
        EXPECT_TRUE(s->details.present);
        EXPECT_EQ(s->details.text4, "d4");
        EXPECT_EQ(s->details.extra, 0);
    }
    // Kind 3 travels as the bools true, true in both forms.
    SMonitorStatus st(1, 1, 0, SStatusValue{3, 0}, "", "", {}, QDateTime(), 0);
    const CMonitorEventSetStatus ev(st, SMonitorStatusDetails());
    EXPECT_EQ(writeEvent(ev, false).mid(12, 2), hex("0101"));
    EXPECT_EQ(writeEvent(ev, true).mid(12, 2), hex("0101"));
}

TEST(MonitorEventStreams, HostileStatusListCount)
{
    SMonitorStatus st(1, 1, 0, SStatusValue{}, "", "", {}, QDateTime(), 0);
    QByteArray b = writeEvent(CMonitorEventSetStatus(st, SMonitorStatusDetails()), false);
    // The last four bytes are the string-list count.
    for (const char* count : {"7fffffff", "80000000", "ffffffff", "00000001"}) {
        QByteArray bad = b.left(b.size() - 4) + hex(count);
        EXPECT_FALSE(readEvent(bad, false)) << count;
    }
}

TEST(MonitorEventStreams, PayloadEventsCarryTheirRecords)
{
    QExplicitlySharedDataPointer<CSnmpTrap> trap(new CSnmpTrap);
    trap->version = 2;
    trap->sender = "127.0.0.1";
    trap->trapOid = ".1.3.6.1.6.3.1.1.5.3";
    trap->payload.insert(".1.3.6.1.2.1.2.2.1.1.3", CSnmpTrapPayload("3"));
    SMonitorStatus st(1, 0, 0, SStatusValue{}, "", "Received linkDown trap", {}, QDateTime(), 0);
    CSnmpMonitorEventSetStatus ev(st, CSnmpTrapPtr(trap.data()));
    CMonitorEventPtr back = readEvent(writeEvent(ev, true), true);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->typeId(), 6);
    auto* s = static_cast<CSnmpMonitorEventSetStatus*>(back.data());
    ASSERT_TRUE(s->payload);
    EXPECT_EQ(s->payload->trapOid, trap->trapOid);
    EXPECT_EQ(s->payload->payload.value(".1.3.6.1.2.1.2.2.1.1.3").data, "3");

    QExplicitlySharedDataPointer<SyslogLine> line(new SyslogLine);
    line->valid = true;
    line->message = "denied";
    line->structuredData["id1"]["a"] = "1";
    SyslogMonitorEventSetStatus sev(st, SyslogCallbackSharedDataPointer(line.data()));
    back = readEvent(writeEvent(sev, false), false);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->typeId(), 7);
    auto* y = static_cast<SyslogMonitorEventSetStatus*>(back.data());
    ASSERT_TRUE(y->payload);
    EXPECT_EQ(y->payload->message, "denied");
    EXPECT_EQ(y->payload->structuredData.value("id1").value("a"), "1");

    // A status event without its payload reads a null payload.
    SyslogMonitorEventSetStatus empty(st, {});
    back = readEvent(writeEvent(empty, false), false);
    ASSERT_TRUE(back);
    EXPECT_FALSE(static_cast<SyslogMonitorEventSetStatus*>(back.data())->payload);
}

TEST(NewMonitorInfoStream, FormAndHostileCounts)
{
    CNewMonitorInfo m;
    m.typeName = "T";
    m.name = "N";
    QByteArray b;
    {
        QDataStream out(&b, QIODevice::WriteOnly);
        out.setVersion(7);
        out << m;
    }
    EXPECT_EQ(b, hex("00000002 0054 00000002 004e 00000000"));

    m.settings.insert("b", CZamNewMonitorSetting{"b", QVariant(5), false});
    m.settings.insert("a", CZamNewMonitorSetting{"a", QVariant(QStringList{"x"}), true});
    m.settings.insert("c", CZamNewMonitorSetting{"c", QVariant(QVariantList{1, "two"}), true});
    b.clear();
    {
        QDataStream out(&b, QIODevice::WriteOnly);
        out.setVersion(7);
        out << m;
    }
    CNewMonitorInfo back;
    {
        QDataStream in(b);
        in.setVersion(7);
        in >> back;
        EXPECT_EQ(in.status(), QDataStream::Ok);
    }
    EXPECT_EQ(back.settings.size(), 3);
    EXPECT_EQ(back.settings.value("b").value, QVariant(5));
    EXPECT_EQ(back.settings.value("a").value.toStringList(), QStringList{"x"});
    EXPECT_EQ(back.settings.value("c").value.toList().size(), 2);
    EXPECT_EQ(back.flaggedSettingNames(), (QSet<QString>{"a", "c"}));

    // Hostile counts: the settings count, and list counts inside variants.
    const QByteArray hostile[] = {
        hex("00000000 00000000 7fffffff"),
        hex("00000000 00000000 00000001 00000002 0061 00000009 7fffffff"),
        hex("00000000 00000000 00000001 00000002 0061 0000000b 7fffffff"),
        hex("00000000 00000000 00000001 00000002 0061 00000008 7fffffff"),
        hex("00000000 00000000 00000001 00000002 0061 00000009 00000001 00000009 7fffffff"),
        hex("00000000 00000000 00000001 00000002 0061 0000007f 00000005 41414141 00"),
    };
    for (const QByteArray& h : hostile) {
        QDataStream in(h);
        in.setVersion(7);
        CNewMonitorInfo x;
        in >> x;
        EXPECT_NE(in.status(), QDataStream::Ok) << h.toHex().constData();
        EXPECT_TRUE(x.settings.isEmpty());
    }
}
