#include "support/TestServers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QUuid>
#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

// Shows that every local test server answers on its port with the configured login: a banner
// and one or two protocol steps each, TLS verified against the test CA. The checks' own tests
// go further; these catch a broken start script or a header that names the wrong port.
namespace ts = testservers;

namespace {

constexpr int kWaitMs = 10000;

std::string str(const QByteArray& b) { return b.toStdString(); }
std::string str(const QString& s) { return s.toStdString(); }

// One line including its CR LF, or empty when none arrives in time.
QByteArray readLine(QSslSocket& s, int ms = kWaitMs)
{
    QElapsedTimer t;
    t.start();
    while (!s.canReadLine()) {
        const qint64 left = ms - t.elapsed();
        if (left <= 0 || (!s.waitForReadyRead(int(left)) && !s.canReadLine()))
            return {};
    }
    return s.readLine();
}

QByteArray send(QSslSocket& s, const QByteArray& line)
{
    s.write(line + "\r\n");
    s.waitForBytesWritten(kWaitMs);
    return readLine(s);
}

// An SMTP reply: all lines up to the one with a blank after the code.
QByteArray smtpReply(QSslSocket& s)
{
    QByteArray all;
    for (;;) {
        const QByteArray line = readLine(s);
        all += line;
        if (line.size() < 4 || line.at(3) == ' ')
            return all;
    }
}

QByteArray smtpCommand(QSslSocket& s, const QByteArray& line)
{
    s.write(line + "\r\n");
    s.waitForBytesWritten(kWaitMs);
    return smtpReply(s);
}

// Lines up to and including the one tagged `tag`.
QByteArray imapCommand(QSslSocket& s, const QByteArray& tag, const QByteArray& command)
{
    s.write(tag + ' ' + command + "\r\n");
    s.waitForBytesWritten(kWaitMs);
    QByteArray all;
    for (;;) {
        const QByteArray line = readLine(s);
        all += line;
        if (line.isEmpty() || line.startsWith(tag + ' '))
            return all;
    }
}

void trustTestCa(QSslSocket& s)
{
    QSslConfiguration c = s.sslConfiguration();
    c.setCaCertificates(QSslCertificate::fromPath(ts::caCertPath()));
    s.setSslConfiguration(c);
    s.setPeerVerifyName(QStringLiteral("localhost"));
}

std::unique_ptr<QSslSocket> connectPlain(quint16 port)
{
    auto s = std::make_unique<QSslSocket>();
    s->connectToHost(QString::fromLatin1(ts::kHost), port);
    if (!s->waitForConnected(kWaitMs))
        ADD_FAILURE() << "no TCP connection to port " << port << ": " << str(s->errorString());
    return s;
}

std::unique_ptr<QSslSocket> connectTls(quint16 port)
{
    auto s = std::make_unique<QSslSocket>();
    trustTestCa(*s);
    s->connectToHostEncrypted(QString::fromLatin1(ts::kHost), port);
    if (!s->waitForEncrypted(kWaitMs))
        ADD_FAILURE() << "no verified TLS on port " << port << ": " << str(s->errorString());
    return s;
}

bool startTls(QSslSocket& s)
{
    trustTestCa(s);
    s.startClientEncryption();
    if (s.waitForEncrypted(kWaitMs))
        return true;
    ADD_FAILURE() << "STARTTLS handshake failed: " << str(s.errorString());
    return false;
}

struct ProcessResult {
    int exitCode = -1;
    QString out;  // standard output and error
};

ProcessResult runProcess(const QString& program, const QStringList& args, const QMap<QString, QString>& env = {},
        int ms = 30000)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (auto it = env.cbegin(); it != env.cend(); ++it)
        e.insert(it.key(), it.value());
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(ms)) {
        r.out = QStringLiteral("cannot start %1: %2").arg(program, p.errorString());
        return r;
    }
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        r.out = QStringLiteral("%1 timed out").arg(program);
        return r;
    }
    r.out = QString::fromUtf8(p.readAll());
    if (p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    return r;
}

QString lit(const char* s) { return QString::fromLatin1(s); }

class TestServersSmoke : public ::testing::Test {
protected:
    void SetUp() override { ZAM_REQUIRE_TEST_SERVERS(); }
};

} // namespace

TEST_F(TestServersSmoke, EveryTcpServerGreets)
{
    struct Case {
        const char* name;
        quint16 port;
        bool tls;
        const char* greeting;
    };
    const Case cases[] = {
        {"ssh", ts::kSshPort, false, "SSH-2.0-OpenSSH"},
        {"ssh keyboard-interactive", ts::kSshKbdIntPort, false, "SSH-2.0-OpenSSH"},
        {"ftp", ts::kFtpPort, false, "220 "},
        {"ftps implicit", ts::kFtpsImplicitPort, true, "220 "},
        {"ftp without tls", ts::kFtpNoTlsPort, false, "220 "},
        {"smtp", ts::kSmtpPort, false, "220 "},
        {"smtp starttls", ts::kSmtpStartTlsPort, false, "220 "},
        {"smtps", ts::kSmtpsPort, true, "220 "},
        {"pop3", ts::kPop3Port, false, "+OK"},
        {"pop3s", ts::kPop3sPort, true, "+OK"},
        {"imap", ts::kImapPort, false, "* OK"},
        {"imaps", ts::kImapsPort, true, "* OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = c.tls ? connectTls(c.port) : connectPlain(c.port);
        EXPECT_TRUE(readLine(*s).startsWith(c.greeting));
    }
}

TEST_F(TestServersSmoke, DatabaseServersSpeakTheirWireProtocol)
{
    {
        // MariaDB: the server talks first, a handshake packet of protocol version 10
        auto s = connectPlain(ts::kMysqlPort);
        QElapsedTimer t;
        t.start();
        while (s->bytesAvailable() < 40 && t.elapsed() < kWaitMs)
            s->waitForReadyRead(100);
        const QByteArray hello = s->readAll();
        ASSERT_GE(hello.size(), 40);
        EXPECT_EQ(0, hello.at(3)) << "sequence number";
        EXPECT_EQ(10, hello.at(4)) << "protocol version";
        EXPECT_TRUE(hello.contains("MariaDB"));
    }
    {
        // PostgreSQL: an SSLRequest (length 8, code 80877103) is answered 'S' when TLS is on
        auto s = connectPlain(ts::kPostgresPort);
        s->write(QByteArray::fromHex("0000000804d2162f"));
        ASSERT_TRUE(s->waitForReadyRead(kWaitMs));
        EXPECT_EQ(QByteArray("S"), s->read(1));
    }
}

TEST_F(TestServersSmoke, DatabaseLoginsReadTheTestTable)
{
    const QString query = QStringLiteral("SELECT COUNT(*) FROM zam_items");
    const ProcessResult my = runProcess(QStringLiteral("mariadb"),
                       {QStringLiteral("--host=%1").arg(lit(ts::kHost)), QStringLiteral("--port=%1").arg(ts::kMysqlPort),
                        QStringLiteral("--user=%1").arg(lit(ts::kUser)), QStringLiteral("--ssl"),
                        QStringLiteral("--ssl-ca=%1").arg(ts::caCertPath()), QStringLiteral("--ssl-verify-server-cert"),
                        QStringLiteral("--batch"), QStringLiteral("--skip-column-names"),
                        QStringLiteral("--execute=%1").arg(query), lit(ts::kDatabase)},
                       {{QStringLiteral("MYSQL_PWD"), lit(ts::kPassword)}});
    EXPECT_EQ(0, my.exitCode) << str(my.out);
    EXPECT_EQ("3", str(my.out.trimmed()));

    const QString conninfo = QStringLiteral("host=%1 port=%2 user=%3 dbname=%4 sslmode=verify-full sslrootcert=%5")
                                 .arg(lit(ts::kHost)).arg(ts::kPostgresPort).arg(lit(ts::kUser), lit(ts::kDatabase),
                                      ts::caCertPath());
    const ProcessResult pg = runProcess(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"),
                                                 QStringLiteral("-c"), query, conninfo},
                       {{QStringLiteral("PGPASSWORD"), lit(ts::kPassword)}});
    EXPECT_EQ(0, pg.exitCode) << str(pg.out);
    EXPECT_EQ("3", str(pg.out.trimmed()));

    const ProcessResult bad = runProcess(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-c"), query, conninfo},
                        {{QStringLiteral("PGPASSWORD"), QStringLiteral("wrong")}});
    EXPECT_NE(0, bad.exitCode);
    EXPECT_TRUE(bad.out.contains(QLatin1String("password authentication failed"))) << str(bad.out);
}

TEST_F(TestServersSmoke, FtpLoginPlainAndAfterAuthTls)
{
    const QByteArray user = QByteArray("USER ") + ts::kUser;
    const QByteArray pass = QByteArray("PASS ") + ts::kPassword;
    {
        auto s = connectPlain(ts::kFtpPort);
        ASSERT_TRUE(readLine(*s).startsWith("220"));
        EXPECT_TRUE(send(*s, user).startsWith("331"));
        EXPECT_TRUE(send(*s, pass).startsWith("230"));
    }
    {
        auto s = connectPlain(ts::kFtpPort);
        ASSERT_TRUE(readLine(*s).startsWith("220"));
        ASSERT_TRUE(send(*s, "AUTH TLS").startsWith("234"));
        ASSERT_TRUE(startTls(*s));
        EXPECT_TRUE(send(*s, user).startsWith("331"));
        EXPECT_TRUE(send(*s, pass).startsWith("230"));
    }
    {
        auto s = connectPlain(ts::kFtpPort);
        ASSERT_TRUE(readLine(*s).startsWith("220"));
        EXPECT_TRUE(send(*s, user).startsWith("331"));
        EXPECT_TRUE(send(*s, "PASS wrong").startsWith("530"));
    }
    {
        auto s = connectPlain(ts::kFtpNoTlsPort);
        ASSERT_TRUE(readLine(*s).startsWith("220"));
        EXPECT_TRUE(send(*s, "AUTH TLS").startsWith("5")) << "this server offers no TLS";
    }
}

TEST_F(TestServersSmoke, Pop3AndImapLoginsWithAndWithoutTls)
{
    const QByteArray user = QByteArray("USER ") + ts::kUser;
    const QByteArray pass = QByteArray("PASS ") + ts::kPassword;
    const QByteArray login = QByteArray("LOGIN ") + ts::kUser + ' ' + ts::kPassword;
    {
        auto s = connectPlain(ts::kPop3Port);
        ASSERT_TRUE(readLine(*s).startsWith("+OK"));
        EXPECT_TRUE(send(*s, user).startsWith("+OK"));
        EXPECT_TRUE(send(*s, pass).startsWith("+OK"));
        EXPECT_TRUE(send(*s, "STAT").startsWith("+OK"));
    }
    {
        auto s = connectPlain(ts::kPop3Port);
        ASSERT_TRUE(readLine(*s).startsWith("+OK"));
        ASSERT_TRUE(send(*s, "STLS").startsWith("+OK"));
        ASSERT_TRUE(startTls(*s));
        EXPECT_TRUE(send(*s, user).startsWith("+OK"));
        EXPECT_TRUE(send(*s, "PASS wrong").startsWith("-ERR"));
    }
    {
        auto s = connectPlain(ts::kImapPort);
        ASSERT_TRUE(readLine(*s).startsWith("* OK"));
        const QByteArray reply = imapCommand(*s, "a0", login);
        EXPECT_TRUE(reply.contains("a0 OK")) << str(reply);
    }
    {
        auto s = connectPlain(ts::kImapPort);
        ASSERT_TRUE(readLine(*s).startsWith("* OK"));
        ASSERT_TRUE(imapCommand(*s, "a0", "STARTTLS").contains("a0 OK"));
        ASSERT_TRUE(startTls(*s));
        const QByteArray reply = imapCommand(*s, "a1", login);
        EXPECT_TRUE(reply.contains("a1 OK")) << str(reply);
        EXPECT_TRUE(imapCommand(*s, "a2", "LOGOUT").contains("* BYE"));
    }
    {
        auto s = connectTls(ts::kImapsPort);
        ASSERT_TRUE(readLine(*s).startsWith("* OK"));
        const QByteArray reply = imapCommand(*s, "a0", QByteArray("LOGIN ") + ts::kUser + " wrong");
        EXPECT_TRUE(reply.contains("a0 NO")) << str(reply);
    }
}

TEST_F(TestServersSmoke, SmtpAuthStartTlsAndDelivery)
{
    const QByteArray plainToken =
        "AUTH PLAIN " + (QByteArray(1, '\0') + ts::kUser + QByteArray(1, '\0') + ts::kPassword).toBase64();
    const QByteArray badToken =
        "AUTH PLAIN " + (QByteArray(1, '\0') + ts::kUser + QByteArray(1, '\0') + "wrong").toBase64();
    {
        auto s = connectPlain(ts::kSmtpPort);
        ASSERT_TRUE(smtpReply(*s).startsWith("220"));
        const QByteArray ehlo = smtpCommand(*s, "EHLO client.zam.test");
        EXPECT_TRUE(ehlo.startsWith("250"));
        EXPECT_TRUE(ehlo.contains("AUTH")) << str(ehlo);
        EXPECT_FALSE(ehlo.contains("STARTTLS")) << str(ehlo);
        EXPECT_TRUE(smtpCommand(*s, badToken).startsWith("535"));
        EXPECT_TRUE(smtpCommand(*s, plainToken).startsWith("235"));

        // a delivered message lands in the spool folder
        const QByteArray marker = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        EXPECT_TRUE(smtpCommand(*s, "MAIL FROM:<sender@zam.test>").startsWith("250"));
        EXPECT_TRUE(smtpCommand(*s, "RCPT TO:<rcpt@zam.test>").startsWith("250"));
        EXPECT_TRUE(smtpCommand(*s, "DATA").startsWith("354"));
        EXPECT_TRUE(smtpCommand(*s, "Subject: smoke\r\n\r\n" + marker + "\r\n.").startsWith("250"));
        bool found = false;
        const QDir spool(ts::smtpSpoolDir());
        for (const QString& name : spool.entryList({QStringLiteral("*.eml")}, QDir::Files)) {
            QFile f(spool.filePath(name));
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains(marker))
                found = true;
        }
        EXPECT_TRUE(found) << "message not in " << str(ts::smtpSpoolDir());
    }
    {
        auto s = connectPlain(ts::kSmtpStartTlsPort);
        ASSERT_TRUE(smtpReply(*s).startsWith("220"));
        const QByteArray before = smtpCommand(*s, "EHLO client.zam.test");
        EXPECT_TRUE(before.contains("STARTTLS")) << str(before);
        EXPECT_FALSE(before.contains("AUTH")) << "AUTH only after TLS: " << str(before);
        ASSERT_TRUE(smtpCommand(*s, "STARTTLS").startsWith("220"));
        ASSERT_TRUE(startTls(*s));
        const QByteArray after = smtpCommand(*s, "EHLO client.zam.test");
        EXPECT_TRUE(after.contains("AUTH")) << str(after);
        EXPECT_TRUE(smtpCommand(*s, plainToken).startsWith("235"));
    }
}

TEST_F(TestServersSmoke, HttpPathsAndHttpsCertificates)
{
    auto get = [](QSslSocket& s, const QByteArray& path, const QByteArray& extra = {}) {
        s.write("GET " + path + " HTTP/1.0\r\nHost: localhost\r\n" + extra + "\r\n");
        QByteArray all;
        while (s.waitForReadyRead(kWaitMs) || s.bytesAvailable())
            all += s.readAll();
        return all;
    };
    const QByteArray auth = "Authorization: Basic " + (QByteArray(ts::kUser) + ':' + ts::kPassword).toBase64() + "\r\n";
    struct Case {
        const char* path;
        QByteArray extra;
        const char* status;
    };
    const Case cases[] = {
        {"/", {}, "200"},
        {"/nosuch", {}, "404"},
        {"/error", {}, "500"},
        {"/redirect", {}, "302"},
        {"/secure/", {}, "401"},
        {"/secure/", auth, "200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto s = connectPlain(ts::kHttpPort);
        const QByteArray reply = get(*s, c.path, c.extra);
        EXPECT_TRUE(reply.startsWith(QByteArray("HTTP/1.1 ") + c.status)) << str(reply.left(200));
    }
    {
        auto s = connectTls(ts::kHttpsPort);
        const QByteArray reply = get(*s, "/");
        EXPECT_TRUE(reply.startsWith("HTTP/1.1 200")) << str(reply.left(200));
        EXPECT_TRUE(reply.contains(ts::kHttpContentMarker));
    }
    // the other two certificates fail verification, each for its own reason
    struct Bad {
        quint16 port;
        QString certPath;
        QSslError::SslError error;
    };
    for (const Bad& b : {Bad{ts::kHttpsSelfSignedPort, ts::selfSignedCertPath(), QSslError::SelfSignedCertificate},
                         Bad{ts::kHttpsExpiredPort, ts::expiredCertPath(), QSslError::CertificateExpired}}) {
        SCOPED_TRACE(b.port);
        QSslSocket s;
        trustTestCa(s);
        s.connectToHostEncrypted(QString::fromLatin1(ts::kHost), b.port);
        EXPECT_FALSE(s.waitForEncrypted(kWaitMs));
        bool seen = false;
        for (const QSslError& e : s.sslHandshakeErrors())
            seen = seen || e.error() == b.error;
        EXPECT_TRUE(seen) << str(s.errorString());
        const auto expected = QSslCertificate::fromPath(b.certPath);
        ASSERT_EQ(1, expected.size());
        EXPECT_EQ(expected.first(), s.peerCertificate());
    }
}

TEST_F(TestServersSmoke, UdpEchoReturnsTheDatagram)
{
    QUdpSocket s;
    const QByteArray payload = "zam-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    ASSERT_EQ(payload.size(), s.writeDatagram(payload, QHostAddress(QString::fromLatin1(ts::kHost)), ts::kUdpEchoPort));
    ASSERT_TRUE(s.waitForReadyRead(kWaitMs));
    QByteArray reply(int(s.pendingDatagramSize()), '\0');
    s.readDatagram(reply.data(), reply.size());
    EXPECT_EQ(payload, reply);
}

TEST_F(TestServersSmoke, DnsAnswersTheFixedRecords)
{
    auto dig = [](const QStringList& query) {
        QStringList args{QStringLiteral("+time=2"), QStringLiteral("+tries=2"), QStringLiteral("+short"),
                         QStringLiteral("-p"), QString::number(ts::kDnsPort), QStringLiteral("@%1").arg(lit(ts::kHost))};
        const ProcessResult r = runProcess(QStringLiteral("dig"), args + query);
        EXPECT_EQ(0, r.exitCode) << str(r.out);
        QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines.join(QLatin1Char('|'));
    };
    const QString zone = lit(ts::kDnsZone);
    EXPECT_EQ(ts::kDnsAAddress, str(dig({lit(ts::kDnsAName), QStringLiteral("A")})));
    EXPECT_EQ(ts::kDnsAaaaAddress, str(dig({lit(ts::kDnsAName), QStringLiteral("AAAA")})));
    EXPECT_EQ(str(QStringLiteral("%1|%2").arg(lit(ts::kDnsPairAddress1), lit(ts::kDnsPairAddress2))),
              str(dig({lit(ts::kDnsPairName), QStringLiteral("A")})));
    EXPECT_EQ(str(QStringLiteral("%1 %2.|%3 %4.").arg(ts::kDnsMxPref).arg(lit(ts::kDnsMxHost)).arg(ts::kDnsMxPref2)
                      .arg(lit(ts::kDnsMxHost2))),
              str(dig({zone, QStringLiteral("MX")})));
    EXPECT_EQ(str(QStringLiteral("\"%1\"").arg(lit(ts::kDnsTxt))), str(dig({zone, QStringLiteral("TXT")})));
    EXPECT_EQ(str(QStringLiteral("%1|%2.").arg(lit(ts::kDnsAAddress), lit(ts::kDnsAName))),
              str(dig({lit(ts::kDnsCnameName), QStringLiteral("A")})));
    EXPECT_EQ(QString::number(ts::kDnsSoaSerial).toStdString(),
              str(dig({zone, QStringLiteral("SOA")}).section(QLatin1Char(' '), 2, 2)));
    EXPECT_FALSE(dig({QStringLiteral("."), QStringLiteral("NS")}).isEmpty()) << "root NS for a server test";
    EXPECT_EQ(ts::kDnsAAddress, str(dig({QStringLiteral("+tcp"), lit(ts::kDnsAName), QStringLiteral("A")})));
}

TEST_F(TestServersSmoke, SnmpAnswersEveryVersionAndUser)
{
    const QString sysName = QStringLiteral(".1.3.6.1.2.1.1.5.0");
    const QString target = QStringLiteral("%1:%2").arg(lit(ts::kHost)).arg(ts::kSnmpPort);
    const QStringList common{QStringLiteral("-m"), QString(), QStringLiteral("-On"), QStringLiteral("-t"),
                             QStringLiteral("2"), QStringLiteral("-r"), QStringLiteral("1")};
    auto v3 = [&](const char* user, const char* level, const char* authProtocol, const char* privProtocol) {
        QStringList a = common + QStringList{QStringLiteral("-v3"), QStringLiteral("-u"), lit(user),
                                             QStringLiteral("-l"), lit(level)};
        if (authProtocol)
            a << QStringLiteral("-a") << lit(authProtocol) << QStringLiteral("-A") << lit(ts::kSnmpV3AuthPassword);
        if (privProtocol)
            a << QStringLiteral("-x") << lit(privProtocol) << QStringLiteral("-X") << lit(ts::kSnmpV3PrivPassword);
        return a;
    };
    struct Case {
        const char* name;
        QStringList args;
    };
    const Case cases[] = {
        {"v1", common + QStringList{QStringLiteral("-v1"), QStringLiteral("-c"), lit(ts::kSnmpCommunity)}},
        {"v2c", common + QStringList{QStringLiteral("-v2c"), QStringLiteral("-c"), lit(ts::kSnmpCommunity)}},
        {"v2c rw", common + QStringList{QStringLiteral("-v2c"), QStringLiteral("-c"), lit(ts::kSnmpRwCommunity)}},
        {"v3 sha aes", v3(ts::kSnmpV3User, "authPriv", ts::kSnmpV3AuthProtocol, ts::kSnmpV3PrivProtocol)},
        {"v3 md5 des", v3(ts::kSnmpV3Md5DesUser, "authPriv", "MD5", "DES")},
        {"v3 auth only", v3(ts::kSnmpV3AuthNoPrivUser, "authNoPriv", "SHA", nullptr)},
        {"v3 no auth", v3(ts::kSnmpV3NoAuthUser, "noAuthNoPriv", nullptr, nullptr)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult r = runProcess(QStringLiteral("snmpget"), c.args + QStringList{target, sysName});
        EXPECT_EQ(0, r.exitCode) << str(r.out);
        EXPECT_TRUE(r.out.contains(QStringLiteral("\"%1\"").arg(lit(ts::kSnmpSysName)))) << str(r.out);
    }
    QStringList bad = v3(ts::kSnmpV3BadPassUser, "authPriv", ts::kSnmpV3AuthProtocol, ts::kSnmpV3PrivProtocol);
    bad[bad.indexOf(lit(ts::kSnmpV3AuthPassword))] = QStringLiteral("wrong-password");
    const ProcessResult r = runProcess(QStringLiteral("snmpget"), bad + QStringList{target, sysName});
    EXPECT_NE(0, r.exitCode);
    EXPECT_TRUE(r.out.contains(QLatin1String("Authentication failure"))) << str(r.out);
}

TEST_F(TestServersSmoke, SshKeyLoginAgainstThePinnedHostKey)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile hostKey(ts::sshHostPublicKeyPath());
    ASSERT_TRUE(hostKey.open(QIODevice::ReadOnly));
    const QByteArray pub = hostKey.readAll().trimmed();
    QFile known(dir.filePath(QStringLiteral("known_hosts")));
    ASSERT_TRUE(known.open(QIODevice::WriteOnly));
    for (quint16 port : {ts::kSshPort, ts::kSshKbdIntPort})
        known.write(QStringLiteral("[%1]:%2 ").arg(lit(ts::kHost)).arg(port).toUtf8() + pub + '\n');
    known.close();

    for (quint16 port : {ts::kSshPort, ts::kSshKbdIntPort}) {
        for (const QString& key : {ts::sshKeyPath(), ts::sshRsaKeyPath()}) {
            SCOPED_TRACE(str(QStringLiteral("port %1 key %2").arg(port).arg(key)));
            const ProcessResult r = runProcess(QStringLiteral("ssh"),
                              {QStringLiteral("-F"), QStringLiteral("/dev/null"), QStringLiteral("-o"), QStringLiteral("BatchMode=yes"),
                               QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=yes"), QStringLiteral("-o"),
                               QStringLiteral("UserKnownHostsFile=%1").arg(known.fileName()), QStringLiteral("-o"),
                               QStringLiteral("IdentitiesOnly=yes"), QStringLiteral("-i"), key, QStringLiteral("-p"),
                               QString::number(port), QStringLiteral("%1@%2").arg(lit(ts::kUser), lit(ts::kHost)),
                               QStringLiteral("echo zam-ssh-ok")});
            EXPECT_EQ(0, r.exitCode) << str(r.out);
            EXPECT_TRUE(r.out.contains(QLatin1String("zam-ssh-ok"))) << str(r.out);
        }
    }
}

// Not a server: the network-namespace helper the ping tests use.
TEST(NetnsExec, LoopbackAnswersPingUnlessSilent)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for a network namespace";
    const QStringList ping{QStringLiteral("ping"), QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-W"),
                           QStringLiteral("2"), QStringLiteral("127.0.0.1")};
    auto hostSwitch = [] {
        QFile f(QStringLiteral("/proc/sys/net/ipv4/icmp_echo_ignore_all"));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("unreadable");
    };
    const QByteArray before = hostSwitch();
    const ProcessResult answering = runProcess(ts::netnsExecScript(), ping);
    EXPECT_EQ(0, answering.exitCode) << str(answering.out);
    const ProcessResult silent = runProcess(ts::netnsExecScript(), QStringList{QStringLiteral("--silent")} + ping);
    EXPECT_EQ(1, silent.exitCode) << str(silent.out);
    EXPECT_TRUE(silent.out.contains(QLatin1String("0 received"))) << str(silent.out);
    // the namespace is private: the host's own switch stays as it was
    EXPECT_EQ(str(before), str(hostSwitch()));
}
