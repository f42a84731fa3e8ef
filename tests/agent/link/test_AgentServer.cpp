// Agent servers in passive mode: listening, accepted connections as link events, TLS on the
// accepted side, and hostile clients.
#include "link/CAcceptedAgentLinkEvent.h"
#include "link/CAgentServer.h"
#include "link/CServerErrorAgentLinkEvent.h"
#include "link/CSslAgentServer.h"
#include "link/CTcpAcceptedConnectionInfo.h"
#include "common/AgentLinkLog.h"
#include "common/CAgentConnection.h"
#include "support/RecordingConnectionHandler.h"
#include "support/EventLoopWait.h"
#include "support/CapturedMessages.h"
#include "support/CertificatesTest.h"

#include <QScopedPointer>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

namespace {

QStringList g_log;
void captureLog(const QString& line) { g_log << line; }
bool logged(const QString& suffix)
{
    for (const QString& l : g_log)
        if (l.startsWith(QLatin1String("[server ")) && l.endsWith(suffix))
            return true;
    return false;
}

struct RecordingSink : IAgentLinkEventSink
{
    QList<CAgentLinkEventPtr> events;
    void postLinkEvent(const CAgentLinkEventPtr& e) override { events << e; }

    QStringList errors() const
    {
        QStringList out;
        for (const auto& e : events)
            if (e->type() == CServerErrorAgentLinkEvent::Type)
                out << static_cast<const CServerErrorAgentLinkEvent*>(e.data())->error();
        return out;
    }
    QList<CAcceptedConnectionInfoPtr> accepted() const
    {
        QList<CAcceptedConnectionInfoPtr> out;
        for (const auto& e : events)
            if (e->type() == CAcceptedAgentLinkEvent::Type)
                out << static_cast<const CAcceptedAgentLinkEvent*>(e.data())->info();
        return out;
    }
};

SAgentConnectionSettings serverSettings(int transport, const QString& host, int port)
{
    SAgentConnectionSettings s;
    s.readFromSettings = true;
    s.transport = transport;
    s.host = host;
    s.port = port;
    if (transport) {
        s.certificatePath = certs->cert("agent");
        s.privateKeyPath = certs->path("agent_enc.key");
        s.keyPassPhrase = TestCertificates::passPhrase();
        s.serviceCertificatePath = certs->cert("service");
    }
    return s;
}

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// The service connecting to a passive agent, optionally over TLS with a certificate.
std::unique_ptr<QSslSocket> serviceClient(quint16 port, const QString& certName, bool tls = true)
{
    auto s = std::make_unique<QSslSocket>();
    if (!certName.isEmpty()) {
        s->setLocalCertificate(QSslCertificate::fromPath(certs->cert(certName)).value(0));
        QFile keyFile(certs->key(certName));
        keyFile.open(QIODevice::ReadOnly);
        s->setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    }
    s->setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls)
        s->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    else
        s->connectToHost(QStringLiteral("127.0.0.1"), port);
    return s;
}

class AgentServerTest : public CertificatesTest
{
protected:
    void SetUp() override
    {
        g_log.clear();
        setAgentLinkLogSink(&captureLog);
    }
    void TearDown() override { setAgentLinkLogSink(nullptr); }
};

TEST_F(AgentServerTest, ListensOnAnyOrGivenIpv4AddressAndRejectsOtherHostTexts)
{
    struct Case { const char* host; bool listens; };
    const Case cases[] = {
        {"0.0.0.0", true}, {"127.0.0.1", true}, {"127.0.0.2", true},
        {"localhost", false}, {"::1", false}, {"999.1.1.1", false}, {"", false}, {"agent.example", false},
    };
    for (int transport : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.host) + (transport ? " ssl" : " tcp"));
            RecordingSink sink;
            const quint16 port = freePort();
            QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(transport, c.host, port)));
            EXPECT_EQ(server->isListening(), c.listens);
            const QString kind = transport ? "ssl" : "tcp";
            if (c.listens) {
                EXPECT_TRUE(logged(QStringLiteral("] %1 agent server listening on %2:%3").arg(kind, c.host).arg(port)));
                EXPECT_TRUE(sink.events.isEmpty());
                EXPECT_EQ(server->listeningPort(), port);
                // Reachable on loopback in every listening case.
                QTcpSocket probe;
                const QString target = QString::fromLatin1(c.host) == "0.0.0.0" ? QStringLiteral("127.0.0.1") : QString::fromLatin1(c.host);
                probe.connectToHost(target, port);
                ASSERT_TRUE(waitUntil([&] { return !sink.accepted().isEmpty(); }, 10000));
            } else {
                EXPECT_EQ(sink.errors(),
                          QStringList{QStringLiteral("invalid server address '%1', an IPv4 address is expected").arg(c.host)});
            }
        }
    }
}

TEST_F(AgentServerTest, BusyPortWarnsAndPostsBindError)
{
    CapturedMessages messages;
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    const quint16 port = holder.serverPort();
    for (int transport : {0, 1}) {
        SCOPED_TRACE(transport);
        CapturedMessages::clear();
        RecordingSink sink;
        QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(transport, "127.0.0.1", port)));
        EXPECT_FALSE(server->isListening());
        EXPECT_EQ(CapturedMessages::texts(QtWarningMsg), QStringList{QStringLiteral("%1 agent server on 127.0.0.1:%2: port already in use")
                                              .arg(transport ? "ssl" : "tcp").arg(port)});
        EXPECT_EQ(sink.errors(), QStringList{"can not bind socket to port"});
        EXPECT_TRUE(logged(QStringLiteral("] %1 agent server cannot listen on 127.0.0.1:%2").arg(transport ? "ssl" : "tcp").arg(port)));
        ASSERT_EQ(sink.events.size(), 1);
        EXPECT_EQ(static_cast<const CServerErrorAgentLinkEvent*>(sink.events.first().data())->server(), server.data());
    }
}

TEST_F(AgentServerTest, SslServerWithoutCertificateOrKeyDoesNotListen)
{
    struct Case { const char* name; QString cert; QString key; QString error; };
    const QString noKey = certs->path("absent.key");
    const Case cases[] = {
        {"missing key", certs->cert("agent"), noKey, QStringLiteral("private key file %1 doesn't exist").arg(noKey)},
        {"corrupt certificate", certs->path("corrupt.pem"), certs->key("agent"),
         QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(certs->path("corrupt.pem"))},
        {"key of another certificate", certs->cert("agent"), certs->key("other"),
         QStringLiteral("private key file %1 does not match certificate file %2").arg(certs->key("other"), certs->cert("agent"))},
        {"key with another pass phrase", certs->cert("agent"), certs->path("agent_wrongpass.key"),
         QStringLiteral("can't load private key from %1 file, is it corrupted or passphrase is wrong?")
             .arg(certs->path("agent_wrongpass.key"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        SAgentConnectionSettings s = serverSettings(1, "127.0.0.1", freePort());
        s.certificatePath = c.cert;
        s.privateKeyPath = c.key;
        QScopedPointer<CAgentServer> server(createAgentServer(&sink, s));
        EXPECT_FALSE(server->isListening());
        EXPECT_EQ(sink.errors(), QStringList{"SSL server initialization failed: " + c.error});
        // A descriptor that reaches an uninitialised server is closed, not wrapped.
        sink.events.clear();
        QTcpServer l;
        l.listen(QHostAddress::LocalHost, 0);
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), l.serverPort());
        ASSERT_TRUE(waitUntil([&] { return l.hasPendingConnections(); }, 10000));
        QTcpSocket* accepted = l.nextPendingConnection();
        const int fd = ::dup(int(accepted->socketDescriptor()));
        delete accepted;
        server->takeConnection(fd);
        EXPECT_EQ(sink.errors(), QStringList{"can't get connection since SSL server not initialized"});
        ASSERT_TRUE(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 10000));
    }
}

TEST_F(AgentServerTest, AcceptedTcpConnectionBecomesLinkConnection)
{
    RecordingSink sink;
    QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(0, "127.0.0.1", 0)));
    ASSERT_TRUE(server->isListening());
    const quint16 port = server->listeningPort();
    QTcpSocket service;
    service.connectToHost(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 1; }, 10000));
    EXPECT_EQ(sink.events.first()->type(), 0);
    CAcceptedConnectionInfoPtr info = sink.accepted().first();
    EXPECT_EQ(info->settings().port, 0);
    EXPECT_EQ(server->pendingConnections(), 1);

    RecordingConnectionHandler handler;
    QScopedPointer<CAgentConnection> conn(createAcceptedAgentConnection(info, &handler, QString()));
    ASSERT_TRUE(conn);
    EXPECT_TRUE(conn->isPlainTcp());
    ASSERT_TRUE(waitUntil([&] { return handler.has("established"); }, 10000));
    EXPECT_EQ(server->pendingConnections(), 0);
    // The info gives its socket once.
    EXPECT_EQ(createAcceptedAgentConnection(info, &handler, QString()), nullptr);

    service.write("hi");
    ASSERT_TRUE(waitUntil([&] { return handler.received == QByteArray("hi"); }, 10000));
    conn->send("yo", 2);
    QByteArray got;
    ASSERT_TRUE(waitUntil([&] { return (got += service.readAll()) == QByteArray("yo"); }, 10000));
}

TEST_F(AgentServerTest, StoppedServerRefusesAndPostsNothing)
{
    RecordingSink sink;
    QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(0, "127.0.0.1", 0)));
    ASSERT_TRUE(server->isListening());
    const quint16 port = server->listeningPort();
    server->stop();
    EXPECT_FALSE(server->isListening());
    QTcpSocket late;
    late.connectToHost(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(waitUntil([&] { return late.state() == QAbstractSocket::UnconnectedState; }, 10000));
    ASSERT_TRUE(drainPostedEvents());
    EXPECT_TRUE(sink.events.isEmpty());
}

TEST_F(AgentServerTest, PreErrorOnAcceptEndsWithThatText)
{
    RecordingSink sink;
    QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(0, "127.0.0.1", 0)));
    QTcpSocket service;
    service.connectToHost(QStringLiteral("127.0.0.1"), server->listeningPort());
    ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 1; }, 10000));
    RecordingConnectionHandler handler;
    QScopedPointer<CAgentConnection> conn(
        createAcceptedAgentConnection(sink.accepted().first(), &handler, QStringLiteral("agent is already connected")));
    EXPECT_EQ(conn->errorString(), "agent is already connected");
    ASSERT_TRUE(drainPostedEvents());   // an "established" queued at the accept would have come
    EXPECT_EQ(handler.events, QStringList{"error:agent is already connected"});
}

TEST_F(AgentServerTest, UnusedAcceptedInfoClosesItsDescriptor)
{
    RecordingSink sink;
    QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(0, "127.0.0.1", 0)));
    QTcpSocket service;
    service.connectToHost(QStringLiteral("127.0.0.1"), server->listeningPort());
    ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 1; }, 10000));
    sink.events.clear();   // the manager dropped the event without making a link
    ASSERT_TRUE(waitUntil([&] { return service.state() == QAbstractSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(server->pendingConnections(), 0);
}

TEST_F(AgentServerTest, PassiveTlsChecksTheServiceCertificate)
{
    struct Case { const char* name; QString serviceCert; bool allowUntrusted; QStringList expected; };
    const Case cases[] = {
        {"service certificate", "service", false, {"established"}},
        {"another certificate", "other", false, {"error:wrong certificate", "closed"}},
        {"no certificate", "", false, {"error:wrong certificate", "closed"}},
        {"another certificate, untrusted allowed", "other", true, {"log:wrong certificate", "established"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        SAgentConnectionSettings s = serverSettings(1, "127.0.0.1", 0);
        s.allowUntrustedService = c.allowUntrusted;
        QScopedPointer<CAgentServer> server(createAgentServer(&sink, s));
        ASSERT_TRUE(server->isListening());
        auto service = serviceClient(server->listeningPort(), c.serviceCert);
        ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 1; }, 10000));
        RecordingConnectionHandler handler;
        QScopedPointer<CAgentConnection> conn(createAcceptedAgentConnection(sink.accepted().first(), &handler, QString()));
        ASSERT_TRUE(conn);
        EXPECT_TRUE(conn->isSsl());
        ASSERT_TRUE(waitUntil([&] { return handler.has("established") || handler.has("closed"); }, 15000));
        EXPECT_EQ(handler.events, c.expected);
        if (handler.has("established")) {
            // The service sees the agent's certificate; data flows.
            ASSERT_TRUE(waitUntil([&] { return service->isEncrypted(); }, 10000));
            EXPECT_EQ(service->peerCertificate(), QSslCertificate::fromPath(certs->cert("agent")).value(0));
            service->write("abc");
            ASSERT_TRUE(waitUntil([&] { return handler.received == QByteArray("abc"); }, 10000));
        } else {
            ASSERT_TRUE(waitUntil([&] { return service->state() == QAbstractSocket::UnconnectedState; }, 10000));
            EXPECT_TRUE(handler.received.isEmpty());
        }
    }
}

TEST_F(AgentServerTest, HostileTlsClientsGetAClearErrorAndNoSession)
{
    struct Case { const char* name; QByteArray sent; QString error; };
    const Case cases[] = {
        // Plain text where a client hello belongs.
        {"plain text", "GET / HTTP/1.0\r\n\r\n", QString()},
        // The start of a TLS record, then nothing.
        {"half a handshake", QByteArray::fromHex("16030100c8010000c40303"), "ssl handshake timed out"},
        // Connected, silent.
        {"silent", QByteArray(), "ssl handshake timed out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        SAgentConnectionSettings s = serverSettings(1, "127.0.0.1", 0);
        s.handshakeTimeoutMs = 500;
        QScopedPointer<CAgentServer> server(createAgentServer(&sink, s));
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), server->listeningPort());
        ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 1; }, 10000));
        if (!c.sent.isEmpty())
            client.write(c.sent);
        RecordingConnectionHandler handler;
        QScopedPointer<CAgentConnection> conn(createAcceptedAgentConnection(sink.accepted().first(), &handler, QString()));
        ASSERT_TRUE(waitUntil([&] { return handler.count("error:") > 0; }, 15000));
        // The client sees the close that follows the error; whatever was queued before has come.
        ASSERT_TRUE(waitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 10000));
        ASSERT_TRUE(drainPostedEvents());
        EXPECT_FALSE(handler.has("established"));
        EXPECT_EQ(handler.count("error:"), 1);
        if (!c.error.isEmpty()) {
            EXPECT_EQ(handler.events.first(), "error:" + c.error);
        }
        EXPECT_EQ(server->pendingConnections(), 0);
    }
}

TEST_F(AgentServerTest, ConnectionFloodIsBoundedByPendingLimit)
{
    RecordingSink sink;
    SAgentConnectionSettings s = serverSettings(0, "127.0.0.1", 0);
    QScopedPointer<CAgentServer> server(createAgentServer(&sink, s));
    server->setMaxPendingConnections(4);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 40; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QStringLiteral("127.0.0.1"), server->listeningPort());
    }
    auto closedCount = [&] {
        int n = 0;
        for (auto& c : clients)
            n += c->state() == QAbstractSocket::UnconnectedState ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(waitUntil([&] { return closedCount() == 36 && sink.accepted().size() == 4; }, 15000));
    EXPECT_EQ(server->pendingConnections(), 4);
    // Established connections leave the count, so the next one is taken again.
    RecordingConnectionHandler handler;   // outlives the connections, which report closed on destruction
    std::vector<std::unique_ptr<CAgentConnection>> conns;
    for (const auto& info : sink.accepted())
        conns.emplace_back(createAcceptedAgentConnection(info, &handler, QString()));
    ASSERT_TRUE(waitUntil([&] { return handler.count("established") == 4; }, 10000));
    EXPECT_EQ(server->pendingConnections(), 0);
    QTcpSocket next;
    next.connectToHost(QStringLiteral("127.0.0.1"), server->listeningPort());
    ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 5; }, 10000));
}

// The link builds socket and connection on its own worker thread from the info made here.
TEST_F(AgentServerTest, AcceptedConnectionIsBuiltOnAnotherThread)
{
    setAgentLinkLogSink(nullptr);   // the capture list is not shared across threads
    for (int transport : {0, 1}) {
        SCOPED_TRACE(transport);
        RecordingSink sink;
        QScopedPointer<CAgentServer> server(createAgentServer(&sink, serverSettings(transport, "127.0.0.1", 0)));
        auto service = serviceClient(server->listeningPort(), QStringLiteral("service"), transport != 0);
        ASSERT_TRUE(waitUntil([&] { return sink.accepted().size() == 1; }, 10000));

        struct Handler : IAgentConnectionEvent
        {
            std::atomic<int> established{0}, errors{0}, bytes{0};
            QByteArray data;   // written on the worker only, read after it ended
            void connectionEstablished() override { ++established; }
            void connectionClosed() override {}
            void dataArrived(const char* d, unsigned int n) override
            {
                data.append(d, int(n));
                bytes += int(n);
            }
            void connectionError(const QString&) override { ++errors; }
            void connectionLog(const QString&) override {}
        } handler;
        QThread worker;
        QObject anchor;
        anchor.moveToThread(&worker);
        worker.start();
        CAgentConnection* conn = nullptr;
        const CAcceptedConnectionInfoPtr info = sink.accepted().first();
        QMetaObject::invokeMethod(&anchor, [&] { conn = createAcceptedAgentConnection(info, &handler, QString()); },
                                  Qt::BlockingQueuedConnection);
        ASSERT_TRUE(conn);
        EXPECT_EQ(conn->thread(), &worker);
        ASSERT_TRUE(waitUntil([&] { return handler.established.load() == 1; }, 15000));
        service->write("over");
        ASSERT_TRUE(waitUntil([&] { return handler.bytes.load() == 4; }, 10000));
        QMetaObject::invokeMethod(&anchor, [&] { delete conn; }, Qt::BlockingQueuedConnection);
        worker.quit();
        worker.wait();
        EXPECT_EQ(handler.data, QByteArray("over"));
        EXPECT_EQ(handler.errors.load(), 0);
    }
}

} // namespace
