#include "link/AgentMessageDecoder.h"
#include "link/AgentMessages.h"
#include "receivers/CSnmpTrapFilter.h"
#include "receivers/SyslogLineFilter.h"

#include <gtest/gtest.h>

#include <QDataStream>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(QByteArray(h).replace(' ', ""));
}

template <class T>
QExplicitlySharedDataPointer<T> decodeWithRecord(const char* key, const QByteArray& record)
{
    QByteArray body = QByteArray(key) + "=RAW(" + QByteArray::number(record.size()) + "," + record + ")";
    QByteArray f(AgentMessageHeader::Size, '\0');
    AgentMessageHeader h;
    h.type = T::Type;
    h.length = body.size();
    h.write(f.data(), AgentMessageHeader::Size);
    f += body;
    QString err;
    CAgentMessagePtr m = decodeAgentMessage(f.constData(), f.size(), err, false);
    EXPECT_TRUE(m) << err.toStdString();
    return QExplicitlySharedDataPointer<T>(static_cast<T*>(m.data()));
}

CIpAddressRange loopback()
{
    return CIpAddressRange::fromRange(QHostAddress(QStringLiteral("127.0.0.1")), QHostAddress(QStringLiteral("127.0.0.1")));
}

} // namespace

TEST(TrapFilterStream, AllKindsRoundTripThroughASubscription)
{
    CSnmpGenTrapFilterEvent f1;
    f1.address = loopback();
    f1.community = "public";
    f1.key = 3;
    f1.oid = ".1.3.6.1.6.3.1.1.5.3";
    f1.monitorId = 12;
    f1.monitorRegExps[0] = QRegExp("^((?!error).)*$");
    CSnmpGenTrapFilterIfaceState f3;
    f3.address = loopback();
    f3.ifIndex = 3;
    f3.ifState = 2;
    CSnmpGenTrapFilterOIDRegexpEvent f4;
    f4.address = loopback();
    f4.oidInclude = QRegExp("^\\.1\\.3\\.6\\.1\\.4\\.1\\.9\\.");
    f4.oidExclude = QRegExp("\\.7$");
    f4.encoding = "UTF-8";
    const QByteArray rec = writeTrapSubscriptionRecord(12, {&f1, &f3, &f4}, SUdpMessagesLimit{1, 10, 60},
                                                       SSnmpTrapCredential{"u", 0, "a", 1, "p"});
    auto m = decodeWithRecord<CSubscribeSnmp>("snmp_mon_data", rec);
    ASSERT_TRUE(m->recordError.isEmpty()) << m->recordError.toStdString();
    ASSERT_EQ(m->filters().size(), 3);
    auto* g1 = dynamic_cast<CSnmpGenTrapFilterEvent*>(m->filters()[0]);
    auto* g3 = dynamic_cast<CSnmpGenTrapFilterIfaceState*>(m->filters()[1]);
    auto* g4 = dynamic_cast<CSnmpGenTrapFilterOIDRegexpEvent*>(m->filters()[2]);
    ASSERT_TRUE(g1 && g3 && g4);
    EXPECT_EQ(g1->typeId(), 1);
    EXPECT_TRUE(g1->address == loopback());
    EXPECT_EQ(g1->community, "public");
    EXPECT_EQ(g1->key, 3);
    EXPECT_EQ(g1->oid, f1.oid);
    EXPECT_EQ(g1->monitorId, 12);
    EXPECT_EQ(g1->monitorRegExps.value(0).pattern(), "^((?!error).)*$");
    EXPECT_EQ(g3->ifIndex, 3);
    EXPECT_EQ(g3->ifState, 2);
    EXPECT_EQ(g4->oidExclude.pattern(), "\\.7$");
    EXPECT_EQ(g4->encoding, "UTF-8");
    EXPECT_EQ(m->limit.value2, 60);
    EXPECT_EQ(m->user.privPassphrase, "p");
    QList<CSnmpTrapFilter*> taken = m->takeFilters();
    EXPECT_TRUE(m->filters().isEmpty());
    qDeleteAll(taken);
}

TEST(TrapFilterStream, BadFiltersAreRefusedCleanly)
{
    CSnmpGenTrapFilterIfaceState f;
    f.address = loopback();
    f.ifState = 1;
    QByteArray one;
    {
        QDataStream out(&one, QIODevice::WriteOnly);
        out.setVersion(7);
        f.toStream(out);
    }
    // A stored interface state outside 0..2 loads as -1.
    QByteArray seven = one;
    seven.replace(seven.size() - 4, 4, hex("00000007"));
    {
        QDataStream in(seven);
        in.setVersion(7);
        std::unique_ptr<CSnmpTrapFilter> back(CSnmpTrapFilter::fromStream(in));
        ASSERT_TRUE(back);
        EXPECT_EQ(static_cast<CSnmpGenTrapFilterIfaceState*>(back.get())->ifState, -1);
    }
    const QByteArray tail = hex("00000000 00000000 00000000 ffffffff 00000000 ffffffff 00000000 ffffffff");
    struct Case
    {
        QByteArray record;
        bool ok;
    };
    const Case cases[] = {
        {hex("0000000c 00000001") + one + tail, true},
        {hex("0000000c 00000001 00000009") + one.mid(4) + tail, false},  // unknown filter type
        {hex("0000000c 00000002") + one + tail, false},                  // one filter short
        {hex("0000000c 7fffffff") + one + tail, false},                  // hostile count
        {hex("0000000c 00000001") + one.left(one.size() - 1), false},
    };
    for (const Case& c : cases) {
        auto m = decodeWithRecord<CSubscribeSnmp>("snmp_mon_data", c.record);
        EXPECT_TRUE(m->isValid());
        EXPECT_EQ(m->recordError.isEmpty(), c.ok) << c.record.toHex().constData();
        EXPECT_EQ(m->filters().size(), c.ok ? 1 : 0);
    }
}

TEST(SyslogFilterStream, RoundTripAndTypeIdIgnored)
{
    SyslogLineFilter f;
    f.address = loopback();
    f.key = 2;
    f.messagePattern = QRegExp("denied");
    f.checkMessage = true;
    f.processId = 0;
    f.m_severityMask = 0x1;
    f.m_facilityMask = 0;
    f.appNameText = "ssh";
    f.structuredDataCondition = "id1,a,x";
    const QByteArray rec = writeSyslogSubscriptionRecord(13, {&f, &f}, SUdpMessagesLimit{1, 5, 30});
    auto m = decodeWithRecord<CSubscribeSyslog>("syslog_mon_data", rec);
    ASSERT_TRUE(m->recordError.isEmpty()) << m->recordError.toStdString();
    ASSERT_EQ(m->filters().size(), 2);
    const SyslogLineFilter* g = m->filters()[1];
    EXPECT_TRUE(g->address == loopback());
    EXPECT_EQ(g->key, 2);
    EXPECT_EQ(g->messagePattern.pattern(), "denied");
    EXPECT_TRUE(g->checkMessage);
    EXPECT_EQ(g->processId, 0);
    EXPECT_EQ(g->severityMask(), 1);
    EXPECT_EQ(g->facilityMask(), 0);
    EXPECT_EQ(g->appNameText, "ssh");
    EXPECT_EQ(g->structuredDataCondition, "id1,a,x");
    EXPECT_EQ(m->limit.value1, 5);

    // Any type id is taken; a hostile count is refused before reading.
    QByteArray five = rec;
    five.replace(8, 4, hex("00000005"));
    EXPECT_EQ(decodeWithRecord<CSubscribeSyslog>("syslog_mon_data", five)->filters().size(), 2);
    QByteArray hostile = rec;
    hostile.replace(4, 4, hex("7fffffff"));
    auto h = decodeWithRecord<CSubscribeSyslog>("syslog_mon_data", hostile);
    EXPECT_FALSE(h->recordError.isEmpty());
    EXPECT_TRUE(h->filters().isEmpty());
}

TEST(FilterDefaults, AddressIsAnEmptyHostName)
{
    CSnmpGenTrapFilterEvent trap;
    EXPECT_TRUE(trap.address.isHostName());
    EXPECT_TRUE(trap.address.cachedAddress().hasValue());  // set, null address
    EXPECT_TRUE(trap.address.cachedAddress().rawValue().isNull());
    EXPECT_EQ(trap.key, 1);
    EXPECT_EQ(trap.monitorId, -1);
    EXPECT_EQ(trap.monitorRegExps.keys(), (QList<int>{0, 1}));
    SyslogLineFilter syslog;
    EXPECT_TRUE(syslog.address.isHostName());
    EXPECT_FALSE(syslog.address.cachedAddress().hasValue());
    EXPECT_EQ(syslog.severityMask(), 0xFF);
    EXPECT_EQ(syslog.facilityMask(), 0xFFFFFF);
    EXPECT_EQ(syslog.processId, -1);
}
