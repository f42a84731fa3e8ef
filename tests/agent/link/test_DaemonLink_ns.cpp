// The real daemon keeps its link to a service played by the test peer: it starts the agent
// manager through the super agent manager, identifies itself, answers polls (a monitor it does
// not know is reported as not found) and says goodbye when stopped.
#include "ControlPortClient.h"
#include "common/ConnectionId.h"
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

namespace {

namespace msg = peer::msg;

TEST(DaemonLink, ActiveDaemonIdentifiesPollsAndSaysGoodbye)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    peer::Listener service;
    const quint16 port = service.start();
    ASSERT_NE(port, 0);
    QTcpServer probe;   // a free port for the control server
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 controlPort = probe.serverPort();
    probe.close();
    {
        QFile f(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Common]\nAgentType=0\n[ActiveAgentSettings]\nTransport=TCP\nHost=127.0.0.1\nPort="
                + QByteArray::number(port) + "\n[SSLSettings]\nCertificatePath=" + certs.cert("agent").toUtf8()
                + "\n[AgentControlServer]\nPort=" + QByteArray::number(controlPort) + "\n");
    }
    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NETAGENTD_TEST_TIME_SCALE"), QStringLiteral("0.1"));
    daemon.setProcessEnvironment(env);
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
    ASSERT_TRUE(daemon.waitForStarted(10000));

    ASSERT_TRUE(service.waitForSession(1, 20000));
    peer::Session* s = service.sessions[0];
    peer::Message m;
    ASSERT_TRUE(s->waitFor(msg::SelfIdentificationNot, m));
    QString id;
    ASSERT_TRUE(connectionIdFromCertificate(certs.cert("agent"), id));
    EXPECT_EQ(m.text("connection_id"), id);
    ASSERT_TRUE(s->waitFor(msg::LocalhostInfoNot, m));

    s->send(peer::frame(7, msg::PingReq));
    ASSERT_TRUE(s->waitFor(msg::PingResp, m));
    EXPECT_EQ(m.id, 7);
    s->send(peer::frame(500, msg::PollReq, {peer::Field::num("mon_id", 3), peer::Field::num("has_template_id", 0)}));
    ASSERT_TRUE(s->waitFor(msg::PollResp, m));
    EXPECT_EQ(m.id, 500);
    EXPECT_EQ(m.num("status"), 4);
    EXPECT_EQ(m.num("result"), 1);
    EXPECT_EQ(m.raws.value("failed_reason"), QByteArray("monitor was not found"));

    // The control port tells whether a session is current, and follows a drop and the
    // reconnect that comes after it.
    ControlPortClient control;
    ASSERT_TRUE(control.connectTo(controlPort));
    control.send(NotificationFixedSize(10001, 0, 0, 0));
    ASSERT_TRUE(waitUntil([&] { return control.received().contains(fs(10002, 1, 0, 0)); }));
    s->close();
    ASSERT_TRUE(waitUntil([&] { return control.received().contains(fs(10002, 0, 0, 0)); }));
    ASSERT_TRUE(service.waitForSession(2, 30000));
    s = service.sessions[1];
    ASSERT_TRUE(s->waitFor(msg::LocalhostInfoNot, m));
    ASSERT_TRUE(waitUntil([&] { return control.received().count(fs(10002, 1, 0, 0)) >= 2; }));

    ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
    ASSERT_TRUE(s->waitFor(msg::DisconnectReason, m, 20000));
    EXPECT_EQ(m.text("reason"), QStringLiteral("agent was stopped"));
    EXPECT_TRUE(s->waitClosed());
    ASSERT_TRUE(daemon.waitForFinished(20000));
    EXPECT_EQ(daemon.exitCode(), 0);
}

} // namespace
