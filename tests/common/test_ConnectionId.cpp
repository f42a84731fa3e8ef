#include "common/AgentSettings.h"
#include "common/ConnectionId.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ConnectionIdTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        cert = dir->filePath(QStringLiteral("cert.pem"));
        key = dir->filePath(QStringLiteral("key.pem"));
        run(QStringLiteral("openssl"), {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                        QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"), key,
                                        QStringLiteral("-out"), cert, QStringLiteral("-subj"), QStringLiteral("/CN=agent"),
                                        QStringLiteral("-days"), QStringLiteral("2")});
        // What "openssl x509 -in PATH | md5sum" prints.
        expected = QString::fromLatin1(
            QCryptographicHash::hash(run(QStringLiteral("openssl"), {QStringLiteral("x509"), QStringLiteral("-in"), cert}),
                                     QCryptographicHash::Md5)
                .toHex());
    }
    static void TearDownTestSuite() { delete dir; }

    static QTemporaryDir* dir;
    static QString cert;
    static QString key;
    static QString expected;
};
QTemporaryDir* ConnectionIdTest::dir = nullptr;
QString ConnectionIdTest::cert;
QString ConnectionIdTest::key;
QString ConnectionIdTest::expected;

}

TEST_F(ConnectionIdTest, IdIsTheMd5OfThePemTextWhateverTheFileLooksLike)
{
    QString id;
    ASSERT_TRUE(connectionIdFromCertificate(cert, id)) << qPrintable(id);
    EXPECT_EQ(id, expected);
    EXPECT_EQ(id.size(), 32);
    EXPECT_EQ(id, id.toLower());

    const QByteArray pem = readFile(cert);
    const struct {
        const char* name;
        QByteArray content;
    } variants[] = {
        {"crlf.pem", QByteArray(pem).replace("\n", "\r\n")},
        {"text-around.pem", "Subject: agent\nsome words\n" + pem + "trailing\n"},
        {"with-key.pem", pem + readFile(key)},
        // read in steps: the certificate lies beyond the first one
        {"after-text.pem", QByteArray(100 * 1024, 'x') + "\n" + pem},
    };
    for (const auto& v : variants) {
        const QString path = dir->filePath(QString::fromLatin1(v.name));
        writeFile(path, v.content);
        QString other;
        EXPECT_TRUE(connectionIdFromCertificate(path, other)) << v.name << ": " << qPrintable(other);
        EXPECT_EQ(other, expected) << v.name;
    }
}

TEST_F(ConnectionIdTest, LoadErrorsGiveTheirTexts)
{
    const QString missing = dir->filePath(QStringLiteral("nope.pem"));
    const QString folder = dir->path();
    const QString garbage = dir->filePath(QStringLiteral("garbage.pem"));
    writeFile(garbage, QByteArray("-----BEGIN CERTIFICATE-----\nnot base64 at all\n-----END CERTIFICATE-----\n"));
    const QString empty = dir->filePath(QStringLiteral("empty.pem"));
    writeFile(empty, QByteArray());
    const QString truncated = dir->filePath(QStringLiteral("truncated.pem"));
    writeFile(truncated, readFile(cert).left(300));
    const QString huge = dir->filePath(QStringLiteral("huge.pem"));
    writeFile(huge, readFile(cert) + QByteArray(4 * 1024 * 1024, '\n'));

    const struct {
        QString path;
        QString text;
    } cases[] = {
        {missing, QStringLiteral("certificate file %1 doesn't exist").arg(missing)},
        {QString(), QStringLiteral("certificate file  doesn't exist")},
        {folder, QStringLiteral("can't read certificate file %1").arg(folder)},
        {garbage, QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(garbage)},
        {empty, QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(empty)},
        {truncated, QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(truncated)},
        {key, QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(key)},
        {huge, QStringLiteral("can't load certificate from %1 file, is it corrupted?").arg(huge)},
    };
    for (const auto& c : cases) {
        QString out;
        EXPECT_FALSE(connectionIdFromCertificate(c.path, out)) << qPrintable(c.path);
        EXPECT_EQ(out, c.text);
    }
}

TEST_F(ConnectionIdTest, ComputedFromTheConfiguredCertificate)
{
    const QString ini = dir->filePath(QStringLiteral("quv.ini"));
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("SSLSettings/CertificatePath"), cert);
        // The transport does not matter: the SSL keys are always read for the id.
        s.setValue(QStringLiteral("ActiveAgentSettings/Transport"), QStringLiteral("TCP"));
    }
    QSettings s(ini, QSettings::IniFormat);
    QString id;
    EXPECT_TRUE(computeConnectionId(s, id));
    EXPECT_EQ(id, expected);

    QSettings none(dir->filePath(QStringLiteral("none.ini")), QSettings::IniFormat);
    EXPECT_FALSE(computeConnectionId(none, id));
    EXPECT_EQ(id, QStringLiteral("certificate file  doesn't exist"));
}
