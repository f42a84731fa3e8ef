#include "link/AgentMessageDecoder.h"
#include "link/AgentMessages.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

CAgentMessagePtr roundTrip(CAgentMessage& m, bool wide = false)
{
    const QByteArray f = m.toFrame();
    QString err;
    CAgentMessagePtr d = decodeAgentMessage(f.constData(), f.size(), err, wide);
    EXPECT_TRUE(d) << err.toStdString();
    return d;
}

QByteArray bodyOf(CAgentMessage& m)
{
    return m.toFrame().mid(AgentMessageHeader::Size);
}

STemplateAttachment attachment(int id, const QString& file, int type)
{
    STemplateAttachment a;
    a.id = id;
    a.number = Optional<int>(id * 10);
    a.name = Optional<QString>(file.toUpper());
    a.fileName = Optional<QString>(file);
    a.type = Optional<int>(type);
    a.checksum = Optional<int>(0x906e);
    a.replace = Optional<bool>(true);
    return a;
}

} // namespace

// Every type: the frame re-encodes byte for byte after decoding, and carries its type and id.
TEST(AgentMessageCatalogue, AllTypesRoundTrip)
{
    SPollOutcome outcome;
    outcome.status = 3;
    outcome.result = 0;
    outcome.printTimeoutReason = 4;
    outcome.inDiscovery = 2;
    outcome.perfValue = 123456789012LL;
    outcome.middle = QByteArray(80, 'm');
    outcome.resultCode = -2;
    outcome.measuredValue = 17;
    outcome.resultSections = QByteArray("sec\0tions", 9);
    outcome.failReason = "boom, it=failed)";
    outcome.hostName = "host";
    outcome.hostAddress = "127.0.0.1";
    CNewMonitorInfo nm;
    nm.typeName = "SNMP Disk space";
    nm.name = "/var";
    nm.settings.insert("Path", CZamNewMonitorSetting{"Path", QVariant(QString("/var")), true});
    outcome.newMonitors = {nm};

    SMonitorStatus st(1, 4, 2, SStatusValue{2, -5}, "text", "second", {"a", "b"}, QDateTime(), 0);
    CMonitorEventPtr ev(new CMonitorEventSetStatus(st, SMonitorStatusDetails{true, "1", "2", "3", "4", 0}));

    STemplateAttachmentData data;
    static_cast<STemplateAttachment&>(data) = attachment(3, "c.mib", 1);
    data.content = Optional<QByteArray>(QByteArray("content,=)"));

    std::vector<std::function<CAgentMessage*()>> makers = {
        [] { return new CPingAgentReq(11); },
        [] { return new CPingAgentResp(12); },
        [] { return new CCheckConnectionAgentReq(13); },
        [] { return new CCheckConnectionAgentResp(14); },
        [] { return new CPollWithSettingsAgentReq(QByteArray("\x00\x01,=)", 5), 1, 77, 15); },
        [] { return new CPollAgentReq(42, 1, -9, 1001); },
        [&] { return new CPollAgentResp(outcome, 1002); },
        [] { return new CProtocolVersionAgentNot(3, 1); },
        [] { return new CProductVersionAgentNot(354); },
        [] { return new CSelfIdentificationAgentNot("0123456789abcdef0123456789abcdef", "host", "127.0.0.1"); },
        [] { return new CAbortPollAgentNot(1001); },
        [] { return new CPluginDataAgentNot(5, QString::fromUtf8("plug-in \xc3\xa9"), 55); },
        [] { return new CDeleteMonitorAgentNot(42); },
        [] { return new CLocalhostInfoAgentNot("host", "127.0.0.1", "example.org", "127.0.0.1\n::1"); },
        [] { return new CUpgradeAgentMessage(QByteArray(1000, '\xff')); },
        [] { return new CAgentStatusMessage(2, "timeout"); },
        [] { return new CSnmpReq(4, 0, "localhost:161"); },
        [] { return new CSnmpResp(4, 1, 5); },
        [] { return new CSnmpData(4, QByteArray("\x30\x00", 2)); },
        [] { return new CResolveReq(1, 9, 0, "localhost", "127.0.0.2"); },
        [] { return new CResolveResp(1, 9, 1, 0, "localhost", "127.0.0.1", 20); },
        [] { return new CDisconnectReason("agent was stopped"); },
        [] {
            return new CSubscribeSnmp(writeTrapSubscriptionRecord(12, {}, SUdpMessagesLimit{1, 10, 60},
                                                                  SSnmpTrapCredential{"u", 1, "a", 2, "p"}));
        },
        [] { return new CUnsubscribeSnmp(12); },
        [&] { return new CMonitorEventNot(42, ev, false); },
        [] { return new CSendAgentOsVersionToService(6); },
        [] { return new CUpdateAgentLimits(8, 90, 100, 300); },
        [] { return new CSubscribeSyslog(writeSyslogSubscriptionRecord(13, {}, SUdpMessagesLimit{1, 5, 30})); },
        [] { return new CUnsubscribeSyslog(13); },
        [] { return new CCheckAttachmentsReq(7, "app/files", {attachment(1, "a.txt", 0)}, 30); },
        [] { return new CCheckAttachmentsResp({attachment(2, "b.txt", 0)}, 31); },
        [&] { return new CCreateAttachmentsReq(7, "app/files", {data}, 32); },
        [] { return new CCreateAttachmentsResp({attachment(4, "d.txt", 2)}, 33); },
        [] { return new CDeleteAttachmentsNot(7, "app", {attachment(5, "e", 0)}, 34); },
        [] { return new CAgentSetModeMessage(9, 35); },
        [] { return new CAgentExtCapsMessage(R"({"agent":{"version":"1.1.354"}})", 36); },
    };
    ASSERT_EQ(makers.size(), 36u);
    for (size_t i = 0; i < makers.size(); ++i) {
        CAgentMessagePtr m(makers[i]());
        ASSERT_EQ(m->type(), int(i + 1));
        const QByteArray f = m->toFrame();
        CAgentMessagePtr d = roundTrip(*m);
        ASSERT_TRUE(d) << "type " << i + 1;
        EXPECT_EQ(d->type(), m->type());
        EXPECT_EQ(d->id(), m->id());
        EXPECT_EQ(d->toFrame(), f) << "type " << i + 1;
    }
}

TEST(AgentMessageCatalogue, StructuredMembersSurviveTheTrip)
{
    CSubscribeSnmp snmp(writeTrapSubscriptionRecord(12, {}, SUdpMessagesLimit{1, 10, 60},
                                                    SSnmpTrapCredential{"user", 1, "auth", 2, "priv"}));
    CAgentMessagePtr d = roundTrip(snmp);
    auto* s = static_cast<CSubscribeSnmp*>(d.data());
    EXPECT_TRUE(s->recordError.isEmpty()) << s->recordError.toStdString();
    EXPECT_EQ(s->monitorId, 12);
    EXPECT_TRUE(s->filters().isEmpty());
    EXPECT_EQ(s->limit.on, 1);
    EXPECT_EQ(s->limit.value1, 10);
    EXPECT_EQ(s->limit.value2, 60);
    EXPECT_EQ(s->user.userName, "user");
    EXPECT_EQ(s->user.authProtocol, 1);
    EXPECT_EQ(s->user.authPassphrase, "auth");
    EXPECT_EQ(s->user.privProtocol, 2);
    EXPECT_EQ(s->user.privPassphrase, "priv");

    CSubscribeSyslog syslog(writeSyslogSubscriptionRecord(13, {}, SUdpMessagesLimit{1, 5, 30}));
    d = roundTrip(syslog);
    auto* y = static_cast<CSubscribeSyslog*>(d.data());
    EXPECT_TRUE(y->recordError.isEmpty());
    EXPECT_EQ(y->monitorId, 13);
    EXPECT_EQ(y->limit.value1, 5);
    EXPECT_EQ(y->limit.value2, 30);

    CAgentSetModeMessage mode(9, 35);
    d = roundTrip(mode);
    EXPECT_EQ(static_cast<CAgentSetModeMessage*>(d.data())->modeBits, 9);

    CCheckAttachmentsReq req(7, "app", {attachment(1, "a.txt", 0), attachment(2, "b.mib", 1)}, 30);
    d = roundTrip(req);
    auto* r = static_cast<CCheckAttachmentsReq*>(d.data());
    EXPECT_TRUE(r->listOk);
    ASSERT_EQ(r->attachmentList.size(), 2);
    EXPECT_EQ(r->attachmentList[1].fileName.value(), "b.mib");
    EXPECT_EQ(r->attachmentList[1].type.value(), 1);
    EXPECT_EQ(r->templateId, 7);
    EXPECT_EQ(r->appFilesPath, "app");

    STemplateAttachmentData data;
    static_cast<STemplateAttachment&>(data) = attachment(3, "c", 0);
    data.content = Optional<QByteArray>(QByteArray("xyz"));
    CCreateAttachmentsReq create(1, "p", {data}, 32);
    d = roundTrip(create);
    auto* c = static_cast<CCreateAttachmentsReq*>(d.data());
    ASSERT_EQ(c->attachmentList.size(), 1);
    EXPECT_EQ(c->attachmentList[0].content.value(), "xyz");

    SMonitorStatus st(1, 3, 0, SStatusValue{3, 0}, "t", "u", {"x"}, QDateTime(), 0);
    CMonitorEventNot ev(42, CMonitorEventPtr(new CMonitorEventSetStatus(st, SMonitorStatusDetails())), false);
    d = roundTrip(ev);
    auto* e = static_cast<CMonitorEventNot*>(d.data());
    EXPECT_EQ(e->monitorId, 42);
    EXPECT_EQ(e->isValid_, 1);
    ASSERT_TRUE(e->event);
    EXPECT_EQ(e->event->typeId(), 3);
    EXPECT_EQ(static_cast<CMonitorEventSetStatus*>(e->event.data())->status.value.kind, 3);
    EXPECT_EQ(static_cast<CMonitorEventSetStatus*>(e->event.data())->status.list, QStringList{"x"});
}

TEST(AgentMessageCatalogue, PollResponseGoldenKeyOrder)
{
    SPollOutcome o;
    o.status = 3;
    o.result = 0;
    o.printTimeoutReason = 0;
    o.inDiscovery = 0;
    o.failReason = "";
    CPollAgentResp resp(o, 77);
    const QByteArray body = bodyOf(resp);
    int pos = 0;
    // Keys in the order they appear: each "key=" at the start or right after a pair.
    const QList<QByteArray> expected = {"duration",    "failed_reason",        "host_name", "inDiscovery", "ip",
                                        "new_monitors", "print_timeout_reason", "result",    "status"};
    for (const QByteArray& k : expected) {
        const int at = body.indexOf(k + "=", pos);
        ASSERT_GE(at, pos) << k.constData();
        pos = at + k.size();
    }
    EXPECT_TRUE(body.startsWith("duration=RAW(116,"));
    EXPECT_TRUE(body.endsWith(QByteArray(",inDiscovery=0,ip=RAW(0,),new_monitors=RAW(1,") + QByteArray(1, '\0') +
                              "),print_timeout_reason=0,result=0,status=3"));
    EXPECT_TRUE(body.contains("),failed_reason=RAW(0,),host_name=RAW(0,),inDiscovery=0,"));
}

TEST(AgentMessageCatalogue, TextIsWrittenAsUtf8Bytes)
{
    CDisconnectReason r(QString::fromUtf8("\xc3\xa9"));
    EXPECT_EQ(bodyOf(r), QByteArray("reason=RAW(2,\xc3\xa9)"));
    CProtocolVersionAgentNot v(3, 1);
    EXPECT_EQ(v.toFrame(), QByteArray::fromHex("eaffffffff080000000f000000") + "major=3,minor=1");
    CPollAgentReq p(42, 0, 0, 1001);
    EXPECT_EQ(p.toFrame(), QByteArray::fromHex("eae90300000600000029000000") +
                               "has_template_id=0,mon_id=42,template_id=0");
    CAgentSetModeMessage mode(9, 5);
    EXPECT_EQ(mode.toFrame(), QByteArray::fromHex("ea050000002300000010000000") + "mode=RAW(4," +
                                  QByteArray::fromHex("00000009") + ")");
}
