// The shipped init script with the real daemon, in a private network namespace and settings
// folder: status, start and stop through the manager's controller up to "Agent is started,
// connected" against a service played by the link test peer, a daemon started by hand, and the
// start-up links under a private root.
#include "app/AgentStatusController.h"
#include "app/InitScript.h"

#include "support/ActiveDaemonSettings.h"
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString scriptPath() { return testpaths::buildDir() + QStringLiteral("/bin/DaemonInitialization.sh"); }

int runScript(const QString& option)
{
    const InitScriptResult result = runInitScript(scriptPath(), option, 60000);
    EXPECT_TRUE(result.ran) << qPrintable(result.error);
    return result.answer;
}

class DaemonInitialization : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ZAM_DAEMON_PIDFILE", m_dir.filePath("netagentd.pid").toUtf8());
        qputenv("ZAM_INIT_ROOT", m_dir.filePath("root").toUtf8());
        qputenv("NETAGENTD_TEST_TIME_SCALE", "0.1");
    }
    QTemporaryDir m_dir;
};

TEST_F(DaemonInitialization, SwitchesTheStartUpLinks)
{
    EXPECT_EQ(runScript("-enabled"), 0);
    EXPECT_EQ(runScript("-enable"), 1);
    EXPECT_EQ(runScript("-enabled"), 1);
    const QString root = m_dir.filePath("root");
    EXPECT_EQ(QFileInfo(root + "/etc/init.d/corvane-agent").symLinkTarget(), QFileInfo(scriptPath()).canonicalFilePath());
    EXPECT_TRUE(QFileInfo(root + "/etc/rc2.d/S20corvane-agent").isSymLink());
    EXPECT_TRUE(QFileInfo(root + "/etc/rc0.d/K80corvane-agent").isSymLink());
    // run through a start-up link, the script still finds the daemon beside its real file
    QFile::remove(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
    const QString link = root + "/etc/rc2.d/S20corvane-agent";
    EXPECT_EQ(runInitScript(link, "-start", 60000).answer, 1);
    EXPECT_EQ(runScript("-status"), 1);
    EXPECT_EQ(runInitScript(link, "-stop", 60000).answer, 0);
    EXPECT_EQ(runScript("-status"), 0);
    EXPECT_EQ(runScript("-disable"), 0);
    EXPECT_EQ(runScript("-enabled"), 0);
    EXPECT_FALSE(QFileInfo::exists(root + "/etc/rc2.d/S20corvane-agent"));
}

TEST_F(DaemonInitialization, ControllerStartsTheDaemonAndSeesItsLink)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    peer::Listener service;
    const quint16 port = service.start();
    ASSERT_NE(port, 0);
    ASSERT_TRUE(testdaemon::writeActiveSettings(port, certs.cert("agent"), testdaemon::freeLocalPort()));
    EXPECT_EQ(runScript("-status"), 0);

    AgentStatusController controller(nullptr, scriptPath());
    ASSERT_TRUE(waitUntil([&] { return controller.runningState() == 0; }));
    controller.serviceManager().startService();
    ASSERT_TRUE(waitUntil([&] { return controller.runningState() == 1; }, 20000)) << qPrintable(controller.serviceManager().lastError());
    EXPECT_EQ(runScript("-status"), 1);
    ASSERT_TRUE(service.waitForSession(1, 20000));
    ASSERT_TRUE(waitUntil([&] {
        if (controller.connectionState() != 1)
            controller.onSockTimer(); // the three-second tick, sooner
        return controller.connectionState() == 1;
    }, 20000));
    EXPECT_EQ(controller.lastStatusText(), "Agent is started, connected");

    controller.serviceManager().stopService();
    ASSERT_TRUE(waitUntil([&] { return controller.runningState() == 0; }, 30000)) << qPrintable(controller.serviceManager().lastError());
    EXPECT_EQ(controller.lastStatusText(), "Agent is stopped");
    EXPECT_EQ(runScript("-status"), 0);
    EXPECT_TRUE(controller.serviceManager().lastError().isEmpty()) << qPrintable(controller.serviceManager().lastError());
}

TEST_F(DaemonInitialization, AnswersForADaemonStartedByHand)
{
    QFile::remove(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
    QProcess daemon;
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-debug")});
    ASSERT_TRUE(daemon.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return runScript("-status") == 1; }, 10000));
    EXPECT_EQ(runScript("-start"), 1) << "no second daemon";
    EXPECT_EQ(runScript("-stop"), 0);
    EXPECT_TRUE(daemon.waitForFinished(30000));
    EXPECT_EQ(runScript("-status"), 0);
}

} // namespace
