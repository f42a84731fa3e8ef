// The POP3 monitor type through the loaded library: dovecot (plain with STLS, TLS from the
// start) and scripted peers for greetings and refusals a real server does not give on demand.

#include "support/LineDialogue.h"
#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr unsigned kPop3 = 4;

struct Pop3 {
    int64_t port = testservers::kPop3Port;
    int secure = 0;
    int auth = 1;
    std::string user = testservers::kUser;
    std::string password = testservers::kPassword;
};

class Pop3Check : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    void prepare(PluginTestRecord& rec, const Pop3& s, int timeoutMs = 5000, int mode = 0)
    {
        rec.mon.typeIndex = kPop3;
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

TEST_F(Pop3Check, DovecotByConnectionTypeAndLogin)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string suffix = " [POP3 server may require authentication]";
    struct Case {
        const char* name;
        int port;
        int secure;
        int auth;
        const char* password;
        int result;
        std::string reason;  // "*..." : ends with the rest
    } cases[] = {
        {"plain", testservers::kPop3Port, 0, 1, testservers::kPassword, 0, ""},
        {"STLS if available", testservers::kPop3Port, 1, 1, testservers::kPassword, 0, ""},
        {"STLS required", testservers::kPop3Port, 2, 1, testservers::kPassword, 0, ""},
        {"TLS from the start", testservers::kPop3sPort, 3, 1, testservers::kPassword, 0, ""},
        {"wrong password", testservers::kPop3Port, 2, 1, "wrong", 1, "[AUTH] Authentication failed."},
        {"STAT without login", testservers::kPop3Port, 0, 0, "", 1, "Unknown command." + suffix},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Pop3 s;
        s.port = k.port;
        s.secure = k.secure;
        s.auth = k.auth;
        s.password = k.password;
        PluginTestRecord rec;
        prepare(rec, s);
        EXPECT_EQ(host.poll(rec), k.result) << rec.mon.failReason;
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        EXPECT_EQ(rec.mon.resultCode, -2);
        // a refusal still reports how long the connection lasted
        EXPECT_GE(rec.mon.perfValue, 1);
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
    }
}

TEST_F(Pop3Check, ScriptedReplies)
{
    struct Case {
        const char* name;
        std::string greeting;
        std::vector<std::string> replies;
        int secure;
        int auth;
        int mode;
        int result;
        int resultCode;
        std::string reason;
        std::vector<std::string> commands;
    } cases[] = {
        {"-ERR greeting", "-ERR [SYS/TEMP] too busy, try later  \r\n", {}, 0, 1, 0, 1, -2, "[SYS/TEMP] too busy, try later",
         {}},
        {"refused STLS, TLS if available", "+OK ready\r\n",
         {"-ERR not now\r\n", "+OK\r\n", "+OK logged in\r\n", "+OK 1 120\r\n", "+OK bye\r\n"}, 1, 1, 0, 0, -2, "",
         {"STLS\r\n", "USER zamtest\r\n", "PASS zt-Secret42\r\n", "STAT\r\n", "QUIT\r\n"}},
        {"refused STLS, TLS required", "+OK ready\r\n", {"-ERR not now\r\n"}, 2, 1, 0, 1, -2, "not now",
         {"STLS\r\n"}},
        {"refused user: no STAT", "+OK ready\r\n", {"-ERR unknown user\r\n", "+OK bye\r\n"}, 0, 1, 0, 1, -2,
         "unknown user", {"USER zamtest\r\n", "QUIT\r\n"}},
        {"QUIT refused after a clean dialogue", "+OK ready\r\n", {"+OK 0 0\r\n", "-ERR no\r\n"}, 0, 0, 0, 1, -2, "no",
         {"STAT\r\n", "QUIT\r\n"}},
        {"QUIT unanswered", "+OK ready\r\n", {"+OK 0 0\r\n"}, 0, 0, 0, 1, 2,
         "Falied to get server response on QUIT command: (no details)", {"STAT\r\n", "QUIT\r\n"}},
        // discovery: any counted reply after the greeting is a server
        {"discovery with refusals", "+OK ready\r\n", {"-ERR what\r\n", "-ERR no\r\n"}, 0, 0, 1, 0, -2,
         "what [POP3 server may require authentication]",
         {"STAT\r\n", "QUIT\r\n"}},
        {"discovery, greeting only", "+OK ready\r\n", {}, 0, 0, 1, 1, -2,
         "Failed to get number of incoming messages: (no details)", {"STAT\r\n"}},
        // an enumeration poll answers 0 or 1 like any other
        {"enumeration, greeting only", "+OK ready\r\n", {}, 0, 0, 2, 1, 2,
         "Failed to get number of incoming messages: (no details)", {"STAT\r\n"}},
        {"1 MB greeting line", "+OK " + std::string(1 << 20, 'x') + "\r\n", {"+OK 0 0\r\n", "+OK bye\r\n"}, 0, 0, 0, 0,
         -2, "", {"STAT\r\n", "QUIT\r\n"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LineDialogue dialogue(k.greeting, k.replies);
        auto server = std::make_unique<LoopbackServer>(dialogue.script());
        ASSERT_TRUE(server->ok());
        Pop3 s;
        s.port = server->port();
        s.secure = k.secure;
        s.auth = k.auth;
        PluginTestRecord rec;
        prepare(rec, s, 3000, k.mode);
        EXPECT_EQ(host.poll(rec), k.result) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.resultCode, k.resultCode);
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        server.reset();
        EXPECT_EQ(dialogue.lines(), k.commands);
    }
}

TEST_F(Pop3Check, BadSettingsAndSilentPeers)
{
    struct Case {
        const char* name;
        Pop3 settings;
        const char* reason;
    } cases[] = {
        {"CR LF in the user name", {testservers::kPop3Port, 0, 1, "zamtest\r\nDELE 1", "x"}, "Incorrect monitor parameters"},
        {"LF in the password", {testservers::kPop3Port, 0, 1, "zamtest", "x\nDELE 1"}, "Incorrect monitor parameters"},
        {"port above range", {70000, 0, 1, "zamtest", "x"}, "Port is out of range"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        PluginTestRecord rec;
        prepare(rec, k.settings);
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_STREQ(rec.mon.failReason, k.reason);
    }

    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    ASSERT_TRUE(silent.ok());
    struct Silent {
        const char* name;
        int port;
        int secure;
        const char* reason;
    } silentCases[] = {
        {"never greets", silent.port(), 0, "Failed to get server greeting: recv() timed out"},
    };
    for (const Silent& k : silentCases) {
        SCOPED_TRACE(k.name);
        Pop3 s;
        s.port = k.port;
        s.secure = k.secure;
        PluginTestRecord rec;
        prepare(rec, s, 2000);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_LT(t.elapsed(), 4000);
        EXPECT_STREQ(rec.mon.failReason, k.reason);
        EXPECT_EQ(rec.mon.resultCode, 2);
    }
}

TEST_F(Pop3Check, WrongKindOfConnection)
{
    ZAM_REQUIRE_TEST_SERVERS();
    // TLS to the plain port and plain text to the TLS port fail within the budget
    struct Case {
        int port;
        int secure;
        const char* reasonStart;
    } cases[] = {
        {testservers::kPop3Port, 3, "Cannot start SSL negotiation: "},
        {testservers::kPop3sPort, 0, "Failed to get server greeting: "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.port);
        Pop3 s;
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

    // the well-known ports name the setting to correct (ordinary polls only)
    const int closed995 = 995;
    PluginTestRecord rec;
    Pop3 s;
    s.port = closed995;
    prepare(rec, s, 2000);
    EXPECT_EQ(host.poll(rec), 1);
    EXPECT_STREQ(rec.mon.failReason, "POP3 Port 995 requires SSL connection by default. Please correct monitor "
                                     "setting 'Secure Connection Type' on Main parameters tab.");
}

} // namespace
