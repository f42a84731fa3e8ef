// The real daemon serves its control port (private daemon folders; the port comes from the
// daemon's own settings file).
#include "ControlPortClient.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kQuv = QStringLiteral("/etc/opt/corvane-agent/quv.ini");
const QString kLog = QStringLiteral("/var/log/corvane-agent/agent.log");

QString logText()
{
    QFile f(kLog);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

void writeSettingsWithPort(int port)
{
    QFile f(kQuv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray("[AgentControlServer]\nPort=") + QByteArray::number(port) + "\n");
}

class DaemonProcess
{
public:
    DaemonProcess()
    {
        QFile::remove(kLog);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NETAGENTD_TEST_TIME_SCALE"), QStringLiteral("0.1"));
        process.setProcessEnvironment(env);
        process.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
        EXPECT_TRUE(process.waitForStarted(10000));
    }
    ~DaemonProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool stop()
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        return process.waitForFinished(30000);
    }
    QProcess process;
};

}

TEST(ControlServerDaemon, DaemonAnswersStatusAndEchoOnItsConfiguredPort)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const quint16 port = probe.serverPort();
    probe.close();
    writeSettingsWithPort(port);

    DaemonProcess daemon;
    // Served only once every component is up: retry until the port answers.
    std::unique_ptr<ControlPortClient> client;
    ASSERT_TRUE(waitUntil(
        [&] {
            client = std::make_unique<ControlPortClient>();
            if (!client->connectTo(port))
                return false;
            client->send(NotificationFixedSize(10001, 0, 0, 0));
            client->send(NotificationFixedSize(1, 7, 8, 0));
            return client->waitForCount(2, 2000);
        },
        30000))
        << logText().toStdString();
    // No link to the service exists in this set-up.
    EXPECT_EQ(client->received(), (QStringList{fs(10002, 0, 0, 0), fs(2, 7, 8, 0)}));

    EXPECT_TRUE(daemon.stop());
    EXPECT_TRUE(client->waitForDisconnected());
    EXPECT_EQ(daemon.process.exitCode(), 0) << logText().toStdString();
}

TEST(ControlServerDaemon, PortInUseStopsTheDaemon)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress(QHostAddress::LocalHost), 0));
    writeSettingsWithPort(holder.serverPort());

    DaemonProcess daemon;
    EXPECT_TRUE(daemon.process.waitForFinished(60000));
    const QString log = logText();
    EXPECT_TRUE(log.contains(QStringLiteral("warning: control server: port %1 already in use").arg(holder.serverPort())))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("critical: control server network: cannot listen for connections")))
        << log.toStdString();
}
