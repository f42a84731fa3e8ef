// Attachment answers go to the session that asked, never to whichever session is current when
// the work ends. A check held up on a MIB file that is a FIFO gives the test the moment at
// which its answer is made. Private namespaces: the configuration folder is this program's.
#include "LinkTestFixture.h"

#include "common/AppPaths.h"
#include "link/AttachmentListRecords.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace msg = peer::msg;

using peer::Field;
using peer::Message;

QByteArray checkFrame(int id, int templateId, const QList<STemplateAttachment>& list)
{
    return peer::frame(id, msg::CheckAttachmentsReq,
                       {Field::num("template_id", templateId), Field::raw("app_files_path", "answers"),
                        Field::raw("attachments", writeAttachmentList(list))});
}

STemplateAttachment mib(int id, const QString& name)
{
    STemplateAttachment a;
    a.id = id;
    a.name.set(name);
    a.type.set(1);
    a.checksum = computeChecksum("x");
    return a;
}

bool answersPing(peer::Session* s, int id)
{
    s->send(peer::frame(id, msg::PingReq));
    Message m;
    return s->waitFor(msg::PingResp, m) && m.id == id;
}

TEST(LinkAttachmentAnswers, AnswerOfAnEndedSessionIsNotSentOnTheNextOne)
{
    CapturedMessages log;
    LinkFixture fx{LinkMode{"PassiveTcp", true, false}};
    fx.start();
    peer::Session* first = fx.identifiedSession();
    ASSERT_TRUE(first);
    ASSERT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 1; }));

    ASSERT_TRUE(QDir().mkpath(configDir() + "mibs"));
    const QByteArray fifo = QFile::encodeName(configDir() + "mibs/slow.mib");
    ::unlink(fifo.constData());
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);

    // The check blocks reading the FIFO until the test writes to it; the open on this side
    // succeeds once the check has opened its end.
    first->send(checkFrame(40, 7, {mib(1, QStringLiteral("slow.mib"))}));
    int w = -1;
    // The blocked check must be released on every way out, or the attachment thread never ends.
    const auto release = qScopeGuard([&] {
        if (w >= 0)
            ::close(w);
    });
    ASSERT_TRUE(waitUntil([&] { return (w = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    first->close();
    ASSERT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 0; }));
    peer::Session* second = fx.identifiedSession();
    ASSERT_TRUE(second);
    ASSERT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 1; }));

    ASSERT_EQ(::write(w, "x", 1), 1);
    ::close(w);
    w = -1;
    EXPECT_TRUE(CapturedMessages::waitFor(
        QStringLiteral("warning: answer to attachment request 40 dropped: its session has ended")));
    // The new session's own check is answered on it, and only that one.
    second->send(checkFrame(41, 8, {mib(2, QStringLiteral("absent.mib"))}));
    Message m;
    ASSERT_TRUE(second->waitFor(msg::CheckAttachmentsResp, m));
    EXPECT_EQ(m.id, 41);
    EXPECT_TRUE(answersPing(second, 42));
    for (const Message& late : second->messages)
        EXPECT_FALSE(late.type == msg::CheckAttachmentsResp) << "answer " << late.id << " reached the wrong session";
    ::unlink(fifo.constData());
}

} // namespace
