// Resolve requests (type 20) through the real daemon: a request the service waits for is
// answered on a task thread with its own header id; a request whose service id is 0 goes to
// the background resolver, which answers with header id -1 and only when the answer changed.
// The names come from this namespace's own hosts file.
#include "DaemonSessionFixture.h"
#include "support/PrivateNameFiles.h"

#include <QTemporaryDir>

namespace {

namespace msg = peer::msg;

using peer::Field;
using peer::Message;

class DaemonLinkResolve : public DaemonSessionFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(names.isValid());
        const QString error = privatenames::install(
            names.path(), "127.0.0.1 localhost\n192.0.2.5 sync-a.test\n192.0.2.6 sync-b.test\n"
                          "192.0.2.7 async-a.test\n192.0.2.8 async-b.test\n192.0.2.9 async-same.test\n");
        ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
        DaemonSessionFixture::SetUp();
    }

    QByteArray request(int id, qint32 reqId, const QByteArray& from, const QByteArray& prev = {})
    {
        return peer::frame(id, msg::ResolveReq,
                           {Field::num("version", 1), Field::num("reqId", reqId), Field::num("isIp", 0),
                            Field::raw("from", from), Field::raw("prev", prev)});
    }

    // The answer naming this host, whatever its header id.
    bool answerFor(const QString& from, Message& out, int timeoutMs = 20000)
    {
        return waitUntil(
            [&] {
                for (int i = 0; i < s->messages.size(); ++i) {
                    if (s->messages[i].type == msg::ResolveResp && s->messages[i].text("from") == from) {
                        out = s->messages.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
    }

    QTemporaryDir names;
};

TEST_F(DaemonLinkResolve, AnswersCarryTheRequestsIdsAndTheRoutingFollowsTheServiceId)
{
    struct Case
    {
        qint32 reqId;
        const char* host;
        int expectedHeaderId;   // -1: the background resolver answered
        const char* address;
    };
    const Case cases[] = {
        {5, "sync-a.test", 301, "192.0.2.5"},
        {static_cast<qint32>(0x80000005u), "sync-b.test", 302, "192.0.2.6"},
        {0, "async-a.test", -1, "192.0.2.7"},
        {static_cast<qint32>(0x80000000u), "async-b.test", -1, "192.0.2.8"},
    };
    int id = 301;
    for (const Case& c : cases)
        s->send(request(id++, c.reqId, c.host));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        Message m;
        ASSERT_TRUE(answerFor(QString::fromLatin1(c.host), m));
        EXPECT_EQ(m.id, c.expectedHeaderId);
        EXPECT_EQ(m.num("version"), 1);
        EXPECT_EQ(m.num("reqId"), c.reqId);
        EXPECT_EQ(m.num("isOk"), 1);
        EXPECT_EQ(m.num("isIp"), 0);
        EXPECT_EQ(m.text("to"), QString::fromLatin1(c.address));
    }
}

TEST_F(DaemonLinkResolve, BackgroundLookupThatChangedNothingIsNotAnswered)
{
    s->send(request(310, 0, "async-same.test", "192.0.2.9"));
    // A waited-for lookup sent behind it is answered; the unchanged one never is.
    s->send(request(311, 7, "sync-a.test"));
    Message m;
    ASSERT_TRUE(answerFor(QStringLiteral("sync-a.test"), m));
    EXPECT_FALSE(answerFor(QStringLiteral("async-same.test"), m, 1500));
}

TEST_F(DaemonLinkResolve, OddRequestsAreAnsweredOrDroppedWithoutHarm)
{
    // An empty text and a text of 64 KiB find nothing; a request id of -1 is the service's
    // id 0x7fffffff, which somebody waits for.
    s->send(request(320, 9, ""));
    s->send(request(321, 10, QByteArray(64 * 1024, 'x')));
    s->send(request(322, -1, "sync-b.test"));
    Message m;
    ASSERT_TRUE(answer(msg::ResolveResp, 320, m));
    EXPECT_EQ(m.num("isOk"), 0);
    EXPECT_EQ(m.text("to"), QString());
    ASSERT_TRUE(answer(msg::ResolveResp, 321, m));
    EXPECT_EQ(m.num("isOk"), 0);
    ASSERT_TRUE(answer(msg::ResolveResp, 322, m));
    EXPECT_EQ(m.num("reqId"), -1);
    EXPECT_EQ(m.text("to"), QStringLiteral("192.0.2.6"));
    EXPECT_TRUE(pingRoundTrip(323));
}

} // namespace
