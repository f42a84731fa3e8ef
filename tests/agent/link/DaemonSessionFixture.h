#pragma once
// The real daemon in active TCP mode against the test peer on 127.0.0.1: SetUp writes the
// settings file, starts netagentd and waits until its session has identified itself.
// Only for tests that run in private namespaces (test_*_ns.cpp): the settings file and the
// daemon's log live in this program's own /etc/opt and /var/opt.
// Threads: one; the peer runs in the test's event loop (waitUntil).
#include "support/ActiveDaemonSettings.h"
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

class DaemonSessionFixture : public ::testing::Test
{
protected:
    // More settings-file text, appended after the fixture's own sections.
    virtual QByteArray extraSettings() const { return {}; }
    // More command-line arguments after "-daemon".
    virtual QStringList extraArguments() const { return {}; }

    void SetUp() override
    {
        ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
        const quint16 port = service.start();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(testdaemon::writeActiveSettings(port, certs.cert("agent"), 0, extraSettings()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NETAGENTD_TEST_TIME_SCALE"), QStringLiteral("0.1"));
        daemon.setProcessEnvironment(env);
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        daemon.start(testpaths::daemonPath(), QStringList{QStringLiteral("-daemon")} + extraArguments());
        ASSERT_TRUE(daemon.waitForStarted(10000));
        ASSERT_TRUE(service.waitForSession(1, 20000));
        s = service.sessions[0];
        peer::Message m;
        ASSERT_TRUE(s->waitFor(peer::msg::LocalhostInfoNot, m));
    }

    void TearDown() override
    {
        if (daemon.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
        EXPECT_TRUE(daemon.waitForFinished(20000));
        EXPECT_EQ(daemon.exitCode(), 0);
    }

    // The next message of this type and id (others stay for later).
    bool answer(int type, int id, peer::Message& out, int timeoutMs = 20000)
    {
        return waitUntil(
            [&] {
                for (int i = 0; i < s->messages.size(); ++i) {
                    if (s->messages[i].type == type && s->messages[i].id == id) {
                        out = s->messages.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
    }

    // Whether any message of this type and id has arrived so far.
    bool received(int type, int id) const
    {
        for (const peer::Message& m : s->messages)
            if (m.type == type && m.id == id)
                return true;
        return false;
    }

    // A ping answered means every frame sent before it has been handled.
    bool pingRoundTrip(int id)
    {
        s->send(peer::frame(id, peer::msg::PingReq));
        peer::Message m;
        return answer(peer::msg::PingResp, id, m, 10000);
    }

    TestCertificates certs;
    peer::Listener service;
    QProcess daemon;
    peer::Session* s = nullptr;
};
