// The IMAP monitor type through the loaded library: dovecot (plain with STARTTLS, TLS from the
// start, a password that needs quoting) and scripted peers for the replies a real server does
// not give on demand.

#include "support/LineDialogue.h"
#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr unsigned kImap = 5;

struct Imap {
    int64_t port = testservers::kImapPort;
    int secure = 0;
    int auth = 1;
    std::string user = testservers::kUser;
    std::string password = testservers::kPassword;
};

class ImapCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    void prepare(PluginTestRecord& rec, const Imap& s, int timeoutMs = 5000, int mode = 0)
    {
        rec.mon.typeIndex = kImap;
        rec.mon.timeout = timeoutMs;
        rec.mon.mode = mode;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("Port", nullptr, s.port, 'i');
        rec.addSetting("User Account for Authentication", nullptr, s.auth, 'c');
        rec.addSetting("User Name", s.user.c_str(), 0, 'l');
        rec.addSetting("Password", s.password.c_str(), 0, 'p');
        rec.addSetting("Secure Connection Type", nullptr, s.secure, 'e');
        rec.addSetting("Ignore SSL certificate errors", nullptr, 1, 'y');
        rec.addSetting("Use TLS v1.0 only", nullptr, 0, 'y');
    }

    PluginTestHost host;
};

TEST_F(ImapCheck, DovecotByConnectionTypeAndLogin)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* name;
        int port;
        int secure;
        int auth;
        const char* user;
        const char* password;
        int result;
        std::string reason;
    } cases[] = {
        {"plain", testservers::kImapPort, 0, 1, testservers::kUser, testservers::kPassword, 0, ""},
        {"STARTTLS if available", testservers::kImapPort, 1, 1, testservers::kUser, testservers::kPassword, 0, ""},
        {"STARTTLS required", testservers::kImapPort, 2, 1, testservers::kUser, testservers::kPassword, 0, ""},
        {"TLS from the start", testservers::kImapsPort, 3, 1, testservers::kUser, testservers::kPassword, 0, ""},
        {"no login", testservers::kImapPort, 0, 0, "", "", 0, ""},
        // a blank, a quote and a bracket: one quoted string, not three words
        {"password that needs quoting", testservers::kImapsPort, 3, 1, testservers::kQuotedUser,
         testservers::kQuotedPassword, 0, ""},
        {"wrong password", testservers::kImapPort, 2, 1, testservers::kUser, "wrong", 1,
         " [AUTHENTICATIONFAILED] Authentication failed."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Imap s;
        s.port = k.port;
        s.secure = k.secure;
        s.auth = k.auth;
        s.user = k.user;
        s.password = k.password;
        PluginTestRecord rec;
        prepare(rec, s);
        EXPECT_EQ(host.poll(rec), k.result) << rec.mon.failReason;
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        EXPECT_EQ(rec.mon.resultCode, -2);
        EXPECT_GE(rec.mon.perfValue, 1);
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
    }
}

TEST_F(ImapCheck, ScriptedReplies)
{
    const std::string logout = "* BYE logging out\r\n";
    struct Case {
        const char* name;
        std::string greeting;
        std::vector<std::string> replies;
        int secure;
        int auth;
        std::string password;
        int mode;
        int result;
        int resultCode;
        std::string reason;
        std::vector<std::string> commands;
    } cases[] = {
        {"PREAUTH skips LOGIN", "* PREAUTH ready\r\n", {logout + "a0 OK done\r\n"}, 0, 1, "pw", 0, 0, -2, "",
         {"a0 LOGOUT\r\n"}},
        {"refused STARTTLS, TLS if available: tags a0 a1 a2", "* OK ready\r\n",
         {"a0 NO [PRIVACYREQUIRED] not here\r\n", "a1 OK logged in\r\n", logout + "a2 OK done\r\n"}, 1, 1, "pw", 0, 0,
         -2, "", {"a0 STARTTLS\r\n", "a1 LOGIN \"zamtest\" \"pw\"\r\n", "a2 LOGOUT\r\n"}},
        {"refused STARTTLS, TLS required", "* OK ready\r\n", {"a0 BAD not supported\r\n", logout + "a1 OK\r\n"}, 2,
         1, "pw", 0, 1, -2, " not supported", {"a0 STARTTLS\r\n", "a1 LOGOUT\r\n"}},
        {"NO to LOGIN", "* OK ready\r\n", {"a0 NO Login failed.\r\n", logout + "a1 OK\r\n"}, 0, 1, "pw", 0, 1, -2,
         " Login failed.", {"a0 LOGIN \"zamtest\" \"pw\"\r\n", "a1 LOGOUT\r\n"}},
        {"NO to LOGIN with an empty password", "* OK ready\r\n", {"a0 NO Login failed.\r\n", logout + "a1 OK\r\n"}, 0,
         1, "", 0, 1, -2, " Login failed. User name or password are empty.",
         {"a0 LOGIN \"zamtest\" \"\"\r\n", "a1 LOGOUT\r\n"}},
        // untagged notes before the tagged answer are not the answer
        {"untagged OK before the tagged reply", "* OK ready\r\n",
         {"* OK [ALERT] maintenance tonight\r\n* CAPABILITY IMAP4rev1\r\na0 NO Login failed.\r\n", logout + "a1 OK\r\n"},
         0, 1, "pw", 0, 1, -2, " Login failed.", {"a0 LOGIN \"zamtest\" \"pw\"\r\n", "a1 LOGOUT\r\n"}},
        {"8-bit password as a literal", "* OK ready\r\n", {"+ go ahead\r\n", "a0 OK\r\n", logout + "a1 OK\r\n"}, 0, 1,
         "p\xc3\xa4sswort", 0, 0, -2, "",
         {"a0 LOGIN \"zamtest\" {9}\r\n", "p\xc3\xa4sswort\r\n", "a1 LOGOUT\r\n"}},
        {"literal refused", "* OK ready\r\n", {"a0 BAD no literals\r\n", logout + "a1 OK\r\n"}, 0, 1,
         "p\xc3\xa4sswort", 0, 1, -2, " no literals", {"a0 LOGIN \"zamtest\" {9}\r\n", "a1 LOGOUT\r\n"}},
        {"LOGOUT without BYE", "* OK ready\r\n", {"a0 OK done\r\n"}, 0, 0, "", 0, 1, -2, " done", {"a0 LOGOUT\r\n"}},
        {"BYE greeting", "* BYE too many connections\r\n", {}, 0, 1, "pw", 0, 1, 2, " too many connections",
         {"a0 LOGOUT\r\n"}},
        {"1 MB data line", "* OK ready\r\n", {"* " + std::string(1 << 20, 'd') + "\r\n" + logout + "a0 OK\r\n"}, 0, 0,
         "", 0, 0, -2, "", {"a0 LOGOUT\r\n"}},
        {"discovery, greeting only", "* OK ready\r\n", {}, 0, 0, "", 1, 1, -2,
         "Timeout exceeded after sending logout command", {"a0 LOGOUT\r\n"}},
        {"discovery with an answer", "* OK ready\r\n", {"a0 BAD what\r\n"}, 0, 0, "", 1, 0, -2, " what",
         {"a0 LOGOUT\r\n"}},
        // an enumeration poll answers 0 or 1 like any other
        {"enumeration, greeting only", "* OK ready\r\n", {}, 0, 0, "", 2, 1, 2,
         "Timeout exceeded after sending logout command", {"a0 LOGOUT\r\n"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LineDialogue dialogue(k.greeting, k.replies);
        auto server = std::make_unique<LoopbackServer>(dialogue.script());
        ASSERT_TRUE(server->ok());
        Imap s;
        s.port = server->port();
        s.secure = k.secure;
        s.auth = k.auth;
        s.password = k.password;
        PluginTestRecord rec;
        prepare(rec, s, 3000, k.mode);
        EXPECT_EQ(host.poll(rec), k.result) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.resultCode, k.resultCode);
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        server.reset();
        EXPECT_EQ(dialogue.lines(), k.commands);
    }
}

TEST_F(ImapCheck, BadSettingsSilentPeersAndWrongKindOfConnection)
{
    struct Case {
        const char* name;
        Imap settings;
        const char* reason;
    } cases[] = {
        {"CR LF in the user name", {testservers::kImapPort, 0, 1, "zamtest\r\na9 DELETE INBOX", "x"},
         "Incorrect monitor parameters"},
        {"LF in the password", {testservers::kImapPort, 0, 1, "zamtest", "x\n"}, "Incorrect monitor parameters"},
        {"port above range", {65536, 0, 1, "zamtest", "x"}, "Port is out of range"},
        {"IMAPS port without TLS", {993, 0, 1, "zamtest", "x"},
         "IMAP Port 993 requires SSL connection by default. Please correct monitor setting 'Secure Connection Type' "
         "on Main parameters tab."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PluginTestRecord rec;
        prepare(rec, k.settings, 2000);
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_STREQ(rec.mon.failReason, k.reason);
    }

    ZAM_REQUIRE_TEST_SERVERS();
    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    ASSERT_TRUE(silent.ok());
    struct Timed {
        const char* name;
        int port;
        int secure;
        const char* reasonStart;
    } timed[] = {
        {"never greets", silent.port(), 0, "recv() timed out"},
        {"plain text to the TLS port", testservers::kImapsPort, 0, "recv() timed out"},
        {"TLS to the plain port", testservers::kImapPort, 3, "Cannot start SSL negotiation: "},
    };
    for (const Timed& k : timed) {
        SCOPED_TRACE(k.name);
        Imap s;
        s.port = k.port;
        s.secure = k.secure;
        PluginTestRecord rec;
        prepare(rec, s, 2000);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_LT(t.elapsed(), 4000);
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(k.reasonStart, 0), 0u) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.resultCode, 2);
    }
}

} // namespace
