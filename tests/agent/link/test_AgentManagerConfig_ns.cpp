// The agent manager reads its mode and endpoints from the agent settings file (this program
// runs with private folders over the daemon's fixed paths).
#include "LinkTestFixture.h"

#include <QFile>

namespace {

namespace msg = peer::msg;

const QString kQuv = QStringLiteral("/etc/opt/corvane-agent/quv.ini");

void writeSettings(const QByteArray& text)
{
    QFile f(kQuv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray certificateLine(const QString& path)
{
    return "[SSLSettings]\nCertificatePath=" + path.toUtf8() + "\n";
}

TEST(AgentManagerConfig, UnusableSettingsEndTheRunWithTheirReason)
{
    TestCertificates& certs = LinkFixture::certs();
    ASSERT_TRUE(certs.ok());
    const QString missing = certs.path("missing.pem");
    const struct {
        const char* name;
        QByteArray settings;
        QString critical;
    } cases[] = {
        {"passive without a server entry", "[Common]\nAgentType=1\n" + certificateLine(certs.cert("agent")),
         QStringLiteral("No agent servers configurations for passive agent")},
        {"passive with a disabled entry",
         "[Common]\nAgentType=1\n[AgentServer0]\nTransport=TCP\nEnabled=0\nHost=127.0.0.1\nPort=1\n"
             + certificateLine(certs.cert("agent")),
         QStringLiteral("Failed reading server configuration (n=0)")},
        {"active without a certificate",
         "[Common]\nAgentType=0\n[ActiveAgentSettings]\nTransport=TCP\nHost=127.0.0.1\nPort=1\n" + certificateLine(missing),
         QStringLiteral("Failed to generate a connection id (certificate path=%1, errmsg=certificate file %1 doesn't exist)")
             .arg(missing)},
    };
    for (const auto& c : cases) {
        CapturedMessages log;
        writeSettings(c.settings);
        CAgentAgentManager manager(nullptr, QStringLiteral("agent manager"), 16);
        manager.start();
        // The run ends by itself; stopAndWait must not hang on it.
        EXPECT_TRUE(waitUntil([&] { return manager.isFinished(); })) << c.name;
        manager.stopAndWait();
        EXPECT_TRUE(CapturedMessages::has(QStringLiteral("critical: ") + c.critical)) << c.name << "\n"
            << qPrintable(CapturedMessages::lines().join('\n'));
        EXPECT_TRUE(CapturedMessages::has(QStringLiteral("critical: Cannot read agent configuration"))) << c.name;
    }
}

TEST(AgentManagerConfig, ActiveAndPassiveSettingsFromTheFile)
{
    TestCertificates& certs = LinkFixture::certs();
    ASSERT_TRUE(certs.ok());
    QString expectedId;
    ASSERT_TRUE(connectionIdFromCertificate(certs.cert("agent"), expectedId));

    // Active over TCP: the agent connects to the configured host and port.
    {
        peer::Listener service;
        const quint16 port = service.start();
        writeSettings("[Common]\nAgentType=0\n[ActiveAgentSettings]\nTransport=TCP\nHost=127.0.0.1\nPort="
                      + QByteArray::number(port) + "\n" + certificateLine(certs.cert("agent")));
        CAgentAgentManager manager(nullptr, QStringLiteral("agent manager"), 16);
        manager.start();
        ASSERT_TRUE(service.waitForSession(1));
        peer::Message m;
        ASSERT_TRUE(service.sessions[0]->waitFor(msg::SelfIdentificationNot, m));
        EXPECT_EQ(m.text("connection_id"), expectedId);
        manager.stopAndWait();
        ASSERT_TRUE(service.sessions[0]->waitFor(msg::DisconnectReason, m));
        EXPECT_EQ(m.text("reason"), QStringLiteral("agent was stopped"));
    }

    // Passive over TLS: the agent listens on the configured port.
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        writeSettings("[Common]\nAgentType=1\n[AgentServer0]\nTransport=SSL\nHost=127.0.0.1\nPort="
                      + QByteArray::number(port) + "\n[SSLSettings]\nCertificatePath=" + certs.cert("agent").toUtf8()
                      + "\nPrivateKeyPath=" + certs.key("agent").toUtf8()
                      + "\nServiceCertificatePath=" + certs.cert("service").toUtf8() + "\nAllowUntrustedService=0\n");
        CAgentAgentManager manager(nullptr, QStringLiteral("agent manager"), 16);
        manager.start();
        ASSERT_TRUE(waitUntil([&] { return manager.serverPort() == port; }));
        std::unique_ptr<peer::Session> s(
            peer::connectTo(port, peer::loadTlsIdentity(certs.cert("service"), certs.key("service"))));
        ASSERT_TRUE(s);
        peer::Message m;
        ASSERT_TRUE(s->waitFor(msg::SelfIdentificationNot, m));
        EXPECT_EQ(m.text("connection_id"), expectedId);
        manager.stopAndWait();
    }
}

} // namespace
