// The FTP monitor type through the loaded library: the three test vsftpd (AUTH TLS offered,
// TLS from the start, no TLS) and the test sshd's SFTP; scripted loopback peers for a refused
// port and a server that never greets.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned kFtp = 7;

enum Secure { Plain = 0, Sftp = 1, ImplicitTls = 2, ExplicitTls = 3, ExplicitTlsIfAvailable = 4 };

struct Login {
    bool on;
    const char* user;
    const char* password;
};
const Login kAnonymous{false, "", ""};
const Login kTestUser{true, testservers::kUser, testservers::kPassword};

class FtpCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    static void prepare(PluginTestRecord& rec, int port, int secure, const Login& login, bool ignoreTls = true,
                        int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kFtp;
        rec.mon.timeout = timeoutMs;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("Port", nullptr, port, 'i');
        rec.addSetting("Use SFTP Protocol", nullptr, secure, 'e');
        rec.addSetting("User Account for Authentication", nullptr, login.on ? 1 : 0, 'c');
        rec.addSetting("User Name", login.user, 0, 'l');
        rec.addSetting("Password", login.password, 0, 'p');
        rec.addSetting("Ignore FTP SSL certificate errors", nullptr, ignoreTls ? 1 : 0, 'y');
    }

    PluginTestHost host;
};

} // namespace

// The reply code is the server's last one: 221 to the QUIT after the listing.
TEST_F(FtpCheck, ListsTheRootOverEveryTransport)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* what;
        int port;
        int secure;
        Login login;
        int reply;
    } cases[] = {
        {"plain, anonymous", testservers::kFtpNoTlsPort, Plain, kAnonymous, 221},
        {"plain, user", testservers::kFtpNoTlsPort, Plain, kTestUser, 221},
        {"FTPES, anonymous", testservers::kFtpPort, ExplicitTls, kAnonymous, 221},
        {"FTPES, user", testservers::kFtpPort, ExplicitTls, kTestUser, 221},
        {"FTPES if available, offered", testservers::kFtpPort, ExplicitTlsIfAvailable, kTestUser, 221},
        {"FTPES if available, not offered", testservers::kFtpNoTlsPort, ExplicitTlsIfAvailable, kTestUser, 221},
        {"implicit FTPS", testservers::kFtpsImplicitPort, ImplicitTls, kTestUser, 221},
        {"SFTP", testservers::kSshPort, Sftp, kTestUser, 200},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, c.port, c.secure, c.login);
        EXPECT_EQ(host.poll(rec), 0) << c.what << ": " << rec.mon.failReason;
        EXPECT_EQ(rec.mon.resultExtra2, c.reply) << c.what;
        EXPECT_GE(rec.mon.perfValue, 1) << c.what;
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue) << c.what;
        EXPECT_EQ(rec.mon.resultCode, -2) << c.what;
        EXPECT_EQ(rec.mon.failReason[0], '\0') << c.what;
    }
}

TEST_F(FtpCheck, FailedLoginsAndTransfersFailThePoll)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const Login wrong{true, testservers::kUser, "not-the-password"};
    struct Case {
        const char* what;
        int port;
        int secure;
        Login login;
        bool ignoreTls;
        int reply;
        int resultCode;
        const char* reasonStart;
    } cases[] = {
        {"plain, wrong password", testservers::kFtpNoTlsPort, Plain, wrong, true, 530, -2,
         "Login denied (FTP return code: 530)"},
        {"SFTP, wrong password", testservers::kSshPort, Sftp, wrong, true, 530, -2, "Login denied"},
        {"FTPES required, not offered", testservers::kFtpNoTlsPort, ExplicitTls, kTestUser, true, 530, -2,
         "Requested SSL level failed"},
        {"certificate checked", testservers::kFtpPort, ExplicitTls, kTestUser, false, 234, 2,
         "SSL peer certificate or SSH remote key was not OK"},
        {"certificate checked, implicit", testservers::kFtpsImplicitPort, ImplicitTls, kTestUser, false, 0, 2,
         "SSL peer certificate or SSH remote key was not OK"},
        {"refused port", LoopbackServer::closedPort(), Plain, kAnonymous, true, 0, 2, "Couldn't connect to server"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, c.port, c.secure, c.login, c.ignoreTls);
        EXPECT_EQ(host.poll(rec), 1) << c.what;
        EXPECT_EQ(rec.mon.resultExtra2, c.reply) << c.what;
        EXPECT_EQ(rec.mon.resultCode, c.resultCode) << c.what;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reasonStart, 0), 0u) << c.what << ": " << rec.mon.failReason;
    }
}

TEST_F(FtpCheck, LogNamesTheUserButNeverThePassword)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    prepare(rec, testservers::kFtpNoTlsPort, Plain, kTestUser);
    host.clearLog();
    ASSERT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    const QString log = host.logTexts(4).join('\n');
    EXPECT_TRUE(log.contains(QStringLiteral("set credentials ok: '%1'").arg(testservers::kUser))) << log.toStdString();
    EXPECT_FALSE(log.contains(QString::fromLatin1(testservers::kPassword))) << log.toStdString();
}

TEST_F(FtpCheck, DiscoveryOnlyAsksWhetherTheServerAnswers)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const Login wrong{true, testservers::kUser, "not-the-password"};
    for (const Login& login : {kAnonymous, wrong}) {
        PluginTestRecord rec;
        prepare(rec, testservers::kFtpNoTlsPort, Plain, login);
        rec.mon.mode = 1;
        EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 1);
    }
    PluginTestRecord refused;
    prepare(refused, LoopbackServer::closedPort(), Plain, kAnonymous);
    refused.mon.mode = 1;
    EXPECT_EQ(host.poll(refused), 1);
    EXPECT_EQ(refused.mon.resultCode, 2);
}

TEST_F(FtpCheck, BadSettingsAndHosts)
{
    struct Case {
        const char* what;
        int port;
        int secure;
        bool auth;
        bool withPassword;
        const char* reason;
    } cases[] = {
        {"port 70000", 70000, Plain, false, true, "Port is out of range"},
        {"port -1", -1, Plain, false, true, "Port is out of range"},
        {"secure type 5", 21, 5, false, true, "Incorrect monitor parameters"},
        {"login without password", 21, Plain, true, false, "Incorrect monitor parameters"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        rec.mon.typeIndex = kFtp;
        rec.mon.timeout = 1000;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("Port", nullptr, c.port, 'i');
        rec.addSetting("Use SFTP Protocol", nullptr, c.secure, 'e');
        rec.addSetting("User Account for Authentication", nullptr, c.auth ? 1 : 0, 'c');
        rec.addSetting("User Name", "u", 0, 'l');
        if (c.withPassword)
            rec.addSetting("Password", "p", 0, 'p');
        EXPECT_EQ(host.poll(rec), 1) << c.what;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.what;
    }
    PluginTestRecord empty;
    empty.mon.typeIndex = kFtp;
    empty.setHost("", testservers::kHost, false);
    EXPECT_EQ(host.poll(empty), 1);
    EXPECT_STREQ(empty.mon.failReason, "Incorrect monitor parameters");

    // A host text that would turn into another URL is refused; an IPv6 address is bracketed.
    PluginTestRecord sneaky;
    prepare(sneaky, 21, Plain, kAnonymous);
    sneaky.setHost("evil.test/@127.0.0.1", "", true);
    EXPECT_EQ(host.poll(sneaky), 1);
    EXPECT_STREQ(sneaky.mon.failReason, "invalid host name");
    PluginTestRecord v6;
    prepare(v6, LoopbackServer::closedPort(), Plain, kAnonymous);
    v6.setHost("", "::1", false);
    EXPECT_EQ(host.poll(v6), 1);
    EXPECT_STREQ(v6.mon.failReason, "Couldn't connect to server");
    EXPECT_EQ(v6.mon.resultCode, 2);
}

TEST_F(FtpCheck, SilentServerEndsAtTheTimeOut)
{
    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    ASSERT_TRUE(silent.ok());
    PluginTestRecord rec;
    prepare(rec, silent.port(), Plain, kAnonymous, true, 2000);
    EXPECT_EQ(host.poll(rec), 1);
    EXPECT_EQ(std::string(rec.mon.failReason).rfind("Timeout was reached", 0), 0u) << rec.mon.failReason;
}
