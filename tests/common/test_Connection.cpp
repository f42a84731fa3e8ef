// Agent connections over TCP and TLS against loopback peers made in the test.
#include "common/AgentLinkLog.h"
#include "common/CSecureSocket.h"
#include "common/CSslAgentConnection.h"
#include "common/CTcpAgentConnection.h"
#include "support/RecordingConnectionHandler.h"
#include "support/EventLoopWait.h"
#include "support/CertificatesTest.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

QStringList g_log;
void captureLog(const QString& line) { g_log << line; }

int countLog(const QString& suffix)
{
    int n = 0;
    for (const QString& l : g_log)
        n += l.endsWith(suffix) ? 1 : 0;
    return n;
}

QString md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// The service's end: plain TCP or TLS with the given certificate; keeps the accepted sockets.
class PeerServer : public QTcpServer
{
public:
    explicit PeerServer(const QString& certName = QString()) : m_certName(certName) {}
    QList<QTcpSocket*> sockets;
    QByteArray received;

protected:
    void incomingConnection(qintptr fd) override
    {
        QTcpSocket* s = nullptr;
        if (m_certName.isEmpty()) {
            s = new QTcpSocket(this);
            s->setSocketDescriptor(fd);
        } else {
            auto* ssl = new QSslSocket(this);
            ssl->setLocalCertificate(QSslCertificate::fromPath(certs->cert(m_certName)).value(0));
            QFile keyFile(certs->key(m_certName));
            keyFile.open(QIODevice::ReadOnly);
            ssl->setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
            ssl->setPeerVerifyMode(QSslSocket::QueryPeer);
            ssl->setSocketDescriptor(fd);
            connect(ssl, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), ssl,
                    [ssl] { ssl->ignoreSslErrors(); });
            ssl->startServerEncryption();
            s = ssl;
        }
        connect(s, &QIODevice::readyRead, this, [this, s] { received += s->readAll(); });
        sockets << s;
    }

private:
    QString m_certName;
};

SAgentConnectionSettings tcpSettings(quint16 port, const QString& host = QStringLiteral("127.0.0.1"))
{
    SAgentConnectionSettings s;
    s.readFromSettings = true;
    s.transport = 0;
    s.host = host;
    s.port = port;
    return s;
}

SAgentConnectionSettings sslSettings(quint16 port, const QString& pin, bool allowUntrusted = false)
{
    SAgentConnectionSettings s = tcpSettings(port);
    s.transport = 1;
    s.certificatePath = certs->cert("agent");
    s.privateKeyPath = certs->path("agent_enc.key");
    s.keyPassPhrase = TestCertificates::passPhrase();
    s.serviceCertificatePath = pin;
    s.allowUntrustedService = allowUntrusted;
    return s;
}

class ConnectionTest : public CertificatesTest
{
protected:
    void SetUp() override
    {
        g_log.clear();
        setAgentLinkLogSink(&captureLog);
    }
    void TearDown() override { setAgentLinkLogSink(nullptr); }
};

// True when the connection's socket sends small frames at once (TCP_NODELAY on its descriptor).
bool sendsWithoutDelay(const CAgentConnection& c)
{
    const QList<QAbstractSocket*> sockets = c.findChildren<QAbstractSocket*>(QString(), Qt::FindDirectChildrenOnly);
    if (sockets.size() != 1)
        return false;
    int on = 0;
    socklen_t size = sizeof(on);
    return ::getsockopt(int(sockets.first()->socketDescriptor()), IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0;
}

// Lets a test call the protected error path directly.
class ProbeConnection : public CTcpAgentConnection
{
public:
    using CTcpAgentConnection::setError;
};

TEST_F(ConnectionTest, TcpConnectsToAddressOrHostNameAndCarriesData)
{
    for (const QString& host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        SCOPED_TRACE(host.toStdString());
        PeerServer peer;
        ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
        RecordingConnectionHandler handler;
        QScopedPointer<CAgentConnection> c(createAgentConnection(tcpSettings(peer.serverPort(), host), &handler, QString()));
        EXPECT_TRUE(c->isPlainTcp());
        EXPECT_FALSE(c->isSsl());
        ASSERT_TRUE(waitUntil([&] { return handler.has("established") && !peer.sockets.isEmpty(); }, 10000));
        EXPECT_EQ(c->peerAddress(), QHostAddress(QHostAddress::LocalHost));
        EXPECT_TRUE(sendsWithoutDelay(*c));
        EXPECT_TRUE(c->checkPeer(QStringLiteral("anything")));
        c->send("hello", 5);
        ASSERT_TRUE(waitUntil([&] { return peer.received == QByteArray("hello"); }, 10000));
        peer.sockets.first()->write("world");
        ASSERT_TRUE(waitUntil([&] { return handler.received == QByteArray("world"); }, 10000));
    }
}

// The peer ends the stream: the socket's "remote closed" error at most once, closed once,
// socket released.
TEST_F(ConnectionTest, TcpPeerCloseReportsClosedOnceAndReleasesTheSocket)
{
    PeerServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    RecordingConnectionHandler handler;
    QScopedPointer<CAgentConnection> c(createAgentConnection(tcpSettings(peer.serverPort()), &handler, QString()));
    ASSERT_TRUE(waitUntil([&] { return handler.has("established") && !peer.sockets.isEmpty(); }, 10000));
    peer.sockets.first()->disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return handler.has("closed"); }, 10000));
    ASSERT_TRUE(drainPostedEvents());
    EXPECT_EQ(handler.count("closed"), 1);
    EXPECT_LE(handler.count("error:"), 1);
    EXPECT_EQ(handler.events.last(), "closed");
    EXPECT_TRUE(c->isUnconnected());
    EXPECT_EQ(c->peerAddress(), QHostAddress(QStringLiteral("0.0.0.0")));
}

TEST_F(ConnectionTest, TcpRefusedConnectReportsSocketErrorOnce)
{
    quint16 port;
    {
        QTcpServer s;
        ASSERT_TRUE(s.listen(QHostAddress::LocalHost, 0));
        port = s.serverPort();
    }
    RecordingConnectionHandler handler;
    QScopedPointer<CAgentConnection> c(createAgentConnection(tcpSettings(port), &handler, QString()));
    ASSERT_TRUE(waitUntil([&] { return handler.count("error:") > 0; }, 10000));
    ASSERT_TRUE(drainPostedEvents());   // a second report queued behind the first has come
    EXPECT_EQ(handler.count("error:"), 1);
    EXPECT_FALSE(handler.has("established"));
    EXPECT_FALSE(c->errorString().isEmpty());
    EXPECT_EQ(handler.events.first(), "error:" + c->errorString());
}

TEST_F(ConnectionTest, TlsServiceCertificatePin)
{
    struct Case {
        const char* name;
        QString pin;
        bool allowUntrusted;
        QStringList expected;   // events in order, up to the first established/closed
    };
    const QString missing = certs->path("missing-service.pem");
    const Case cases[] = {
        {"pinned certificate", certs->cert("service"), false, {"established"}},
        {"another certificate", certs->cert("other"), false, {"error:wrong certificate", "closed"}},
        {"another certificate, untrusted allowed", certs->cert("other"), true, {"log:wrong certificate", "established"}},
        {"pin file missing", missing, false,
         {"error:can't validate service certificate: certificate file " + missing + " doesn't exist", "closed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PeerServer peer(QStringLiteral("service"));
        ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
        RecordingConnectionHandler handler;
        QScopedPointer<CAgentConnection> conn(
            createAgentConnection(sslSettings(peer.serverPort(), c.pin, c.allowUntrusted), &handler, QString()));
        EXPECT_TRUE(conn->isSsl());
        ASSERT_TRUE(waitUntil([&] { return handler.has("established") || handler.has("closed"); }, 15000));
        EXPECT_EQ(handler.events, c.expected);
        if (handler.has("established")) {
            // Data flows both ways, and the peer certificate is the service's.
            // The peer id is the MD5 of the certificate's PEM form as the openssl tool writes it.
            const QByteArray servicePem = certs->output({"x509", "-in", certs->cert("service")});
            ASSERT_FALSE(servicePem.isEmpty());
            EXPECT_TRUE(sendsWithoutDelay(*conn));
            EXPECT_TRUE(conn->checkPeer(md5Hex(servicePem)));
            EXPECT_FALSE(conn->checkPeer(QString(32, '0')));
            conn->send("ping", 4);
            ASSERT_TRUE(waitUntil([&] { return peer.received == QByteArray("ping"); }, 10000));
            peer.sockets.first()->write("pong");
            ASSERT_TRUE(waitUntil([&] { return handler.received == QByteArray("pong"); }, 10000));
            // The service sees the agent's certificate.
            auto* ssl = qobject_cast<QSslSocket*>(peer.sockets.first());
            EXPECT_EQ(ssl->peerCertificate(), QSslCertificate::fromPath(certs->cert("agent")).value(0));
        } else {
            EXPECT_TRUE(conn->isUnconnected());
            EXPECT_TRUE(handler.received.isEmpty());
            ASSERT_TRUE(drainPostedEvents());   // the socket is gone; only queued calls remain
            EXPECT_FALSE(handler.has("established"));
            EXPECT_EQ(handler.count("error:"), 1);
        }
    }
}

TEST_F(ConnectionTest, TlsLocalCertificateAndKeyFailuresEndBeforeAnySocket)
{
    struct Case { const char* name; QString cert; QString key; QString error; };
    const QString noKey = certs->path("no.key");
    const QString noCert = certs->path("no.pem");
    const Case cases[] = {
        {"missing key", certs->cert("agent"), noKey, QStringLiteral("private key file %1 doesn't exist").arg(noKey)},
        {"missing certificate", noCert, certs->key("agent"), QStringLiteral("certificate file %1 doesn't exist").arg(noCert)},
        {"key with another pass phrase", certs->cert("agent"), certs->path("agent_wrongpass.key"),
         QStringLiteral("can't load private key from %1 file, is it corrupted or passphrase is wrong?")
             .arg(certs->path("agent_wrongpass.key"))},
        {"EC key", certs->cert("agent"), certs->path("ec.key"),
         QStringLiteral("can't load private key from %1 file: unsupported key type").arg(certs->path("ec.key"))},
        {"key of another certificate", certs->cert("agent"), certs->key("other"),
         QStringLiteral("private key file %1 does not match certificate file %2").arg(certs->key("other"), certs->cert("agent"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SAgentConnectionSettings s = sslSettings(1, certs->cert("service"));
        s.certificatePath = c.cert;
        s.privateKeyPath = c.key;
        RecordingConnectionHandler handler;
        QScopedPointer<CAgentConnection> conn(createAgentConnection(s, &handler, QString()));
        EXPECT_EQ(handler.events, QStringList{"error:" + c.error});
        EXPECT_EQ(conn->errorString(), c.error);
        EXPECT_TRUE(conn->isUnconnected());
    }
}

// preError ends connect with exactly that text; the socket exists but never connects.
TEST_F(ConnectionTest, PreErrorEndsTheConnectWithoutTouchingThePeer)
{
    for (int transport : {0, 1}) {
        SCOPED_TRACE(transport);
        PeerServer peer;
        ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
        SAgentConnectionSettings s = sslSettings(peer.serverPort(), certs->cert("service"));
        s.transport = transport;
        RecordingConnectionHandler handler;
        QScopedPointer<CAgentConnection> c(createAgentConnection(s, &handler, QStringLiteral("agent was stopped")));
        EXPECT_EQ(c->errorString(), "agent was stopped");
        EXPECT_EQ(handler.events, QStringList{"error:agent was stopped"});
        // A probe that connects afterwards is accepted alone: nothing reached the peer before it.
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, peer.serverPort());
        ASSERT_TRUE(waitUntil([&] { return !peer.sockets.isEmpty(); }, 10000));
        ASSERT_TRUE(drainPostedEvents());
        ASSERT_EQ(peer.sockets.size(), 1);
        EXPECT_EQ(peer.sockets.first()->peerPort(), probe.localPort());
        // A second connect on the same object: the first error stays.
        c->connectToPeer(s, QString());
        EXPECT_EQ(c->errorString(), "agent was stopped");
        EXPECT_EQ(handler.count("error:"), 1);
    }
}

TEST_F(ConnectionTest, ConnectWithoutAHandlerEndsWithThatError)
{
    CTcpAgentConnection c;
    c.connectToPeer(tcpSettings(1), QString());
    EXPECT_EQ(c.errorString(), "Event handler not set");
    EXPECT_EQ(c.peerAddress(), QHostAddress(QStringLiteral("0.0.0.0")));
}

TEST_F(ConnectionTest, SendBeforeAnyConnectIsAnError)
{
    RecordingConnectionHandler handler;
    CTcpAgentConnection c;
    c.setEventHandler(&handler);
    c.send("x", 1);
    EXPECT_EQ(handler.events, QStringList{"error:Can't send data: not connected"});
}

TEST_F(ConnectionTest, SecondConnectOnAConnectingObjectIsRefused)
{
    PeerServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    RecordingConnectionHandler handler;
    QScopedPointer<CAgentConnection> c(createAgentConnection(tcpSettings(peer.serverPort()), &handler, QString()));
    c->connectToPeer(tcpSettings(peer.serverPort()), QString());
    EXPECT_EQ(c->errorString(), "Already connected");
}

TEST_F(ConnectionTest, FirstErrorWins)
{
    RecordingConnectionHandler handler;
    ProbeConnection c;
    c.setEventHandler(&handler);
    c.setError(QStringLiteral("wrong certificate"));
    c.setError(QStringLiteral("The remote host closed the connection"));
    EXPECT_EQ(c.errorString(), "wrong certificate");
    EXPECT_EQ(handler.events, QStringList{"error:wrong certificate"});
    EXPECT_EQ(countLog("connection error: wrong certificate"), 1);
    EXPECT_EQ(countLog("connection error: The remote host closed the connection"), 0);
}

TEST_F(ConnectionTest, CloseRunsOnce)
{
    struct Case { int transport; QString text; };
    for (const Case& k : {Case{0, "closing tcp connection"}, Case{1, "closing ssl connection"}}) {
        g_log.clear();
        QScopedPointer<CAgentConnection> conn(k.transport ? static_cast<CAgentConnection*>(new CSslAgentConnection)
                                                          : new CTcpAgentConnection);
        conn->close();
        conn->close();
        EXPECT_EQ(countLog(k.text), 1) << k.text.toStdString();
    }
}

TEST_F(ConnectionTest, LogLinesCarryConnectionAndThreadPrefix)
{
    RecordingConnectionHandler handler;
    QScopedPointer<CAgentConnection> c(createAgentConnection(tcpSettings(4321), &handler, QStringLiteral("stop")));
    ASSERT_FALSE(g_log.isEmpty());
    const QRegularExpression re(QStringLiteral("^\\[connection [0-9a-f]{8,} from [0-9a-f]{8,}\\] connecting by tcp to 127.0.0.1:4321$"));
    EXPECT_TRUE(re.match(g_log.first()).hasMatch()) << g_log.first().toStdString();
    EXPECT_EQ(countLog("] connection error: stop"), 1);
}

TEST_F(ConnectionTest, DestroyingAnOpenConnectionReportsClosedOnce)
{
    PeerServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    RecordingConnectionHandler handler;
    CAgentConnection* c = createAgentConnection(tcpSettings(peer.serverPort()), &handler, QString());
    ASSERT_TRUE(waitUntil([&] { return handler.has("established") && !peer.sockets.isEmpty(); }, 10000));
    delete c;
    EXPECT_EQ(handler.events, (QStringList{"established", "closed"}));
    ASSERT_TRUE(waitUntil([&] { return peer.sockets.first()->state() == QAbstractSocket::UnconnectedState; }, 10000));
}

} // namespace
