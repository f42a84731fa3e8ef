// The daemon's poll road as the service drives it: settings that come with a refused poll are
// kept for the next poll by id, and an aborted poll stops and frees its monitor at once.
#include "DaemonPollFrames.h"
#include "DaemonSessionFixture.h"
#include "common/TemplateAttachment.h"
#include "link/AttachmentListRecords.h"

#include <QFile>
#include <QTcpServer>

namespace {

namespace msg = peer::msg;

QString logText()
{
    QFile f(QStringLiteral("/var/log/corvane-agent/agent.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

using namespace pollframes;
using peer::Field;
using peer::Message;

class DaemonLinkPollSettingsAbort : public DaemonSessionFixture
{
};

// A refused poll with settings still stores them: the poll by id afterwards reaches the
// listener the new settings name, not the silent port of the old ones.
TEST_F(DaemonLinkPollSettingsAbort, RefusedPollWithSettingsStoresThem)
{
    QTcpServer open;
    ASSERT_TRUE(open.listen(QHostAddress::LocalHost, 0));
    StalledListener stalled;
    ASSERT_NE(stalled.port(), 0);

    struct Case
    {
        const char* name;
        int monitorId;
        bool viaTemplate;   // refused by the busy template, else by the busy monitor
    };
    const Case cases[] = {{"monitor busy", 61, false}, {"template busy", 62, true}};
    int id = 800;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Message m;
        int firstPoll = -1;
        if (c.viaTemplate) {
            // A check that finds a file missing keeps template 7 busy.
            STemplateAttachment absent;
            absent.id = 1;
            absent.name.set(QStringLiteral("absent.txt"));
            absent.type.set(0);
            s->send(peer::frame(id, msg::CheckAttachmentsReq,
                                {Field::num("template_id", 7), Field::raw("app_files_path", "t7"),
                                 Field::raw("attachments", writeAttachmentList(QList<STemplateAttachment>{absent}))}));
            ASSERT_TRUE(answer(msg::CheckAttachmentsResp, id++, m));
        } else {
            firstPoll = id;
            s->send(pollWithSettings(id++, tcpMonitorData(c.monitorId, stalled.port(), 3000)));
        }
        const int refused = id++;
        s->send(pollWithSettings(refused, tcpMonitorData(c.monitorId, open.serverPort(), 3000),
                                 c.viaTemplate ? 7 : -1));
        ASSERT_TRUE(answer(msg::PollResp, refused, m));
        EXPECT_EQ(m.num("result"), c.viaTemplate ? 2 : 1);
        EXPECT_EQ(m.text("failed_reason"), c.viaTemplate ? QStringLiteral("updating template attachments")
                                                         : QStringLiteral("previous poll has not finished yet"));
        if (firstPoll >= 0) {
            ASSERT_TRUE(answer(msg::PollResp, firstPoll, m, 30000));
        }

        const int byId = id++;
        s->send(pollById(byId, c.monitorId));
        ASSERT_TRUE(answer(msg::PollResp, byId, m));
        EXPECT_EQ(m.num("status"), 3);
        EXPECT_EQ(m.num("result"), 0) << m.text("failed_reason").toStdString();
    }
}

// An aborted poll against a silent port stops at its next step instead of running out its
// 20 s: the monitor is free for a new poll at once, and the aborted one is never answered.
TEST_F(DaemonLinkPollSettingsAbort, AbortedPollStopsAndFreesItsMonitor)
{
    StalledListener stalled;
    ASSERT_NE(stalled.port(), 0);
    QTcpServer open;
    ASSERT_TRUE(open.listen(QHostAddress::LocalHost, 0));
    s->send(pollWithSettings(900, tcpMonitorData(63, stalled.port(), 20000)));
    // The poll is running once a second one is refused as busy.
    s->send(pollById(901, 63));
    Message m;
    ASSERT_TRUE(answer(msg::PollResp, 901, m));
    ASSERT_EQ(m.text("failed_reason"), QStringLiteral("previous poll has not finished yet"));

    s->send(abortPoll(900));
    // The stopped poll hands in its result after it freed the monitor; with the transaction
    // gone the session logs that it has nobody to answer. Well under the 20 s budget: the
    // check looks for a stop at least once a second.
    ASSERT_TRUE(waitUntil([] { return logText().contains(QStringLiteral("cannot find polling task for transaction 900")); },
                          10000))
        << "the aborted poll ran on";
    s->send(pollWithSettings(910, tcpMonitorData(63, open.serverPort(), 3000)));
    ASSERT_TRUE(answer(msg::PollResp, 910, m));
    EXPECT_EQ(m.num("result"), 0) << m.text("failed_reason").toStdString();
    EXPECT_TRUE(pingRoundTrip(920));
    EXPECT_FALSE(received(msg::PollResp, 900));
}

TEST_F(DaemonLinkPollSettingsAbort, AbortsOfUnknownOrFinishedTransactionsChangeNothing)
{
    s->send(abortPoll(12345));
    s->send(pollById(950, 9999));
    Message m;
    ASSERT_TRUE(answer(msg::PollResp, 950, m));
    s->send(abortPoll(950));
    EXPECT_TRUE(pingRoundTrip(951));
    s->send(pollById(952, 9999));
    ASSERT_TRUE(answer(msg::PollResp, 952, m));
    EXPECT_EQ(m.text("failed_reason"), QStringLiteral("monitor was not found"));
}

} // namespace
