// The shipped init script with the real daemon, in a private network namespace and settings
// folder: status, start and stop through the manager's controller up to "Agent is started,
// connected" against a service played by the link test peer, a daemon started by hand, and the
// start-up links under a private root.
#include "MessageBoxAnswerer.h"
#include "app/AgentStatusController.h"
#include "app/InitScript.h"
#include "app/MainWindow.h"

#include "support/ActiveDaemonSettings.h"
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

QString scriptPath() { return testpaths::buildDir() + QStringLiteral("/bin/DaemonInitialization.sh"); }

int runScript(const QString& option)
{
    const InitScriptResult result = runInitScript(scriptPath(), option, 60000);
    EXPECT_TRUE(result.ran) << qPrintable(result.error);
    return result.answer;
}

// What a failed wait has to go on: the init script's view, the daemons alive, and the end of
// the daemon's log (a crash or an exit on start-up leaves its reason there).
QString daemonState()
{
    const InitScriptResult status = runInitScript(scriptPath(), QStringLiteral("-status"), 60000);
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-a"), QStringLiteral("netagentd")});
    pgrep.waitForFinished(10000);
    QFile log(QStringLiteral("/var/log/corvane-agent/agent.log"));
    const QByteArray tail = log.open(QIODevice::ReadOnly) ? log.readAll().right(3000) : QByteArray("(no log)");
    return QStringLiteral("\n-status: %1 %2\npgrep: %3\nlog:\n%4")
        .arg(status.answer)
        .arg(status.error, QString::fromLocal8Bit(pgrep.readAllStandardOutput()), QString::fromLocal8Bit(tail));
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
    // run through a start-up link, the script still finds the daemon beside its real file (a
    // daemon with working settings, so it is still running when its status is asked)
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    ASSERT_TRUE(testdaemon::writeActiveSettings(testdaemon::freeLocalPort(), certs.cert("agent"), testdaemon::freeLocalPort()));
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

// As a new user would: the set-up's default configuration (passive over TLS), the window,
// Start, a new listening port, Apply, Yes to the restart question, and the service connects.
TEST_F(DaemonInitialization, ANewUsersFirstPortChangeThroughTheWindow)
{
    QFile::remove(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("bash"), {testpaths::sourceDir() + "/scripts/write-default-config.sh"}), 0);
    const QString dir = QStringLiteral("/etc/opt/corvane-agent/");
    const peer::TlsIdentity service = peer::loadTlsIdentity(dir + "service-cert.pem", dir + "service-key.pem");
    ASSERT_FALSE(service.isNull());

    MessageBoxAnswerer answers(QMessageBox::Yes);
    AgentStatusController controller(nullptr, scriptPath());
    std::unique_ptr<MainWindow> window(new MainWindow(&controller));
    window->show();
    auto status = [&] { return window->findChild<QLabel*>("lStatusDetails")->text(); };
    ASSERT_TRUE(waitUntil([&] { return status() == "Agent is stopped"; }, 20000)) << qPrintable(status());
    window->findChild<QPushButton*>("bStart")->click();
    ASSERT_TRUE(waitUntil([&] { return controller.runningState() == 1; }, 20000)) << qPrintable(controller.serviceManager().lastError());

    const quint16 port = testdaemon::freeLocalPort();
    window->findChild<QSpinBox*>("sbPassivePort")->setValue(port);
    window->findChild<QPushButton*>("bApply")->click();
    ASSERT_TRUE(waitUntil([&] { return answers.texts.contains(QStringLiteral(
        "You should restart the agent to put its changed settings into effect. Do you want to restart it now?")); }))
        << qPrintable(answers.texts.join("|"));
    EXPECT_EQ(QSettings(dir + "quv.ini", QSettings::IniFormat).value("AgentServer0/Port").toInt(), port);

    // the restarted daemon listens on the new port; the service connects there
    std::unique_ptr<peer::Session> session;
    ASSERT_TRUE(waitUntil([&] {
        session.reset(peer::connectTo(port, service, 1000));
        return session != nullptr;
    }, 40000));
    // The service's part while the window catches up: answer the agent's pings, and connect
    // again should a slow machine have let the agent give the session up.
    EXPECT_TRUE(waitUntil([&] {
        if (!session || session->isClosed())
            session.reset(peer::connectTo(port, service, 1000));
        if (session) {
            for (const peer::Message& m : session->messages)
                if (m.type == peer::msg::PingReq)
                    session->send(peer::frame(m.id, peer::msg::PingResp));
            session->messages.clear();
        }
        if (controller.connectionState() != 1)
            controller.onSockTimer(); // the three-second tick, sooner
        return session && status() == "Agent is started, connected";
    }, 20000)) << qPrintable(status() + daemonState());

    window->findChild<QPushButton*>("bStop")->click();
    EXPECT_TRUE(waitUntil([&] { return controller.runningState() == 0; }, 30000));
    EXPECT_EQ(answers.texts.size(), 1) << qPrintable(answers.texts.join("|"));
}

TEST_F(DaemonInitialization, AnswersForADaemonStartedByHand)
{
    // a configuration the daemon keeps running with (no service there): without one it ends
    // within half a second, which a loaded machine's status poll can miss
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    ASSERT_TRUE(testdaemon::writeActiveSettings(testdaemon::freeLocalPort(), certs.cert("agent"), testdaemon::freeLocalPort()));
    QProcess daemon;
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-debug")});
    ASSERT_TRUE(daemon.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return runScript("-status") == 1; }, 10000))
        << daemon.state() << " " << (daemon.readAllStandardOutput() + daemon.readAllStandardError()).right(2000).constData();
    EXPECT_EQ(runScript("-start"), 1) << "no second daemon";
    EXPECT_EQ(runScript("-stop"), 0);
    EXPECT_TRUE(daemon.waitForFinished(30000));
    EXPECT_EQ(runScript("-status"), 0);
}

} // namespace
