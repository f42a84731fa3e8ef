// The daemon's poll road as the service drives it: settings that come with a refused poll are
// kept for the next poll by id, and an aborted poll stops and frees its monitor at once.
#include "DaemonPollFrames.h"
#include "DaemonSessionFixture.h"
#include "common/TemplateAttachment.h"
#include "link/AttachmentListRecords.h"

#include <QTcpServer>

namespace {

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
            s->send(peer::frame(id, 30, {Field::num("template_id", 7), Field::raw("app_files_path", "t7"),
                                         Field::raw("attachments", writeAttachmentList(QList<STemplateAttachment>{absent}))}));
            ASSERT_TRUE(answer(31, id++, m));
        } else {
            firstPoll = id;
            s->send(pollWithSettings(id++, tcpMonitorData(c.monitorId, stalled.port(), 3000)));
        }
        const int refused = id++;
        s->send(pollWithSettings(refused, tcpMonitorData(c.monitorId, open.serverPort(), 3000),
                                 c.viaTemplate ? 7 : -1));
        ASSERT_TRUE(answer(7, refused, m));
        EXPECT_EQ(m.num("result"), c.viaTemplate ? 2 : 1);
        EXPECT_EQ(m.text("failed_reason"), c.viaTemplate ? QStringLiteral("updating template attachments")
                                                         : QStringLiteral("previous poll has not finished yet"));
        if (firstPoll >= 0)
            ASSERT_TRUE(answer(7, firstPoll, m, 30000));

        const int byId = id++;
        s->send(pollById(byId, c.monitorId));
        ASSERT_TRUE(answer(7, byId, m));
        EXPECT_EQ(m.num("status"), 3);
        EXPECT_EQ(m.num("result"), 0) << m.text("failed_reason").toStdString();
    }
}

TEST_F(DaemonLinkPollSettingsAbort, AbortsOfUnknownOrFinishedTransactionsChangeNothing)
{
    s->send(abortPoll(12345));
    s->send(pollById(950, 9999));
    Message m;
    ASSERT_TRUE(answer(7, 950, m));
    s->send(abortPoll(950));
    EXPECT_TRUE(pingRoundTrip(951));
    s->send(pollById(952, 9999));
    ASSERT_TRUE(answer(7, 952, m));
    EXPECT_EQ(m.text("failed_reason"), QStringLiteral("monitor was not found"));
}

} // namespace
