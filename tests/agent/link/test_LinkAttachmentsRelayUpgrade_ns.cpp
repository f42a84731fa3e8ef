// Template attachments, the SNMP relay and upgrades end to end: a real agent manager and its
// session against the test peer. Private namespaces: the configuration folder is an empty
// tmpfs and the relay's proxy port 3457 is this program's own.
#include "LinkTestFixture.h"
#include "SnmpRelayTestPeer.h"

#include "common/AppPaths.h"
#include "link/AttachmentListRecords.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

namespace msg = peer::msg;

// Shortened timing: the 150 s upgrade wait becomes 1.5 s.
const bool kTimeScaled = [] {
    qputenv("NETAGENTD_TEST_TIME_SCALE", "0.01");
    return true;
}();

using peer::Field;
using peer::Message;

STemplateAttachmentData record(int id, const QString& name, int type, const QByteArray& plain)
{
    STemplateAttachmentData a;
    a.id = id;
    a.name.set(name);
    a.type.set(type);
    a.checksum = computeChecksum(plain);
    a.content.set(qCompress(plain));
    return a;
}

QList<int> answerIds(const Message& m)
{
    QList<STemplateAttachment> list;
    EXPECT_TRUE(readAttachmentList(m.raws.value("missing_attachments"), list));
    QList<int> ids;
    for (const auto& a : list)
        ids << a.id;
    return ids;
}

QByteArray attachmentFrame(int id, int type, int templateId, const QByteArray& list)
{
    return peer::frame(id, type, {Field::num("template_id", templateId), Field::raw("app_files_path", "web/v1"),
                                  Field::raw("attachments", list)});
}

QByteArray pollFrame(int id, int monitorId, int templateId)
{
    return peer::frame(id, msg::PollReq,
                       {Field::num("mon_id", monitorId), Field::num("has_template_id", 1),
                        Field::num("template_id", templateId)});
}

class LinkFeaturesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kTimeScaled);
        fx.engine->addMonitor(50);
        fx.start();
        s = fx.identifiedSession();
        ASSERT_TRUE(s);
    }

    CapturedMessages log;
    LinkFixture fx{LinkMode{"ActiveTcp", false, false}};
    peer::Session* s = nullptr;
};

} // namespace

TEST_F(LinkFeaturesTest, AttachmentsAreCheckedCreatedAndDeleted)
{
    const QList<STemplateAttachmentData> files{record(1, "probe.sh", 0, "#!/bin/sh\n"), record(2, "X-MIB", 1, "X"),
                                               record(3, "../../quv.ini", 0, "evil")};
    QList<STemplateAttachment> plain;
    for (const auto& a : files)
        plain << a;
    Message m;

    s->send(attachmentFrame(70, msg::CheckAttachmentsReq, 9, writeAttachmentList(plain)));
    ASSERT_TRUE(s->waitFor(msg::CheckAttachmentsResp, m));
    EXPECT_EQ(m.id, 70);
    EXPECT_EQ(answerIds(m), QList<int>({1, 2, 3}));
    // Missing files keep the template busy for polls.
    s->send(pollFrame(71, 50, 9));
    ASSERT_TRUE(s->waitFor(msg::PollResp, m));
    EXPECT_EQ(m.num("result"), 2);
    EXPECT_EQ(m.raws.value("failed_reason"), QByteArray("updating template attachments"));

    s->send(attachmentFrame(72, msg::CreateAttachmentsReq, 9, writeAttachmentList(files)));
    ASSERT_TRUE(s->waitFor(msg::CheckAttachmentsResp, m));
    EXPECT_EQ(m.id, 72);
    EXPECT_EQ(answerIds(m), QList<int>{3});
    EXPECT_TRUE(QFileInfo::exists(configDir() + "templates/web/v1/probe.sh"));
    EXPECT_TRUE(QFileInfo::exists(configDir() + "mibs/X-MIB"));
    EXPECT_FALSE(QFileInfo::exists(configDir() + "quv.ini"));
    s->send(pollFrame(73, 50, 9));
    ASSERT_TRUE(s->waitFor(msg::PollResp, m));
    EXPECT_EQ(m.num("result"), 0);

    // Nothing missing: the template is free at once.
    s->send(attachmentFrame(74, msg::CheckAttachmentsReq, 10, writeAttachmentList(plain.mid(0, 2))));
    ASSERT_TRUE(s->waitFor(msg::CheckAttachmentsResp, m));
    EXPECT_EQ(answerIds(m), QList<int>());
    s->send(pollFrame(75, 50, 10));
    ASSERT_TRUE(s->waitFor(msg::PollResp, m));
    EXPECT_EQ(m.num("result"), 0);

    // A delete has no answer; the names match without regard to case.
    STemplateAttachment upper = plain[0];
    upper.name.set("PROBE.SH");
    s->send(attachmentFrame(-1, msg::DeleteAttachmentsNot, 9, writeAttachmentList(QList<STemplateAttachment>{upper})));
    EXPECT_TRUE(waitUntil([] { return !QFileInfo::exists(configDir() + "templates/web"); }));
    EXPECT_TRUE(QFileInfo::exists(configDir() + "mibs/X-MIB"));

    // A list claiming 2^31 records is answered empty.
    s->send(attachmentFrame(76, msg::CheckAttachmentsReq, 11, QByteArray("\x80\x00\x00\x00", 4)));
    ASSERT_TRUE(s->waitFor(msg::CheckAttachmentsResp, m));
    EXPECT_EQ(m.id, 76);
    EXPECT_EQ(answerIds(m), QList<int>());
}

TEST_F(LinkFeaturesTest, RelayOpensCarriesDatagramsIsReplacedAndCloses)
{
    UdpEchoPeer echo;
    const QByteArray peerText = "127.0.0.1:" + QByteArray::number(echo.port());
    auto relayRequest = [](int relayId, int op, const QByteArray& host) {
        return peer::frame(-1, msg::SnmpReq,
                           {Field::raw("host", host), Field::num("id", relayId), Field::num("type", op)});
    };
    auto expectResp = [&](int relayId, int type, int reason) {
        Message m;
        ASSERT_TRUE(s->waitFor(msg::SnmpResp, m));
        EXPECT_EQ(m.num("id"), relayId);
        EXPECT_EQ(m.num("type"), type);
        EXPECT_EQ(m.num("reason"), reason);
    };

    s->send(relayRequest(7, 0, peerText));
    expectResp(7, 0, 0);
    const QByteArray datagram("\x30\x82\x00\x10 snmp \x00 bytes", 18);
    s->send(peer::frame(-1, msg::SnmpData, {Field::raw("data", datagram), Field::num("id", 7)}));
    Message m;
    ASSERT_TRUE(s->waitFor(msg::SnmpData, m));
    EXPECT_EQ(m.num("id"), 7);
    EXPECT_EQ(m.raws.value("data"), datagram);

    s->send(relayRequest(8, 0, peerText));
    expectResp(7, 1, 4);
    expectResp(8, 0, 0);
    s->send(relayRequest(9, 1, QByteArray()));   // not the open relay: nothing
    s->send(relayRequest(8, 1, QByteArray()));
    expectResp(8, 1, 1);

    // A peer without a port, or one that does not resolve, never opens.
    for (const QByteArray& bad : {QByteArray("127.0.0.1"), QByteArray("no-such-host.invalid:161")}) {
        s->send(relayRequest(5, 0, bad));
        expectResp(5, 1, 5);
        s->send(relayRequest(5, 1, QByteArray()));
        expectResp(5, 1, 1);
    }
}

TEST_F(LinkFeaturesTest, UpgradeIsStoredStartedAndTimesOut)
{
    const QByteArray oldTmp = qgetenv("TMPDIR");
    QTemporaryDir tmp;
    Message m;

    // No usable temporary folder: a missing one, or a file in its place.
    QFile plainFile(tmp.path() + "/file");
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    const struct { QString tmpdir; QString start; } failures[] = {
        {tmp.path() + "/absent", "can't define temp dir, upgrade process cancelled"},
        {tmp.path() + "/file", "can't create temp file zamagent_upgrade_"},
    };
    for (const auto& f : failures) {
        qputenv("TMPDIR", QFile::encodeName(f.tmpdir));
        s->send(peer::frame(-1, msg::Upgrade, {Field::raw("upgrade_data", "#!/bin/sh\n")}));
        ASSERT_TRUE(s->waitFor(msg::AgentStatus, m));
        EXPECT_EQ(m.num("status_code"), 2);
        EXPECT_TRUE(m.text("data").startsWith(f.start)) << m.text("data").toStdString();
        EXPECT_FALSE(fx.manager->isUpgrading());
    }

    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString marker = tmp.path() + "/ran";
    const QByteArray script = QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n").arg(marker).toUtf8();
    s->send(peer::frame(-1, msg::Upgrade, {Field::raw("upgrade_data", script)}));
    ASSERT_TRUE(s->waitFor(msg::AgentStatus, m));
    EXPECT_EQ(m.id, -1);
    EXPECT_EQ(m.num("status_code"), 1);
    EXPECT_EQ(m.raws.value("data"), QByteArray());
    EXPECT_TRUE(fx.manager->isUpgrading());
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }));

    // A second package while the first runs: logged, no answer.
    s->send(peer::frame(-1, msg::Upgrade, {Field::raw("upgrade_data", script)}));
    EXPECT_TRUE(CapturedMessages::waitFor("warning: upgrade was already started"));

    ASSERT_TRUE(s->waitFor(msg::AgentStatus, m));
    EXPECT_EQ(m.num("status_code"), 2);
    EXPECT_EQ(m.raws.value("data"), QByteArray("timeout"));
    EXPECT_FALSE(fx.manager->isUpgrading());
    qputenv("TMPDIR", oldTmp);
}

TEST_F(LinkFeaturesTest, UpgradingEndsWithItsTimerAfterItsSessionHasGone)
{
    const QByteArray oldTmp = qgetenv("TMPDIR");
    QTemporaryDir tmp;
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    Message m;
    s->send(peer::frame(-1, msg::Upgrade, {Field::raw("upgrade_data", "#!/bin/sh\nexit 0\n")}));
    ASSERT_TRUE(s->waitFor(msg::AgentStatus, m));
    EXPECT_EQ(m.num("status_code"), 1);
    ASSERT_TRUE(fx.manager->isUpgrading());
    s->close();
    EXPECT_TRUE(CapturedMessages::waitFor("warning: Upgrade timeout"));
    EXPECT_TRUE(waitUntil([&] { return !fx.manager->isUpgrading(); }));
    qputenv("TMPDIR", oldTmp);
}
