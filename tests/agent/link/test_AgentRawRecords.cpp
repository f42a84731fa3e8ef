#include "link/AgentMessageDecoder.h"
#include "link/AgentMessages.h"
#include "link/AttachmentListRecords.h"

#include <gtest/gtest.h>

#include <QDataStream>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(QByteArray(h).replace(' ', ""));
}

// Decodes a frame of T's type holding one raw key with the given record.
template <class T>
QExplicitlySharedDataPointer<T> decodeWithRecord(const char* key, const QByteArray& record, bool wide = false)
{
    QByteArray body = QByteArray(key) + "=RAW(" + QByteArray::number(record.size()) + "," + record + ")";
    QByteArray f(AgentMessageHeader::Size, '\0');
    AgentMessageHeader h;
    h.type = T::Type;
    h.length = body.size();
    h.write(f.data(), AgentMessageHeader::Size);
    f += body;
    QString err;
    CAgentMessagePtr m = decodeAgentMessage(f.constData(), f.size(), err, wide);
    EXPECT_TRUE(m) << err.toStdString();
    return QExplicitlySharedDataPointer<T>(static_cast<T*>(m.data()));
}

} // namespace

TEST(AgentRawRecords, PollResponseRecords)
{
    SPollOutcome o;
    o.perfValue = 0x0102030405060708LL;
    o.resultCode = -2;
    o.measuredValue = 5;
    o.words[0] = 1;
    o.words[3] = 4;
    o.resultSections = "ab";
    o.middle = QByteArray(80, '\x11');
    CPollAgentResp resp(o, 1);
    EXPECT_EQ(resp.newMonitors, hex("00"));
    EXPECT_EQ(resp.duration.size(), 116 + 2);
    EXPECT_EQ(resp.duration.left(38).toHex().toStdString(), hex("0102030405060708 fffffffe 00000005 00000001 00000000 00000000 00000004"
                                          "00000002 6162").toHex().toStdString());
    EXPECT_EQ(resp.duration.mid(38), QByteArray(80, '\x11'));

    // A short middle part is padded, a long one cut: the record keeps its shape.
    o.middle = "xy";
    EXPECT_EQ(writePollDurationRecord(o).size(), 118);
    o.middle = QByteArray(100, 'z');
    EXPECT_EQ(writePollDurationRecord(o).size(), 118);

    SPollOutcome back;
    ASSERT_TRUE(readPollDurationRecord(resp.duration, back));
    EXPECT_EQ(back.perfValue, o.perfValue);
    EXPECT_EQ(back.words[3], 4);
    EXPECT_EQ(back.resultSections, "ab");

    CNewMonitorInfo m;
    m.typeName = "T";
    m.name = "N";
    const QByteArray two = writeNewMonitorsRecord({m, m});
    // true, "T", "N", count 0, true, the same, false
    EXPECT_EQ(two, hex("01 00000002 0054 00000002 004e 00000000 01 00000002 0054 00000002 004e 00000000 00"));
    QList<CNewMonitorInfo> list;
    ASSERT_TRUE(readNewMonitorsRecord(two, list));
    EXPECT_EQ(list.size(), 2);
    EXPECT_FALSE(readNewMonitorsRecord(two.left(10), list));
    EXPECT_TRUE(list.isEmpty());
}

TEST(AgentRawRecords, MonitorEventRecords)
{
    // No event: the monitor id and 0.
    EXPECT_EQ(writeMonitorEventRecord(42, {}, false), hex("0000002a 00000000"));
    EXPECT_EQ(writeMonitorEventRecord(42, {}, true), hex("0000002a 00000000"));
    CMonitorEventNot none(42, {}, false);
    EXPECT_EQ(none.isValid_, 0);

    // Status value in both forms: 4 value bytes with the flag clear, 8 with it set.
    SMonitorStatus st(1, 2, 1, SStatusValue{2, -3}, "", "", {}, QDateTime(), 0);
    CMonitorEventPtr ev(new CMonitorEventSetStatus(st, SMonitorStatusDetails()));
    const QByteArray common = hex("00000007 00000001 00000003 00000002 00000001 01 00");
    const QByteArray tail = hex("00000000 00000000 00 00000000 00000000 00000000 00000000 00000000");
    EXPECT_EQ(writeMonitorEventRecord(7, ev, false).toHex().toStdString(), (common + hex("fffffffd") + tail).toHex().toStdString());
    EXPECT_EQ(writeMonitorEventRecord(7, ev, true).toHex().toStdString(), (common + hex("ffffffff fffffffd") + tail).toHex().toStdString());

    // A 64-bit value keeps only its low half in the narrow form.
    st.value = SStatusValue{2, 0x1fffffffdLL};
    ev = new CMonitorEventSetStatus(st, SMonitorStatusDetails());
    auto narrow = decodeWithRecord<CMonitorEventNot>("event_data", writeMonitorEventRecord(7, ev, false));
    ASSERT_TRUE(narrow->event);
    EXPECT_EQ(static_cast<CMonitorEventSetStatus*>(narrow->event.data())->status.value.value, -3);
    auto wide = decodeWithRecord<CMonitorEventNot>("event_data", writeMonitorEventRecord(7, ev, true), true);
    ASSERT_TRUE(wide->event);
    EXPECT_EQ(static_cast<CMonitorEventSetStatus*>(wide->event.data())->status.value.value, 0x1fffffffdLL);

    // Unknown event type or a cut record: the message stays valid without an event.
    auto unknown = decodeWithRecord<CMonitorEventNot>("event_data", hex("0000002a 00000001 00000009"));
    EXPECT_TRUE(unknown->isValid());
    EXPECT_EQ(unknown->monitorId, 42);
    EXPECT_FALSE(unknown->event);
    const QByteArray full = writeMonitorEventRecord(7, ev, false);
    for (int cut = 0; cut < full.size(); ++cut) {
        auto m = decodeWithRecord<CMonitorEventNot>("event_data", full.left(cut));
        EXPECT_TRUE(m->isValid());
        EXPECT_FALSE(m->event) << cut;
    }
}

TEST(AgentRawRecords, ModeWord)
{
    EXPECT_EQ(writeModeRecord(9), hex("00000009"));
    CAgentSetModeMessage m(9, 5);
    EXPECT_EQ(m.mode, hex("00000009"));
    EXPECT_EQ(decodeWithRecord<CAgentSetModeMessage>("mode", hex("00000008"))->modeBits, 8);
    EXPECT_EQ(decodeWithRecord<CAgentSetModeMessage>("mode", hex("000000"))->modeBits, 0);
}

TEST(AgentRawRecords, SubscriptionRecords)
{
    // Trap: monitor id, 0 filters, limit words, SNMPv3 user.
    const QByteArray trap = writeTrapSubscriptionRecord(12, {}, SUdpMessagesLimit{1, 10, 60},
                                                        SSnmpTrapCredential{"u", 1, "a", 2, ""});
    EXPECT_EQ(trap, hex("0000000c 00000000 00000001 0000000a 0000003c 00000002 0075 00000001 00000002 0061 "
                        "00000002 00000000"));
    // Syslog: monitor id, 0 filters, limit words.
    const QByteArray syslog = writeSyslogSubscriptionRecord(13, {}, SUdpMessagesLimit{0, 1, 0});
    EXPECT_EQ(syslog, hex("0000000d 00000000 00000000 00000001 00000000"));

    // Hostile and short records: a clean refusal, no allocation by the count.
    struct Case
    {
        QByteArray record;
        bool ok;
    };
    const Case cases[] = {
        {syslog, true},
        {hex("0000000d 7fffffff 00000000 00000001 00000000"), false},
        {hex("0000000d 80000000 00000000 00000001 00000000"), false},
        {hex("0000000d ffffffff 00000000 00000001 00000000"), false},
        {hex("0000000d 00000000 00000000"), false},
        {hex("0000000d"), false},
        {QByteArray(), false},
    };
    for (const Case& c : cases) {
        auto m = decodeWithRecord<CSubscribeSyslog>("syslog_mon_data", c.record);
        EXPECT_TRUE(m->isValid());
        EXPECT_EQ(m->recordError.isEmpty(), c.ok) << c.record.toHex().constData();
        EXPECT_TRUE(m->filters().isEmpty());
        auto t = decodeWithRecord<CSubscribeSnmp>("snmp_mon_data", c.record);
        EXPECT_FALSE(t->recordError.isEmpty()) << c.record.toHex().constData();  // none has the user part
    }
    auto t = decodeWithRecord<CSubscribeSnmp>("snmp_mon_data", trap);
    EXPECT_TRUE(t->recordError.isEmpty()) << t->recordError.toStdString();
    EXPECT_EQ(t->user.userName, "u");
    EXPECT_EQ(t->limit.value2, 60);
}

TEST(AgentRawRecords, AttachmentLists)
{
    EXPECT_EQ(writeAttachmentList(QList<STemplateAttachment>()), hex("00000000"));
    CCheckAttachmentsResp empty({}, 4);
    EXPECT_EQ(empty.missingAttachments, hex("00000000"));

    STemplateAttachment a;
    a.id = 1;
    a.fileName = Optional<QString>(QString("f"));
    a.type = Optional<int>(1);
    const QByteArray one = writeAttachmentList(QList<STemplateAttachment>{a});
    // count, id, number unset, name unset, fileName "f", type as an int variant, checksum, replace unset
    EXPECT_EQ(one, hex("00000001 00000001 0001 00000000 0001 ffffffff 0100 00000002 0066 00000002 00000001 "
                       "0001 00000000 0001 00"));
    // An unset type travels as an invalid variant.
    STemplateAttachment b;
    const QByteArray unsetType = writeAttachmentList(QList<STemplateAttachment>{b});
    EXPECT_TRUE(unsetType.contains(hex("0001 ffffffff 00000000 ffffffff 0001 00000000")));

    struct Case
    {
        QByteArray record;
        int size;
    };
    const Case cases[] = {
        {one, 1},
        {hex("80000000") + QByteArray(16, '\0'), 0},
        {hex("7fffffff") + QByteArray(16, '\0'), 0},
        {hex("ffffffff"), 0},
        {one.left(one.size() - 1), 0},
        {hex("000000"), 0},
        // type as a variant list with a hostile count
        {hex("00000001 00000001 0001 00000000 0001 ffffffff 0100 00000002 0066 00000009 7fffffff"), 0},
        {hex("00000001 00000001 0001 00000000 0001 ffffffff 0100 00000002 0066 0000000b 7fffffff"), 0},
    };
    for (const Case& c : cases) {
        auto r = decodeWithRecord<CCheckAttachmentsReq>("attachments", c.record);
        EXPECT_TRUE(r->isValid());
        EXPECT_EQ(r->attachmentList.size(), c.size) << c.record.toHex().constData();
        EXPECT_EQ(r->listOk, c.size > 0);
        auto resp = decodeWithRecord<CCheckAttachmentsResp>("missing_attachments", c.record);
        EXPECT_EQ(resp->attachmentList.size(), c.size);
        auto failed = decodeWithRecord<CCreateAttachmentsResp>("failed_attachments", c.record);
        EXPECT_EQ(failed->attachmentList.size(), c.size);
        auto del = decodeWithRecord<CDeleteAttachmentsNot>("attachments", c.record);
        EXPECT_EQ(del->attachmentList.size(), c.size);
    }
    auto create = decodeWithRecord<CCreateAttachmentsReq>("attachments", hex("7fffffff 00000001"));
    EXPECT_TRUE(create->attachmentList.isEmpty());
}
