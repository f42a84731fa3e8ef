// Polls through the real daemon: the service (the test peer) asks by id and with settings,
// and the daemon's poll tasks run the TCP check against listeners on this namespace's
// loopback.
#include "DaemonPollFrames.h"
#include "link/SPollOutcome.h"
#include "support/ActiveDaemonSettings.h"
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QTcpServer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

namespace msg = peer::msg;

using pollframes::pollWithSettings;
using pollframes::StalledListener;
using pollframes::tcpMonitorData;

class DaemonLinkPolls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
        const quint16 port = service.start();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(testdaemon::writeActiveSettings(port, certs.cert("agent"), 0));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NETAGENTD_TEST_TIME_SCALE"), QStringLiteral("0.1"));
        daemon.setProcessEnvironment(env);
        daemon.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
        ASSERT_TRUE(daemon.waitForStarted(10000));
        ASSERT_TRUE(service.waitForSession(1, 20000));
        s = service.sessions[0];
        peer::Message m;
        ASSERT_TRUE(s->waitFor(msg::LocalhostInfoNot, m));
    }
    void TearDown() override
    {
        if (daemon.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
        EXPECT_TRUE(daemon.waitForFinished(20000));
        EXPECT_EQ(daemon.exitCode(), 0);
    }

    // The next poll response with this transaction id (others are kept for later).
    bool pollResponse(int transactionId, peer::Message& out, int timeoutMs = 20000)
    {
        return waitUntil(
            [&] {
                for (int i = 0; i < s->messages.size(); ++i) {
                    if (s->messages[i].type == msg::PollResp && s->messages[i].id == transactionId) {
                        out = s->messages.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
    }

    TestCertificates certs;
    peer::Listener service;
    QProcess daemon;
    peer::Session* s = nullptr;
};

TEST_F(DaemonLinkPolls, UnknownMonitorByIdIsNotFound)
{
    s->send(peer::frame(500, msg::PollReq, {peer::Field::num("mon_id", 9999), peer::Field::num("has_template_id", 0)}));
    peer::Message m;
    ASSERT_TRUE(pollResponse(500, m));
    EXPECT_EQ(m.num("status"), 4);
    EXPECT_EQ(m.num("result"), 1);
    EXPECT_EQ(m.raws.value("failed_reason"), QByteArray("monitor was not found"));
}

TEST_F(DaemonLinkPolls, TcpMonitorWithSettingsSucceedsThenFailsOnClosedPort)
{
    QTcpServer open;
    ASSERT_TRUE(open.listen(QHostAddress::LocalHost, 0));
    s->send(pollWithSettings(601, tcpMonitorData(41, open.serverPort(), 3000)));
    peer::Message m;
    ASSERT_TRUE(pollResponse(601, m));
    EXPECT_EQ(m.num("status"), 3);
    EXPECT_EQ(m.num("result"), 0) << m.text("failed_reason").toStdString();
    SPollOutcome outcome;
    ASSERT_TRUE(readPollDurationRecord(m.raws.value("duration"), outcome));
    EXPECT_GE(outcome.perfValue, 1);   // the connection time in milliseconds
    EXPECT_EQ(outcome.measuredValue, outcome.perfValue);

    // The same monitor, now stored by the first poll, polled by id after its port closed.
    const quint16 closedPort = open.serverPort();
    open.close();
    s->send(pollWithSettings(602, tcpMonitorData(41, closedPort, 3000)));
    ASSERT_TRUE(pollResponse(602, m));
    EXPECT_EQ(m.num("status"), 3);
    EXPECT_EQ(m.num("result"), 1);
    EXPECT_EQ(m.text("failed_reason"),
              QStringLiteral("Failed to connect to 127.0.0.1:%1 over TCP/IP").arg(closedPort));

    // A poll by id of the monitor the poll with settings stored.
    s->send(peer::frame(603, msg::PollReq, {peer::Field::num("mon_id", 41), peer::Field::num("has_template_id", 0)}));
    ASSERT_TRUE(pollResponse(603, m));
    EXPECT_EQ(m.num("status"), 3);
    EXPECT_EQ(m.num("result"), 1);
}

TEST_F(DaemonLinkPolls, SecondPollOfARunningMonitorIsRefusedAtOnce)
{
    StalledListener stalled;
    ASSERT_NE(stalled.port(), 0);
    const QByteArray data = tcpMonitorData(43, stalled.port(), 3000);
    s->send(pollWithSettings(701, data));
    s->send(peer::frame(702, msg::PollReq, {peer::Field::num("mon_id", 43), peer::Field::num("has_template_id", 0)}));
    peer::Message second;
    ASSERT_TRUE(pollResponse(702, second));
    EXPECT_EQ(second.num("status"), 3);
    EXPECT_EQ(second.num("result"), 1);
    EXPECT_EQ(second.raws.value("failed_reason"), QByteArray("previous poll has not finished yet"));
    // The refusal came first: the running poll answers only when its budget is spent.
    peer::Message first;
    for (const peer::Message& early : s->messages)
        EXPECT_FALSE(early.type == msg::PollResp && early.id == 701);
    ASSERT_TRUE(pollResponse(701, first, 30000));
    EXPECT_EQ(first.num("status"), 3);
    EXPECT_EQ(first.num("result"), 1);
    EXPECT_FALSE(first.raws.value("failed_reason").isEmpty());

    // Once it has answered, the monitor can be polled again.
    s->send(peer::frame(703, msg::PollReq, {peer::Field::num("mon_id", 43), peer::Field::num("has_template_id", 0)}));
    peer::Message third;
    ASSERT_TRUE(pollResponse(703, third, 30000));
    EXPECT_NE(third.raws.value("failed_reason"), QByteArray("previous poll has not finished yet"));
}

} // namespace
