// The service closes the link from its side: the daemon ends the session without touching the
// socket once its descriptor is gone (Qt would say "QSocketNotifier: Invalid socket specified")
// and comes back with a new session.
#include "DaemonSessionFixture.h"

namespace {

namespace msg = peer::msg;

const QString kLog = QStringLiteral("/var/log/corvane-agent/agent.log");

QString logText()
{
    QFile f(kLog);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class DaemonLinkPeerClose : public DaemonSessionFixture
{
protected:
    void SetUp() override
    {
        QFile::remove(kLog);
        DaemonSessionFixture::SetUp();
    }
};

TEST_F(DaemonLinkPeerClose, SessionEndsWithoutTouchingTheClosedSocket)
{
    // Each way the peer can leave: a plain close, a close right behind a request the agent is
    // answering, and a close in the middle of a frame.
    struct Case
    {
        const char* name;
        QByteArray before;
    };
    const Case cases[] = {
        {"plain close", {}},
        {"close behind a ping", peer::frame(41, msg::PingReq)},
        {"close inside a frame", peer::frame(42, msg::PingReq).left(7)},
    };
    int sessions = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.before.isEmpty())
            s->send(c.before);
        s->close();
        ASSERT_TRUE(s->waitClosed());
        // The new session arrives only after the old one has ended for good.
        ASSERT_TRUE(service.waitForSession(++sessions, 30000));
        s = service.sessions.last();
        peer::Message m;
        ASSERT_TRUE(s->waitFor(msg::LocalhostInfoNot, m));
        const QString log = logText();
        EXPECT_TRUE(log.contains(QStringLiteral("The remote host closed the connection"))) << log.toStdString();
        EXPECT_FALSE(log.contains(QStringLiteral("QSocketNotifier"))) << log.toStdString();
    }
}

} // namespace
