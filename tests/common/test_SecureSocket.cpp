// TLS socket rules and the certificate and key loaders.
#include "common/CSecureSocket.h"
#include "common/SslFileLoaders.h"
#include "support/EventLoopWait.h"
#include "support/CertificatesTest.h"

#include <QScopedPointer>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

using SecureSocketTest = CertificatesTest;

TEST_F(SecureSocketTest, CipherFilterKeepsOnlyModernCiphersOffTheExclusionList)
{
    const QList<QSslCipher> all = QSslConfiguration::supportedCiphers();
    QList<QSslCipher> old;
    for (const QSslCipher& c : all)
        if (c.protocol() != QSsl::TlsV1_2 && c.protocol() != QSsl::TlsV1_3)
            old << c;

    // Only older ciphers: nothing is left.
    EXPECT_TRUE(CSecureSocket::filterCiphers(old).isEmpty());

    const QList<QSslCipher> kept = CSecureSocket::filterCiphers(all);
    ASSERT_FALSE(kept.isEmpty());
    int lastIndex = -1;
    for (const QSslCipher& c : kept) {
        EXPECT_TRUE(c.protocol() == QSsl::TlsV1_2 || c.protocol() == QSsl::TlsV1_3) << c.name().toStdString();
        EXPECT_NE(c.name(), "RC4-MD5");
        EXPECT_NE(c.name(), "RC4-SHA");
        EXPECT_NE(c.name(), "SEED-SHA");
        const int index = all.indexOf(c);
        EXPECT_GT(index, lastIndex) << "order changed at " << c.name().toStdString();
        lastIndex = index;
    }
    // TLS 1.3 ciphers stay.
    for (const QSslCipher& c : all)
        if (c.protocol() == QSsl::TlsV1_3) {
            EXPECT_TRUE(kept.contains(c)) << c.name().toStdString();
        }

    // An excluded name is removed even when it claims TLS 1.2.
    QList<QSslCipher> withExcluded = kept;
    for (const QSslCipher& c : all)
        if (c.name() == "SEED-SHA" || c.name() == "RC4-SHA" || c.name() == "RC4-MD5")
            withExcluded << c;
    EXPECT_EQ(CSecureSocket::filterCiphers(withExcluded), kept);
}

TEST_F(SecureSocketTest, SocketRequiresTls12OrLaterWithFilteredCiphers)
{
    CSecureSocket socket;
    EXPECT_EQ(socket.protocol(), QSsl::TlsV1_2OrLater);
    const QList<QSslCipher> ciphers = socket.sslConfiguration().ciphers();
    EXPECT_FALSE(ciphers.isEmpty());
    EXPECT_EQ(ciphers, CSecureSocket::filterCiphers(ciphers));
}

// Server that answers every connection with a CSecureSocket carrying the service certificate.
class SecureTestServer : public QTcpServer
{
public:
    QSslSocket* last = nullptr;
    bool sawError = false;

protected:
    void incomingConnection(qintptr fd) override
    {
        auto* s = new CSecureSocket(this);
        s->setLocalCertificate(QSslCertificate::fromPath(certs->cert("service")).value(0));
        QFile keyFile(certs->key("service"));
        keyFile.open(QIODevice::ReadOnly);
        s->setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        s->setSocketDescriptor(fd);
        connect(s, &QAbstractSocket::errorOccurred, [this] { sawError = true; });
        s->startServerEncryption();
        last = s;
    }
};

TEST_F(SecureSocketTest, ClientsBelowTls12AreRefused)
{
    struct Case { const char* name; QSsl::SslProtocol protocol; bool encrypts; };
    const Case cases[] = {
        {"TLS 1.0", QSsl::TlsV1_0, false},
        {"TLS 1.1", QSsl::TlsV1_1, false},
        {"TLS 1.2", QSsl::TlsV1_2, true},
        {"TLS 1.3", QSsl::TlsV1_3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SecureTestServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QSslSocket client;
        client.setProtocol(c.protocol);
        client.setPeerVerifyMode(QSslSocket::VerifyNone);
        QSignalSpy encrypted(&client, &QSslSocket::encrypted);
        QSignalSpy failed(&client, &QAbstractSocket::errorOccurred);
        client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.serverPort());
        ASSERT_TRUE(waitUntil([&] { return encrypted.count() > 0 || failed.count() > 0 || client.state() == QAbstractSocket::UnconnectedState; }, 10000));
        EXPECT_EQ(encrypted.count() > 0, c.encrypts);
        if (!c.encrypts) {
            EXPECT_FALSE(client.isEncrypted());
        }
    }
}

TEST_F(SecureSocketTest, CertificateLoaderTexts)
{
    struct Case { const char* name; QString path; QString error; };
    const QString missing = certs->path("nope.pem");
    const Case cases[] = {
        {"plain", certs->cert("agent"), QString()},
        {"crlf copy", certs->path("agent_crlf.pem"), QString()},
        {"missing", missing, QStringLiteral("certificate file %1 doesn't exist").arg(missing)},
        {"corrupt", certs->path("corrupt.pem"),
         QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(certs->path("corrupt.pem"))},
        {"a key, not a certificate", certs->key("agent"),
         QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(certs->key("agent"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        QScopedPointer<QSslCertificate> cert(loadCertificate(c.path, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(cert.isNull(), !c.error.isEmpty());
    }
    QString error;
    QScopedPointer<QSslCertificate> lf(loadCertificate(certs->cert("agent"), error));
    QScopedPointer<QSslCertificate> crlf(loadCertificate(certs->path("agent_crlf.pem"), error));
    ASSERT_TRUE(lf && crlf);
    EXPECT_EQ(*lf, *crlf);
    // The PEM form that ids are taken over is the openssl tool's, whatever the file's line ends.
    const QByteArray toolPem = certs->output({"x509", "-in", certs->cert("agent")});
    ASSERT_FALSE(toolPem.isEmpty());
    EXPECT_EQ(lf->toPem(), toolPem);
    EXPECT_EQ(crlf->toPem(), toolPem);
}

TEST_F(SecureSocketTest, PrivateKeyLoaderTexts)
{
    struct Case { const char* name; QString path; QByteArray pass; QString error; };
    const QString missing = certs->path("nope.key");
    const QByteArray pass = TestCertificates::passPhrase();
    auto bad = [](const QString& p) {
        return QStringLiteral("can't load private key from %1 file, is it corrupted or passphrase is wrong?").arg(p);
    };
    const Case cases[] = {
        {"unencrypted", certs->key("agent"), pass, QString()},
        {"unencrypted, empty pass phrase", certs->key("agent"), QByteArray(), QString()},
        {"encrypted with the pass phrase", certs->path("agent_enc.key"), pass, QString()},
        {"encrypted with another pass phrase", certs->path("agent_wrongpass.key"), pass, bad(certs->path("agent_wrongpass.key"))},
        {"encrypted, empty pass phrase", certs->path("agent_enc.key"), QByteArray(), bad(certs->path("agent_enc.key"))},
        {"corrupt", certs->path("corrupt.key"), pass, bad(certs->path("corrupt.key"))},
        {"a certificate, not a key", certs->cert("agent"), pass, bad(certs->cert("agent"))},
        {"missing", missing, pass, QStringLiteral("private key file %1 doesn't exist").arg(missing)},
        {"EC key", certs->path("ec.key"), pass,
         QStringLiteral("can't load private key from %1 file: unsupported key type").arg(certs->path("ec.key"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        QScopedPointer<QSslKey> key(loadPrivateKey(c.path, c.pass, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(key.isNull(), !c.error.isEmpty());
        if (key) {
            EXPECT_EQ(key->algorithm(), QSsl::Rsa);
        }
    }
}

TEST_F(SecureSocketTest, UnreadableFileGivesReadText)
{
    // A folder exists but cannot be read as a file (also for root).
    const QString p = certs->dir();
    QString error;
    QScopedPointer<QSslCertificate> cert(loadCertificate(p, error));
    EXPECT_FALSE(cert);
    EXPECT_EQ(error, QStringLiteral("can't read certificate file %1").arg(p));
    QScopedPointer<QSslKey> key(loadPrivateKey(p, TestCertificates::passPhrase(), error));
    EXPECT_FALSE(key);
    EXPECT_EQ(error, QStringLiteral("can't read private key file %1").arg(p));
}

} // namespace
