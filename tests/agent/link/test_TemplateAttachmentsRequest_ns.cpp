// Attachment requests as the service sends them (frames), carried out against the daemon's
// configuration folder, which this program sees as an empty private tmpfs.
#include "link/AgentAttachmentMessages.h"
#include "link/AgentMessageDecoder.h"
#include "link/AttachmentListRecords.h"
#include "link/TemplateAttachmentsRequest.h"
#include "common/AppPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

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

// Through the wire and back, as the session would hand it over.
CAgentMessagePtr viaFrame(CAgentMessage* outgoing)
{
    CAgentMessagePtr keep(outgoing);
    const QByteArray frame = keep->toFrame();
    QString error;
    CAgentMessagePtr in = decodeAgentMessage(frame.constData(), frame.size(), error, false);
    EXPECT_TRUE(in) << error.toStdString();
    return in;
}

QStringList idsOf(const QList<STemplateAttachment>& list)
{
    QStringList out;
    for (const auto& a : list)
        out << QString::number(a.id);
    return out;
}

} // namespace

TEST(TemplateAttachmentsRequest, CheckCreateAndDeleteThroughTheirMessages)
{
    const QString app = QStringLiteral("net/v2_standard_5");
    const QList<STemplateAttachmentData> files{record(1, "probe.sh", 0, "#!/bin/sh\n"), record(2, "X-MIB", 1, "X"),
                                               record(3, "../escape", 0, "x")};
    QList<STemplateAttachment> plain;
    for (const auto& a : files)
        plain << a;

    auto check = runTemplateAttachmentsRequest(*viaFrame(new CCheckAttachmentsReq(9, app, plain, 70)));
    EXPECT_EQ(check.requestType, 30);
    EXPECT_EQ(check.requestId, 70);
    EXPECT_EQ(check.templateId, 9);
    EXPECT_TRUE(check.answer);
    EXPECT_EQ(idsOf(check.list), QStringList({"1", "2", "3"}));

    auto create = runTemplateAttachmentsRequest(*viaFrame(new CCreateAttachmentsReq(9, app, files, 71)));
    EXPECT_EQ(create.requestId, 71);
    EXPECT_TRUE(create.answer);
    EXPECT_EQ(idsOf(create.list), QStringList{"3"});
    EXPECT_FALSE(create.list[0].id == 0);
    // The answer record goes back without content, and the answer message carries it.
    const CAgentMessagePtr answer = viaFrame(new CCheckAttachmentsResp(create.list, create.requestId));
    EXPECT_EQ(answer->id(), 71);
    EXPECT_EQ(idsOf(static_cast<CCheckAttachmentsResp*>(answer.data())->attachmentList), QStringList{"3"});

    EXPECT_TRUE(QFileInfo::exists(configDir() + "templates/" + app + "/probe.sh"));
    EXPECT_TRUE(QFileInfo::exists(configDir() + "mibs/X-MIB"));
    check = runTemplateAttachmentsRequest(*viaFrame(new CCheckAttachmentsReq(9, app, plain, 72)));
    EXPECT_EQ(idsOf(check.list), QStringList{"3"});

    auto removal = runTemplateAttachmentsRequest(*viaFrame(new CDeleteAttachmentsNot(9, app, plain, 73)));
    EXPECT_EQ(removal.requestType, 34);
    EXPECT_FALSE(removal.answer);
    EXPECT_FALSE(QFileInfo::exists(configDir() + "templates/net"));
    EXPECT_TRUE(QFileInfo::exists(configDir() + "mibs/X-MIB"));
}

TEST(TemplateAttachmentsRequest, AMalformedListIsAnsweredEmptyAndWritesNothing)
{
    CAgentMessagePtr request = viaFrame(new CCreateAttachmentsReq(4, "a", {record(1, "f.txt", 0, "x")}, 80));
    auto* m = static_cast<CCreateAttachmentsReq*>(request.data());
    QByteArray huge = m->attachments;
    huge[0] = char(0x80);   // 2^31 records
    m->attachments = huge;
    m->listOk = readAttachmentList(m->attachments, m->attachmentList);
    ASSERT_FALSE(m->listOk);

    const auto out = runTemplateAttachmentsRequest(*request);
    EXPECT_TRUE(out.answer);
    EXPECT_EQ(out.requestId, 80);
    EXPECT_TRUE(out.list.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(configDir() + "templates/a"));
}
