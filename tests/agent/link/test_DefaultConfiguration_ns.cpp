// The configuration scripts/write-default-config.sh writes: a passive agent on 127.0.0.1 over
// TLS that accepts only the service certificate generated beside its own (key readable by root
// alone). The real daemon runs on it: the generated service identity is served, another
// certificate is refused.
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

namespace msg = peer::msg;

const QString kDir = QStringLiteral("/etc/opt/corvane-agent/");

TEST(DefaultConfiguration, OnlyTheGeneratedServiceIdentityIsServed)
{
    QProcess script;
    script.start(QStringLiteral("bash"), {testpaths::sourceDir() + QStringLiteral("/scripts/write-default-config.sh")});
    ASSERT_TRUE(script.waitForFinished(60000));
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();

    QSettings ini(kDir + QStringLiteral("quv.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Common/AgentType")).toString(), QStringLiteral("1"));
    EXPECT_EQ(ini.value(QStringLiteral("AgentServer0/Transport")).toString(), QStringLiteral("SSL"));
    EXPECT_EQ(ini.value(QStringLiteral("AgentServer0/Host")).toString(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(ini.value(QStringLiteral("SSLSettings/AllowUntrustedService")).toString(), QStringLiteral("0"));
    EXPECT_EQ(ini.value(QStringLiteral("SSLSettings/ServiceCertificatePath")).toString(),
              kDir + QStringLiteral("service-cert.pem"));
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(kDir + QStringLiteral("service-key.pem")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, 0u);
    const quint16 port = static_cast<quint16>(ini.value(QStringLiteral("AgentServer0/Port")).toInt());
    ASSERT_NE(port, 0);

    QProcess daemon;
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
    ASSERT_TRUE(daemon.waitForStarted(10000));
    const peer::TlsIdentity service =
        peer::loadTlsIdentity(kDir + QStringLiteral("service-cert.pem"), kDir + QStringLiteral("service-key.pem"));
    const peer::TlsIdentity other =
        peer::loadTlsIdentity(kDir + QStringLiteral("agent-cert.pem"), kDir + QStringLiteral("agent-key.pem"));
    ASSERT_FALSE(service.isNull());
    ASSERT_FALSE(other.isNull());

    std::unique_ptr<peer::Session> stranger;
    ASSERT_TRUE(waitUntil([&] { return (stranger.reset(peer::connectTo(port, other, 2000)), stranger != nullptr); },
                          20000));
    EXPECT_TRUE(stranger->waitClosed(20000));
    EXPECT_FALSE(stranger->types().contains(msg::SelfIdentificationNot)) << "a stranger was identified to";

    std::unique_ptr<peer::Session> trusted(peer::connectTo(port, service));
    ASSERT_TRUE(trusted);
    peer::Message m;
    EXPECT_TRUE(trusted->waitFor(msg::SelfIdentificationNot, m, 20000));

    ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
    EXPECT_TRUE(daemon.waitForFinished(20000));
}

} // namespace
