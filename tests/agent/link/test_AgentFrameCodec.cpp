#include "link/AgentMessageBody.h"
#include "link/AgentMessageDecoder.h"
#include "link/AgentMessages.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <limits>

namespace {

QByteArray header(qint32 id, qint32 type, qint32 length)
{
    QByteArray h(AgentMessageHeader::Size, '\0');
    h[0] = char(AgentMessageHeader::Magic);
    qToLittleEndian<qint32>(id, h.data() + 1);
    qToLittleEndian<qint32>(type, h.data() + 5);
    qToLittleEndian<qint32>(length, h.data() + 9);
    return h;
}

QByteArray frame(qint32 type, const QByteArray& body, qint32 id = -1)
{
    return header(id, type, body.size()) + body;
}

CAgentMessagePtr decode(const QByteArray& f, QString& err, bool wide = false)
{
    return decodeAgentMessage(f.constData(), f.size(), err, wide);
}

// A message with every binder kind, for codec tests of the base class. Its type is
// borrowed from a real message so that the header is valid.
class CTestMessage : public CAgentMessage
{
public:
    static constexpr int Type = CPollAgentResp::Type;
    explicit CTestMessage(int id = -1) : CAgentMessage(Type, id) {}
    qint32 a = 11;
    qint32 y = 22;
    double d = 0.5;
    QByteArray k;
    QString s;

protected:
    void bindFields() override
    {
        bindInt("a", &a);
        bindInt("y", &y);
        bindDouble("d", &d);
        bindBytes("k", &k);
        bindString("s", &s);
    }
};

} // namespace

TEST(AgentMessageHeader, WritesAndReadsThirteenLittleEndianBytes)
{
    AgentMessageHeader h;
    EXPECT_EQ(h.magic, 0xEA);
    h.id = 1001;
    h.type = CPollAgentReq::Type;
    h.length = 41;
    char buf[AgentMessageHeader::Size];
    EXPECT_EQ(h.write(buf, AgentMessageHeader::Size - 1), -1);
    ASSERT_EQ(h.write(buf, AgentMessageHeader::Size), AgentMessageHeader::Size);
    EXPECT_EQ(QByteArray(buf, AgentMessageHeader::Size).toHex(), QByteArray("eae903000006000000290000 00").replace(" ", ""));

    const QByteArray ping = QByteArray::fromHex("eaffffffff010000000000000000");
    AgentMessageHeader r;
    EXPECT_EQ(r.read(ping.constData(), AgentMessageHeader::Size - 1), -1);
    ASSERT_EQ(r.read(ping.constData(), AgentMessageHeader::Size), AgentMessageHeader::Size);
    EXPECT_EQ(r.id, -1);
    EXPECT_EQ(r.type, CPingAgentReq::Type);
    EXPECT_EQ(r.length, 0);

    for (qint32 bad : {0, AgentMessageHeader::MaxType + 1, -5, std::numeric_limits<qint32>::min()}) {
        const QByteArray hb = header(3, bad, 0);
        AgentMessageHeader x;
        ASSERT_EQ(x.read(hb.constData(), AgentMessageHeader::Size), AgentMessageHeader::Size);
        EXPECT_EQ(x.type, 0) << bad;
    }
}

TEST(AgentBodySplit, TableOfBodies)
{
    struct Case
    {
        QByteArray body;
        bool ok;
    };
    const Case cases[] = {
        {"", true},
        {"a=1", true},
        {"a=1,", false},
        {"a=b=c", false},
        {"a,b=1", false},
        {"a=1,,b=2", false},
        {"=1", false},
        {"abc", false},
        {"a=", true},
        {"a=,b=1", true},
        {"a=,", false},
        {"k=RAW(3,a,b)", true},
        {"k=RAW(0,)", true},
        {"k=RAW(5,ab)", false},
        {"k=RXYZ3,abc)", true},
        {"k=RAW(2,hi),", false},
        {"k=RAW(2,hi),a=1", true},
        {"k=RAW(3", false},
        {"k=RAW(x,abc)", false},
        {"k=RAW(-1,abc)", false},
        {"k=RAW( 3,abc)", false},
        {"k=RAW(99999999999,a)", false},
        {"k=RAW(2147483647,a)", false},
        {"k=RAW(2147483646,a)", false},
        {"a=nan", false},
        {"a=inf", false},
        {"a=-inf", false},
        {"a= 5", false},
        {"a=5 ", false},
        {"a=0x10", false},
        {"a=1e999", false},
        {"a=.5", true},
        {"a=-2.9e0", true},
        {"a=1e", false},
        {"a=+", false},
    };
    for (const Case& c : cases) {
        AgentBodyParts parts;
        EXPECT_EQ(splitAgentMessageBody(c.body.constData(), c.body.size(), parts), c.ok) << c.body.constData();
        for (const auto& raw : parts.raws) {
            EXPECT_GE(raw.second.position, 0);
            EXPECT_LE(qint64(raw.second.position) + raw.second.count, c.body.size());
        }
    }
}

TEST(AgentBodyParse, BindsValuesByKind)
{
    struct Case
    {
        QByteArray body;
        qint32 a;
        qint32 y;
        QByteArray k;
        QString s;
    };
    const Case cases[] = {
        {"a=1", 1, 22, {}, {}},
        {"a=2.9", 2, 22, {}, {}},
        {"a=-2.9", -2, 22, {}, {}},
        {"a=-2147483648", std::numeric_limits<qint32>::min(), 22, {}, {}},
        {"k=RAW(3,a,b)", 11, 22, "a,b", {}},
        {"k=RAW(0,)", 11, 22, QByteArray(""), {}},
        {"k=RXYZ3,abc)", 11, 22, "abc", {}},
        {"x=5,y=RAW(2,hi)", 11, 22, {}, {}},           // raw for an int member: default stays
        {"k=7", 11, 22, {}, {}},                        // number for a raw member: default stays
        {"a=1,a=3", 3, 22, {}, {}},                     // a later key wins
        {QByteArray("s=RAW(5,ab\0cd)", 14), 11, 22, {}, "ab"},  // text stops at a zero byte
        {"k=RAW(4,=,)=),a=4", 4, 22, "=,)=", {}},
        {"s=RAW(2,\xc3\xa9)", 11, 22, {}, QString::fromUtf8("\xc3\xa9")},
    };
    for (const Case& c : cases) {
        CTestMessage m;
        m.parseBody(c.body.constData(), c.body.size(), false);
        ASSERT_TRUE(m.isValid()) << c.body.constData() << " " << m.errorString().toStdString();
        EXPECT_EQ(m.a, c.a) << c.body.constData();
        EXPECT_EQ(m.y, c.y) << c.body.constData();
        EXPECT_EQ(m.k, c.k) << c.body.constData();
        EXPECT_EQ(m.k.isNull(), c.k.isNull()) << c.body.constData();
        EXPECT_EQ(m.s, c.s) << c.body.constData();
    }
}

TEST(AgentBodyParse, FailureTexts)
{
    struct Case
    {
        QByteArray body;
        QString error;
    };
    const Case cases[] = {
        {"a=1,", "can't parse body a=1,"},
        {"k=RAW(5,ab)", "can't parse body k=RAW(5,ab)"},
        {"a=b\nforged log line", "can't parse body a=b\\nforged log line"},
        {QByteArray("a=\x01\x7f", 4), "can't parse body a=\\x01\\x7f"},
        {QByteArray("zz\0hidden", 9), "can't parse body zz"},
        {QByteArray(300, 'x'), "can't parse body " + QString(256, 'x') + "..."},
        {"a=3000000000", "can't parse body number out of range for key a: a=3000000000"},
        {"a=-2147483649", "can't parse body number out of range for key a: a=-2147483649"},
    };
    for (const Case& c : cases) {
        CTestMessage m;
        m.parseBody(c.body.constData(), c.body.size(), false);
        EXPECT_FALSE(m.isValid());
        EXPECT_EQ(m.errorString(), c.error);
    }
}

TEST(AgentFrameWrite, KeysInByteOrderAndBufferResults)
{
    CTestMessage m(42);
    m.a = -7;
    m.y = 0;
    m.d = 1.0 / 3;
    m.k = QByteArray("x,y\0z", 5);
    m.s = QString::fromUtf8("\xc3\xa9");
    const QByteArray body = QByteArray("a=-7,d=0.333333333333,k=RAW(5,") + QByteArray("x,y\0z", 5) +
                            QByteArray("),s=RAW(2,\xc3\xa9),y=0");
    const QByteArray f = m.toFrame();
    EXPECT_EQ(f, header(42, CTestMessage::Type, body.size()) + body);
    EXPECT_EQ(m.bodyLength(), body.size());

    QByteArray buf(f.size(), '\0');
    int size = AgentMessageHeader::Size - 1;
    EXPECT_EQ(m.serialize(buf.data(), size), 1);
    size = f.size() - 1;
    EXPECT_EQ(m.serialize(buf.data(), size), -1);
    size = f.size();
    ASSERT_EQ(m.serialize(buf.data(), size), 0);
    EXPECT_EQ(size, f.size());
    EXPECT_EQ(buf, f);

    CPingAgentReq ping(5);
    EXPECT_EQ(ping.toFrame(), QByteArray::fromHex("ea050000000100000000000000"));
}

TEST(AgentFrameDecode, ErrorTexts)
{
    struct Case
    {
        QByteArray frame;
        QString error;
    };
    const Case cases[] = {
        {frame(0, ""), "invalid message type 0"},
        {frame(AgentMessageHeader::MaxType + 1, ""), "invalid message type 0"},
        {frame(-5, ""), "invalid message type 0"},
        {frame(CPollAgentReq::Type, "mon_id=1,"),
         "wrong message data (msg_type=6), errmsg: can't parse body mon_id=1,"},
        {frame(CDisconnectReason::Type, "reason=RAW(9,short)"),
         "wrong message data (msg_type=22), errmsg: can't parse body reason=RAW(9,short)"},
        {QByteArray::fromHex("eaffffffff01"), "frame too short (6 bytes)"},
    };
    for (const Case& c : cases) {
        QString err;
        EXPECT_FALSE(decode(c.frame, err));
        EXPECT_EQ(err, c.error);
    }
}

TEST(AgentFrameDecode, PingHeaderAndDefaults)
{
    QString err;
    CAgentMessagePtr m = decode(QByteArray::fromHex("eaffffffff0100000000000000"), err);
    ASSERT_TRUE(m) << err.toStdString();
    EXPECT_EQ(m->id(), -1);
    EXPECT_EQ(m->type(), CPingAgentReq::Type);

    // A decoded type without its keys keeps the catalogue's defaults.
    m = decode(frame(CPollAgentResp::Type, ""), err);
    ASSERT_TRUE(m);
    auto* resp = static_cast<CPollAgentResp*>(m.data());
    EXPECT_EQ(resp->inDiscovery, -1);
    EXPECT_EQ(resp->printTimeoutReason, 0);
    EXPECT_EQ(resp->status, 0);

    m = decode(frame(CCheckAttachmentsReq::Type, ""), err);
    ASSERT_TRUE(m);
    EXPECT_EQ(static_cast<CCheckAttachmentsReq*>(m.data())->templateId, -1);
    m = decode(frame(CCreateAttachmentsReq::Type, ""), err);
    ASSERT_TRUE(m);
    EXPECT_EQ(static_cast<CCreateAttachmentsReq*>(m.data())->templateId, -1);
    m = decode(frame(CDeleteAttachmentsNot::Type, ""), err);
    ASSERT_TRUE(m);
    EXPECT_EQ(static_cast<CDeleteAttachmentsNot*>(m.data())->templateId, -1);

    m = decode(frame(CSubscribeSyslog::Type, ""), err);
    ASSERT_TRUE(m);
    auto* sub = static_cast<CSubscribeSyslog*>(m.data());
    EXPECT_EQ(sub->limit.on, 0);
    EXPECT_EQ(sub->limit.value1, 1);
    EXPECT_EQ(sub->limit.value2, 0);

    m = decode(frame(CPollWithSettingsAgentReq::Type, ""), err);
    ASSERT_TRUE(m);
    EXPECT_EQ(static_cast<CPollWithSettingsAgentReq*>(m.data())->hasTemplateId, 0);
    EXPECT_EQ(static_cast<CPollWithSettingsAgentReq*>(m.data())->templateId, 0);

    // Unknown keys are ignored; types the agent only decodes are valid messages.
    for (int type : {CCheckConnectionAgentReq::Type, CProductVersionAgentNot::Type, CSendAgentOsVersionToService::Type,
                     CCreateAttachmentsResp::Type}) {
        m = decode(frame(type, "x=1"), err);
        ASSERT_TRUE(m) << type;
        EXPECT_EQ(m->type(), type);
    }
}

TEST(AgentFrameDecode, FlagReachesOnlyMonitorEvents)
{
    // A set-status event written 64-bit: readable only with the flag on.
    SMonitorStatus st(1, 2, 1, SStatusValue{2, 0x100000001LL}, "t", "u", {}, QDateTime(), 0);
    CMonitorEventPtr ev(new CMonitorEventSetStatus(st, SMonitorStatusDetails()));
    CMonitorEventNot wide(9, ev, true);
    const QByteArray f = wide.toFrame();
    QString err;
    CAgentMessagePtr m = decode(f, err, true);
    ASSERT_TRUE(m);
    auto* got = static_cast<CMonitorEventNot*>(m.data());
    ASSERT_TRUE(got->event);
    EXPECT_EQ(static_cast<CMonitorEventSetStatus*>(got->event.data())->status.value.value, 0x100000001LL);
}
