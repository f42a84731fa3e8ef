// The "MySQL Database" monitor type through the loaded library against the test MariaDB
// (TLS on), plus scripted loopback peers for a silent server and a stop request.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

constexpr unsigned kMysql = 16;

struct MysqlSettings {
    int port = testservers::kMysqlPort;
    std::string database = testservers::kDatabase;
    std::string sql = "SELECT 1";
    std::string user = testservers::kUser;
    std::string password = testservers::kPassword;
    int tls = 0;
    std::string caFolder;
    std::string caFile;
    int caIsFolder = 0;
    const char* skip = nullptr;  // a setting left out
};

class MysqlCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    int poll(PluginTestRecord& rec, const MysqlSettings& s, int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kMysql;
        rec.mon.timeout = timeoutMs;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        auto add = [&](const char* name, const char* text, int64_t value, int kind) {
            if (!s.skip || std::string(s.skip) != name)
                rec.addSetting(name, text, value, kind);
        };
        add("Port", nullptr, s.port, 'i');
        add("Database Name", s.database.c_str(), 0, 's');
        add("SQL Expression", s.sql.c_str(), 0, 's');
        add("User Name", s.user.c_str(), 0, 'l');
        add("Password", s.password.c_str(), 0, 'p');
        add("Use SSL/TLS connection", nullptr, s.tls, 'e');
        add("Trusted CA path", s.caFolder.c_str(), 0, 'w');
        add("Allow non-secure authentication", nullptr, 0, 'e');
        add("Trusted CA certificate", s.caFile.c_str(), 0, 'w');
        add("Use folder or file as CA path", nullptr, s.caIsFolder, 'e');
        rec.addSetting("$AdminName", "zamtest");
        return host.poll(rec);
    }

    bool logged(const char* text) const { return host.logTexts(ZAM_LOG_TRACE).filter(QLatin1String(text)).size() > 0; }

    PluginTestHost host;
};

TEST_F(MysqlCheck, FirstValueOfTheQuery)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* sql;
        int rc;
        int64_t value;
        const char* reason;
    };
    const Case cases[] = {
        {"SELECT COUNT(*) FROM zam_items", 0, 3, ""},
        {"SELECT amount FROM zam_items WHERE id = 1", 0, 12, ""},
        {"SELECT big FROM zam_items WHERE id = 1", 0, 3000000000LL, ""},
        {"SELECT big FROM zam_items WHERE id = 3", 0, -1, ""},
        {"SELECT name FROM zam_items WHERE id = 1", 1, 0, "First value is not number"},
        {"SELECT CAST('42' AS CHAR)", 1, 0, "First value is not number"},
        {"SELECT NOW()", 1, 0, "First value is not number"},
        {"SELECT big FROM zam_items WHERE id = 2", 1, 0, "First value is NULL"},
        {"SELECT id FROM zam_items WHERE id = 99", 1, 0, "Result set is empty"},
        {"UPDATE zam_items SET amount = amount WHERE id = 1", 1, 0, "Query has not returned any records"},
        // statements without rows are passed over; the first result set decides
        {"UPDATE zam_items SET amount = amount WHERE id = 1; SELECT COUNT(*) FROM zam_items; SELECT 7", 0, 3, ""},
        {"DO 1; SELECT id FROM zam_items WHERE id = 99; SELECT 7", 1, 0, "Result set is empty"},
        // only the first value of a long result is read
        {"WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 10000) SELECT n FROM r", 0, 1, ""},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        MysqlSettings s;
        s.sql = c.sql;
        EXPECT_EQ(poll(rec, s), c.rc) << c.sql << ": " << rec.mon.failReason;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.sql;
        if (c.rc == 0) {
            EXPECT_EQ(rec.mon.perfValue, c.value) << c.sql;
            EXPECT_EQ(rec.mon.resultCode, -2) << c.sql;
            EXPECT_GE(rec.mon.resultValue, 1) << c.sql;
        } else {
            EXPECT_EQ(rec.mon.resultCode, 2) << c.sql;
        }
    }
}

TEST_F(MysqlCheck, ServerRefusals)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* what;
        MysqlSettings s;
        const char* reasonStart;
    };
    std::vector<Case> cases;
    cases.push_back({"wrong password", {}, "Cannot connect to server: Access denied for user"});
    cases.back().s.password = "wrong";
    cases.push_back({"missing database", {}, "Cannot connect to server: "});
    cases.back().s.database = "zam_no_such_db";
    cases.push_back({"nothing listening", {}, "Cannot connect to server: "});
    cases.back().s.port = LoopbackServer::closedPort();
    cases.push_back({"bad statement", {}, "Cannot execute query: "});
    cases.back().s.sql = "SELECT * FROM zam_no_such_table";
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(poll(rec, c.s), 1) << c.what;
        EXPECT_EQ(rec.mon.resultCode, 2) << c.what;
        EXPECT_EQ(std::string(rec.mon.failReason).rfind(c.reasonStart, 0), 0u) << c.what << ": " << rec.mon.failReason;
    }
}

TEST_F(MysqlCheck, MissingSettingIsRefusedBeforeConnecting)
{
    for (const char* name : {"Port", "Database Name", "SQL Expression", "User Name", "Password", "Use SSL/TLS connection",
                             "Trusted CA path", "Allow non-secure authentication", "Trusted CA certificate",
                             "Use folder or file as CA path"}) {
        PluginTestRecord rec;
        MysqlSettings s;
        s.skip = name;
        EXPECT_EQ(poll(rec, s), 1) << name;
        EXPECT_STREQ(rec.mon.failReason, "Incorrect monitor settings") << name;
        EXPECT_EQ(rec.mon.resultCode, -2) << name;
        EXPECT_FALSE(logged("connect to '")) << name;
    }
}

TEST_F(MysqlCheck, TlsWithCipherAndTrustedCa)
{
    ZAM_REQUIRE_TEST_SERVERS();
    {
        PluginTestRecord rec;
        MysqlSettings s;
        s.tls = 1;
        s.sql = "SELECT COUNT(*) FROM zam_items";
        ASSERT_EQ(poll(rec, s), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 3);
        EXPECT_TRUE(logged("get ssl cipher ok"));
    }
    {
        // the cipher the server sees for this very session
        PluginTestRecord rec;
        MysqlSettings s;
        s.tls = 1;
        s.sql = "SELECT LENGTH(VARIABLE_VALUE) > 0 FROM information_schema.SESSION_STATUS WHERE VARIABLE_NAME = 'Ssl_cipher'";
        ASSERT_EQ(poll(rec, s), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 1);
    }
    {
        PluginTestRecord rec;
        MysqlSettings s;
        s.tls = 1;
        s.caFile = testservers::caCertPath().toStdString();
        EXPECT_EQ(poll(rec, s), 0) << rec.mon.failReason;
    }
    {
        // a CA that did not sign the server's certificate
        PluginTestRecord rec;
        MysqlSettings s;
        s.tls = 1;
        s.caFile = testservers::selfSignedCertPath().toStdString();
        EXPECT_EQ(poll(rec, s), 1);
        EXPECT_EQ(rec.mon.resultCode, 2);
        EXPECT_EQ(std::string(rec.mon.failReason).rfind("Cannot connect to server: ", 0), 0u) << rec.mon.failReason;
    }
}

TEST_F(MysqlCheck, TlsChoiceOutsideTheTableFallsBackToPlain)
{
    // the TLS attempt fails on an untrusted certificate; the plain attempt then succeeds
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    MysqlSettings s;
    s.tls = 2;
    s.caFile = testservers::selfSignedCertPath().toStdString();
    s.sql = "SELECT 5";
    ASSERT_EQ(poll(rec, s), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.perfValue, 5);
    EXPECT_STREQ(rec.mon.failReason, "");
    EXPECT_TRUE(logged("prepare to use ssl ok"));
}

TEST_F(MysqlCheck, TimeBudgetBoundsConnectAndQuery)
{
    ZAM_REQUIRE_TEST_SERVERS();
    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    ASSERT_TRUE(silent.ok());
    LoopbackServer unanswered(nullptr, LoopbackServer::NoAccept);
    ASSERT_TRUE(unanswered.ok());
    struct Case {
        const char* what;
        int port;
        const char* sql;
        int timeoutMs;
    };
    const Case cases[] = {
        {"silent peer", silent.port(), "SELECT 1", 1500},
        {"unanswered connect", unanswered.port(), "SELECT 1", 1500},
        {"long query", testservers::kMysqlPort, "SELECT SLEEP(30)", 2000},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        MysqlSettings s;
        s.port = c.port;
        s.sql = c.sql;
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(poll(rec, s, c.timeoutMs), 1) << c.what;
        const qint64 took = clock.elapsed();
        EXPECT_STREQ(rec.mon.failReason, "Timeout exceeded") << c.what;
        EXPECT_EQ(rec.mon.resultCode, 2) << c.what;
        EXPECT_GE(took, c.timeoutMs - 50) << c.what;
        EXPECT_LT(took, c.timeoutMs + 500) << c.what;
    }
}

// A server greeting that offers TLS (protocol 10, MariaDB-style), as a framed packet.
std::string greetingOfferingTls()
{
    std::string p;
    p += '\x0a';
    p += std::string("5.5.5-10.11.0-MariaDB") + '\0';
    p += std::string("\x01\x00\x00\x00", 4);           // connection id
    p += "abcdefgh";                                     // scramble, first part
    p += '\0';
    p += std::string("\x00\xaa", 2);                     // capabilities: 4.1 protocol, TLS, secure auth
    p += '\x21';                                         // character set
    p += std::string("\x02\x00", 2);                     // status
    p += std::string("\x08\x00", 2);                     // capabilities, upper: plug-in auth
    p += '\x15';                                         // scramble length 21
    p += std::string(10, '\0');
    p += std::string("ijklmnopqrst") + '\0';             // scramble, second part
    p += std::string("mysql_native_password") + '\0';
    std::string framed;
    framed += static_cast<char>(p.size() & 0xff);
    framed += static_cast<char>((p.size() >> 8) & 0xff);
    framed += '\0';
    framed += '\0';
    return framed + p;
}

TEST_F(MysqlCheck, TimeBudgetBoundsATlsHandshakeThatStalls)
{
    // the peer greets, takes the TLS request and the client's hello, and never answers; the
    // client library runs this handshake itself, bounded by the time-out rounded up to seconds
    LoopbackServer stalling([](int fd) {
        LoopbackServer::sendAll(fd, greetingOfferingTls());
        LoopbackServer::drain(fd);
    });
    ASSERT_TRUE(stalling.ok());
    PluginTestRecord rec;
    MysqlSettings s;
    s.port = stalling.port();
    s.tls = 1;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(poll(rec, s, 2000), 1);
    EXPECT_STREQ(rec.mon.failReason, "Timeout exceeded");
    EXPECT_EQ(rec.mon.resultCode, 2);
    EXPECT_LT(clock.elapsed(), 3000);
}

int stopOnceAccepted(void* flag)
{
    return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

TEST_F(MysqlCheck, StopRequestEndsTheWait)
{
    std::atomic<bool> accepted{false};
    LoopbackServer silent([&](int fd) {
        accepted = true;
        LoopbackServer::drain(fd);
    });
    ASSERT_TRUE(silent.ok());
    PluginTestRecord rec;
    rec.mon.stillAlive = stopOnceAccepted;
    rec.mon.stillAliveContext = &accepted;
    MysqlSettings s;
    s.port = silent.port();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(poll(rec, s, 60000), 1);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_STREQ(rec.mon.failReason, "Operation aborted");
    EXPECT_EQ(rec.mon.resultCode, 2);
}

}  // namespace
