// The "PostgreSQL Database" monitor type through the loaded library against the test
// PostgreSQL (TLS on), plus scripted loopback peers for a server without TLS, a silent server
// and a stop request.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kPgsql = 49;

struct PgsqlSettings {
    int port = testservers::kPostgresPort;
    std::string database = testservers::kDatabase;
    std::string sql = "SELECT 1";
    std::string user = testservers::kUser;
    std::string password = testservers::kPassword;
    int tls = 0;
    const char* skip = nullptr;  // a setting left out
};

class PgsqlCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    int poll(PluginTestRecord& rec, const PgsqlSettings& s, int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kPgsql;
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
        return host.poll(rec);
    }

    static bool startsWith(const char* text, const char* start) { return std::string(text).rfind(start, 0) == 0; }

    PluginTestHost host;
};

TEST_F(PgsqlCheck, FirstValueOfTheQuery)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* sql;
        int rc;
        int64_t value;
        const char* reason;
    };
    const Case cases[] = {
        {"SELECT 1", 0, 1, ""},
        {"SELECT amount FROM zam_items WHERE id = 2", 0, 3, ""},
        {"SELECT big FROM zam_items WHERE id = 1", 0, 3000000000LL, ""},
        {"SELECT big FROM zam_items WHERE id = 3", 0, -1, ""},
        {"SELECT '42 apples'", 0, 42, ""},
        {"SELECT big FROM zam_items WHERE id = 2", 1, 0, "First value is NULL"},
        {"SELECT ''", 1, 0, "First value is empty"},
        {"SELECT 'abc'", 1, 0, "First value is not number"},
        {"SELECT id FROM zam_items WHERE id = 99", 1, 0, "Result set is empty"},
        {"SELECT", 1, 0, "Result set has no columns"},
        {"CREATE TEMP TABLE t (x int); INSERT INTO t VALUES (1)", 1, 0, "Query has not returned any records"},
        // as one text the last statement decides
        {"SELECT 5; SELECT COUNT(*) FROM zam_items", 0, 3, ""},
        // only the first row of a long result is kept
        {"SELECT n FROM generate_series(1, 10000) AS n", 0, 1, ""},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        PgsqlSettings s;
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

TEST_F(PgsqlCheck, ServerRefusals)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* what;
        PgsqlSettings s;
        const char* reasonStart;
    };
    std::vector<Case> cases;
    cases.push_back({"wrong password", {}, "Cannot connect to server: "});
    cases.back().s.password = "wrong";
    cases.push_back({"missing database", {}, "Cannot connect to server: "});
    cases.back().s.database = "zam_no_such_db";
    cases.push_back({"nothing listening", {}, "Cannot connect to server: "});
    cases.back().s.port = LoopbackServer::closedPort();
    cases.push_back({"bad statement", {}, "Cannot execute query: ERROR:"});
    cases.back().s.sql = "SELECT * FROM zam_no_such_table";
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(poll(rec, c.s), 1) << c.what;
        EXPECT_EQ(rec.mon.resultCode, 2) << c.what;
        EXPECT_TRUE(startsWith(rec.mon.failReason, c.reasonStart)) << c.what << ": " << rec.mon.failReason;
        EXPECT_NE(rec.mon.failReason[std::strlen(rec.mon.failReason) - 1], '\n') << c.what;
    }
}

TEST_F(PgsqlCheck, MissingSettingIsRefusedBeforeConnecting)
{
    for (const char* name : {"Port", "Database Name", "SQL Expression", "User Name", "Password", "Use SSL/TLS connection"}) {
        PluginTestRecord rec;
        PgsqlSettings s;
        s.skip = name;
        EXPECT_EQ(poll(rec, s), 1) << name;
        EXPECT_STREQ(rec.mon.failReason, "Incorrect monitor settings") << name;
        EXPECT_EQ(rec.mon.resultCode, -2) << name;
    }
}

TEST_F(PgsqlCheck, RequiredTls)
{
    ZAM_REQUIRE_TEST_SERVERS();
    {
        PluginTestRecord rec;
        PgsqlSettings s;
        s.tls = 1;
        s.sql = "SELECT COUNT(*) FROM pg_stat_ssl WHERE pid = pg_backend_pid() AND ssl";
        ASSERT_EQ(poll(rec, s), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 1);
        EXPECT_GT(host.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("ssl=require")).size(), 0);
    }
    {
        PluginTestRecord rec;
        PgsqlSettings s;
        s.sql = "SELECT COUNT(*) FROM pg_stat_ssl WHERE pid = pg_backend_pid() AND ssl";
        ASSERT_EQ(poll(rec, s), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 0) << "TLS off means a plain connection";
    }
    {
        // a server that answers the TLS request with "N"
        LoopbackServer noTls([](int fd) {
            char request[8];
            if (::recv(fd, request, sizeof request, MSG_WAITALL) == 8)
                LoopbackServer::sendAll(fd, "N");
            LoopbackServer::drain(fd);
        });
        ASSERT_TRUE(noTls.ok());
        PluginTestRecord rec;
        PgsqlSettings s;
        s.tls = 1;
        s.port = noTls.port();
        EXPECT_EQ(poll(rec, s), 1);
        EXPECT_EQ(rec.mon.resultCode, 2);
        EXPECT_TRUE(startsWith(rec.mon.failReason, "Cannot connect to server: ")) << rec.mon.failReason;
        EXPECT_NE(std::string(rec.mon.failReason).find("SSL"), std::string::npos) << rec.mon.failReason;
    }
}

// A pooler's refusal of server options, then a second start-up: a loopback listener that
// answers every start-up packet with an error naming what it saw. Two connections at most.
class StartupRefuser
{
public:
    StartupRefuser()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(m_fd, 4) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            return;
        m_port = ntohs(sa.sin_port);
        m_thread = std::thread([this] {
            for (int i = 0; i < 2; ++i) {
                const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0)
                    return;
                const std::string startup = readStartup(c);
                const bool options = startup.find(std::string("options\0", 8)) != std::string::npos;
                const std::string text = i == 0 ? "unsupported startup parameter: options"
                                                : options ? "fake: options again" : "fake: no options";
                std::string body = std::string("SFATAL") + '\0' + "C08P01" + '\0' + "M" + text + '\0' + '\0';
                const uint32_t n = htonl(static_cast<uint32_t>(body.size() + 4));
                LoopbackServer::sendAll(c, "E" + std::string(reinterpret_cast<const char*>(&n), 4) + body);
                ::close(c);
            }
        });
    }
    ~StartupRefuser()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }

private:
    // Skips TLS and GSS requests (answered "N") and returns the start-up packet's body.
    static std::string readStartup(int fd)
    {
        for (;;) {
            uint32_t n = 0;
            if (::recv(fd, &n, 4, MSG_WAITALL) != 4)
                return std::string();
            const uint32_t size = ntohl(n);
            if (size < 8 || size > 10000)
                return std::string();
            std::string body(size - 4, '\0');
            if (::recv(fd, &body[0], body.size(), MSG_WAITALL) != static_cast<ssize_t>(body.size()))
                return std::string();
            if (size != 8)
                return body;
            LoopbackServer::sendAll(fd, "N");
        }
    }

    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

TEST_F(PgsqlCheck, PoolerRefusingServerOptionsGetsASecondPlainStartup)
{
    StartupRefuser pooler;
    ASSERT_NE(pooler.port(), 0);
    PluginTestRecord rec;
    PgsqlSettings s;
    s.port = pooler.port();
    EXPECT_EQ(poll(rec, s), 1);
    EXPECT_EQ(rec.mon.resultCode, 2);
    EXPECT_NE(std::string(rec.mon.failReason).find("fake: no options"), std::string::npos) << rec.mon.failReason;
}

TEST_F(PgsqlCheck, TimeBudgetBoundsConnectAndQuery)
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
        {"long query", testservers::kPostgresPort, "SELECT pg_sleep(30)", 2000},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        PgsqlSettings s;
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

TEST_F(PgsqlCheck, TimeBudgetBoundsATlsHandshakeThatStalls)
{
    // the peer agrees to TLS, takes the client's hello and never answers
    LoopbackServer stalling([](int fd) {
        char request[8];
        if (::recv(fd, request, sizeof request, MSG_WAITALL) == 8)
            LoopbackServer::sendAll(fd, "S");
        LoopbackServer::drain(fd);
    });
    ASSERT_TRUE(stalling.ok());
    PluginTestRecord rec;
    PgsqlSettings s;
    s.port = stalling.port();
    s.tls = 1;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(poll(rec, s, 1500), 1);
    EXPECT_STREQ(rec.mon.failReason, "Timeout exceeded");
    EXPECT_EQ(rec.mon.resultCode, 2);
    EXPECT_LT(clock.elapsed(), 2000);
}

int stopOnceAccepted(void* flag)
{
    return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

TEST_F(PgsqlCheck, StopRequestEndsTheWait)
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
    PgsqlSettings s;
    s.port = silent.port();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(poll(rec, s, 60000), 1);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_STREQ(rec.mon.failReason, "Operation aborted");
    EXPECT_EQ(rec.mon.resultCode, 2);
}

}  // namespace
