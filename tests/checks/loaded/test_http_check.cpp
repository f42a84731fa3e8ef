// The HTTP(S) monitor type through the loaded library: nginx for the real server cases,
// scripted loopback peers to see what the check sends, to stream ICY and oversized answers,
// and to stay silent.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>
#include <unistd.h>
#include <string>

namespace {

constexpr unsigned kHttp = 6;

std::string url(quint16 port, const char* path, const char* scheme = "http")
{
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
}

// Records the request head (and a body announced by Content-Length) and answers `reply`.
class CapturingServer
{
public:
    explicit CapturingServer(std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok")
        : m_server([this, reply](int fd) { serve(fd, reply); })
    {
    }
    quint16 port() const { return m_server.port(); }
    std::string request() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_request;
    }

private:
    void serve(int fd, const std::string& reply)
    {
        std::string head;
        size_t bodyLength = 0;
        for (;;) {
            const std::string line = LoopbackServer::readLine(fd);
            if (line.empty() || line == "\r\n")
                break;
            head += line;
            if (line.rfind("Content-Length: ", 0) == 0)
                bodyLength = std::stoul(line.substr(16));
        }
        std::string body(bodyLength, '\0');
        for (size_t got = 0; got < bodyLength;) {
            const ssize_t n = ::read(fd, &body[got], bodyLength - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_request = head + "\r\n" + body;
        }
        LoopbackServer::sendAll(fd, reply);
    }

    mutable std::mutex m_mutex;
    std::string m_request;
    LoopbackServer m_server;
};

class HttpCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    // The settings rows the manager sends for a default monitor, with the URL given.
    void prepare(PluginTestRecord& rec, const std::string& address, int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kHttp;
        rec.mon.timeout = timeoutMs;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("URL", address.c_str(), 0, 'u');
        rec.addSetting("Request Method", nullptr, 0, 'e');
        rec.addSetting("HTTP Version", nullptr, 1, 'e');
        rec.addSetting("User Agent", nullptr, 1, 'e');
        rec.addSetting("Ignore HTTPS (SSL) errors", nullptr, 1, 'y');
        rec.addSetting("Start from", nullptr, 0, 'e');
        rec.addSetting("Finish on", nullptr, 0, 'e');
    }

    PluginTestHost host;
};

TEST_F(HttpCheck, StatusCodesAndRulesFromNginx)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* path;
        int status;
        const char* rule1;  // simple rule that must hold
        const char* rule2;  // regex rule that must hold
    } cases[] = {
        {"/", 200, testservers::kHttpContentMarker, "^HTTP/1\\.1 200"},
        {"/nope", 404, "404 Not Found", "^HTTP/1\\.1 404"},
        {"/error", 500, "error page", "500"},
        // Both header blocks of a followed redirect pass the rules.
        {"/redirect", 200, "HTTP/1.1 302", "302 Moved.*200 OK"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, url(testservers::kHttpPort, c.path));
        rec.setValidation(0, 0x01, c.rule1);
        rec.setValidation(1, 0x11, c.rule2);
        EXPECT_EQ(host.poll(rec), 0) << c.path << ": " << rec.mon.failReason;
        EXPECT_EQ(rec.mon.resultExtra2, c.status) << c.path;
        EXPECT_GE(rec.mon.perfValue, 1) << c.path;
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue) << c.path;
        EXPECT_EQ(rec.mon.validationFailed[0], 0) << c.path;
        EXPECT_EQ(rec.mon.validationFailed[1], 0) << c.path;
    }
    PluginTestRecord rec;
    prepare(rec, url(testservers::kHttpPort, "/"));
    rec.setValidation(0, 0x01, "absent-word");
    rec.setValidation(1, 0x05, testservers::kHttpContentMarker);
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.validationFailed[0], 1);
    EXPECT_EQ(rec.mon.validationFailed[1], 1);
}

TEST_F(HttpCheck, PollsFromManyThreadsAtOnce)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string noScheme = "127.0.0.1:" + std::to_string(testservers::kHttpPort) + "/";
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            stCoreZamThreadContext* tctx = nullptr;
            if (host.api().init_thread(host.ctx(), &tctx) != 0) {
                ++wrong;
                return;
            }
            for (int i = 0; i < 50; ++i) {
                PluginTestRecord rec;
                // Half without a scheme: the URL rule runs on every thread.
                prepare(rec, i % 2 ? noScheme : url(testservers::kHttpPort, "/nope"));
                rec.setValidation(0, 0x11, "HTTP/1\\.1 (200|404)");
                if (host.api().poll(host.ctx(), tctx, &rec.mon) != 0 || rec.mon.validationFailed[0] != 0)
                    ++wrong;
            }
            host.api().term_thread(host.ctx(), tctx);
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(HttpCheck, TlsVersionsAndCertificates)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        quint16 port;
        int version;
        int ignoreErrors;
        int result;
        const char* statusLine;  // regex rule, or the fail reason's start
    } cases[] = {
        {testservers::kHttpsPort, 4, 1, 0, "^HTTP/2 200"},
        {testservers::kHttpsPort, 2, 1, 0, "^HTTP/1\\.1 200"},
        {testservers::kHttpsSelfSignedPort, 1, 1, 0, "^HTTP/1\\.1 200"},
        {testservers::kHttpsExpiredPort, 1, 1, 0, "^HTTP/1\\.1 200"},
        {testservers::kHttpsSelfSignedPort, 1, 0, 1, "SSL peer certificate or SSH remote key was not OK"},
        {testservers::kHttpsExpiredPort, 1, 0, 1, "SSL peer certificate or SSH remote key was not OK"},
        {testservers::kHttpsPort, 30, 1, 1, "Unsupported protocol"},
        {testservers::kHttpsPort, 31, 1, 1, "Unsupported protocol"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, url(c.port, "/", "https"));
        rec.clearSettings();
        rec.addSetting("URL", url(c.port, "/", "https").c_str(), 0, 'u');
        rec.addSetting("Request Method", nullptr, 0, 'e');
        rec.addSetting("HTTP Version", nullptr, c.version, 'e');
        rec.addSetting("User Agent", nullptr, 1, 'e');
        rec.addSetting("Ignore HTTPS (SSL) errors", nullptr, c.ignoreErrors, 'y');
        if (c.result == 0)
            rec.setValidation(0, 0x11, c.statusLine);
        EXPECT_EQ(host.poll(rec), c.result) << c.port << " v" << c.version << ": " << rec.mon.failReason;
        if (c.result == 0) {
            EXPECT_EQ(rec.mon.resultExtra2, 200);
            EXPECT_EQ(rec.mon.validationFailed[0], 0) << c.port << " v" << c.version;
        } else {
            EXPECT_STREQ(rec.mon.failReason, c.statusLine) << c.port << " v" << c.version;
        }
    }
}

TEST_F(HttpCheck, PostBodyReachesTheServer)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    prepare(rec, url(testservers::kHttpPort, "/echo"));
    rec.addSetting("Request Method", nullptr, 1, 'e');
    rec.addSetting(" POST Data", "a=1&b=2", 0, 't');
    rec.setValidation(0, 0x01, "a=1&b=2");
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.resultExtra2, 200);
    EXPECT_EQ(rec.mon.validationFailed[0], 0);

    CapturingServer server;
    PluginTestRecord rec2;
    prepare(rec2, url(server.port(), "/form"));
    rec2.addSetting("Request Method", nullptr, 1, 'e');
    rec2.addSetting(" POST Data", "a=1&b=2", 0, 't');
    EXPECT_EQ(host.poll(rec2), 0) << rec2.mon.failReason;
    const std::string sent = server.request();
    EXPECT_EQ(sent.rfind("POST /form HTTP/1.1\r\n", 0), 0u) << sent;
    EXPECT_NE(sent.find("Content-Length: 7\r\n"), std::string::npos) << sent;
    EXPECT_EQ(sent.substr(sent.size() - 7), "a=1&b=2");
}

TEST_F(HttpCheck, UserAgentsAndCustomHeadersAsSent)
{
    struct Case {
        int agent;
        const char* custom;  // null: no " Custom string" row
        const char* line;    // expected line, null: no User-Agent line
    } cases[] = {
        {9, "ignored", "User-Agent: Mozilla/5.0 (Windows NT 6.3; WOW64; rv:53.0) Gecko/20100101 Firefox/53.0\r\n"},
        {14, nullptr, "User-Agent: Wget/1.8.1\r\n"},
        {0, "Probe/2.0", "User-Agent: Probe/2.0\r\n"},
        {0, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        CapturingServer server;
        PluginTestRecord rec;
        prepare(rec, url(server.port(), "/"));
        rec.addSetting("User Agent", nullptr, c.agent, 'e');
        if (c.custom)
            rec.addSetting(" Custom string", c.custom, 0, 's');
        EXPECT_EQ(host.poll(rec), 0) << c.agent << ": " << rec.mon.failReason;
        const std::string sent = server.request();
        if (c.line)
            EXPECT_NE(sent.find(c.line), std::string::npos) << sent;
        else
            EXPECT_EQ(sent.find("User-Agent"), std::string::npos) << sent;
    }

    CapturingServer server;
    PluginTestRecord rec;
    prepare(rec, url(server.port(), "/"));
    rec.addSetting("Custom HTTP headers", nullptr, 1, 'y');
    rec.addSetting(" HTTP headers", "X-Probe: 7\nX-Empty:\n", 0, 't');
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    const std::string sent = server.request();
    EXPECT_NE(sent.find("\r\nX-Probe: 7\r\n"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\r\nX-Empty:\r\n"), std::string::npos) << sent;
}

TEST_F(HttpCheck, IcyStreamEndsAtOnceWithItsCode)
{
    LoopbackServer server([](int fd) {
        LoopbackServer::readLine(fd);
        if (!LoopbackServer::sendAll(fd, "ICY 200 OK\r\nicy-name: test radio\r\n\r\n"))
            return;
        const std::string audio(4096, 'x');
        while (LoopbackServer::sendAll(fd, audio)) {
        }
    });
    PluginTestRecord rec;
    prepare(rec, url(server.port(), "/stream"));
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.resultExtra2, 200);
}

TEST_F(HttpCheck, DiscoveryEndsAtTheFirstByte)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    prepare(rec, url(testservers::kHttpPort, "/slow-body"), 60000);
    rec.mon.mode = 1;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    // The whole body takes 200 s at 1 kB/s.
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_GE(rec.mon.perfValue, 1);
}

TEST_F(HttpCheck, ReverseMode)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord closed;
    prepare(closed, url(LoopbackServer::closedPort(), "/"));
    closed.addSetting("Reverse", nullptr, 1, 'y');
    EXPECT_EQ(host.poll(closed), 0) << closed.mon.failReason;
    EXPECT_EQ(closed.mon.resultExtra2, 200);
    EXPECT_EQ(closed.mon.resultValue, 1);

    PluginTestRecord open;
    prepare(open, url(testservers::kHttpPort, "/"));
    open.addSetting("Reverse", nullptr, 1, 'y');
    EXPECT_EQ(host.poll(open), 1);
    EXPECT_STREQ(open.mon.failReason, "poll succeeded for reverse monitor");

    PluginTestRecord plain;
    prepare(plain, url(LoopbackServer::closedPort(), "/"));
    EXPECT_EQ(host.poll(plain), 1);
    EXPECT_EQ(plain.mon.resultCode, 2);
    EXPECT_STREQ(plain.mon.failReason, "Couldn't connect to server");
}

TEST_F(HttpCheck, BadSettingsGiveClearReasons)
{
    struct Case {
        const char* name;
        const char* setting;
        const char* text;
        int64_t value;
        int kind;
        const char* reason;
    } cases[] = {
        {"ftp URL", "URL", "ftp://x", 0, 'u', "Invalid URL"},
        {"empty URL", "URL", "", 0, 'u', "Invalid URL"},
        {"method 5", "Request Method", nullptr, 5, 'e', "Incorrect request parameters"},
        {"version 6", "HTTP Version", nullptr, 6, 'e', "Incorrect request parameters"},
        {"agent 15", "User Agent", nullptr, 15, 'e', "Incorrect monitor parameters"},
        {"agent -1", "User Agent", nullptr, -1, 'e', "Incorrect monitor parameters"},
        {"proxy type 2", "Proxy Server", nullptr, 2, 'e', "Incorrect request parameters"},
        {"header with a control character", " HTTP headers", "X-A: 1\x01", 0, 't',
         "Custom HTTP headers hold a control character"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, "http://127.0.0.1:1/");
        rec.addSetting("Custom HTTP headers", nullptr, 1, 'y');
        rec.addSetting(c.setting, c.text, c.value, c.kind);
        EXPECT_EQ(host.poll(rec), 1) << c.name;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.name;
    }
    PluginTestRecord rec;
    prepare(rec, "http://127.0.0.1:1/");
    rec.addSetting("Proxy Server", nullptr, 1, 'e');
    rec.addSetting(" Proxy Server URL", "http://", 0, 's');
    EXPECT_EQ(host.poll(rec), 1);
    EXPECT_STREQ(rec.mon.failReason, "Invalid proxy URL");
}

// Reads exactly n bytes; empty when the peer closed early.
std::string readExactly(int fd, size_t n)
{
    std::string out(n, '\0');
    for (size_t got = 0; got < n;) {
        const ssize_t r = ::read(fd, &out[got], n - got);
        if (r <= 0)
            return std::string();
        got += static_cast<size_t>(r);
    }
    return out;
}

// A SOCKS 4 or 5 proxy for one connection that accepts login "pu"/"pw" (SOCKS 5) and then
// answers the tunnelled HTTP request itself; `seen` gets what it was asked to reach.
void socksPeer(int fd, int version, std::string* seen, std::mutex* m)
{
    std::string target;
    if (version == 4) {
        const std::string head = readExactly(fd, 8);
        if (head.size() != 8 || head[0] != 4 || head[1] != 1)
            return;
        for (std::string c = readExactly(fd, 1); !c.empty() && c[0] != '\0'; c = readExactly(fd, 1)) {
        }
        target = "socks4 " + std::to_string(static_cast<unsigned char>(head[2]) * 256 + static_cast<unsigned char>(head[3]));
        LoopbackServer::sendAll(fd, std::string("\0\x5a\0\0\0\0\0\0", 8));
    } else {
        const std::string greet = readExactly(fd, 2);
        if (greet.size() != 2 || greet[0] != 5)
            return;
        const std::string methods = readExactly(fd, static_cast<unsigned char>(greet[1]));
        if (methods.find('\x02') == std::string::npos) {
            LoopbackServer::sendAll(fd, "\x05\xff");
            return;
        }
        LoopbackServer::sendAll(fd, "\x05\x02");
        const std::string ver = readExactly(fd, 2);
        const std::string user = readExactly(fd, static_cast<unsigned char>(ver[1]));
        const std::string plen = readExactly(fd, 1);
        const std::string pass = readExactly(fd, static_cast<unsigned char>(plen[0]));
        const bool good = user == "pu" && pass == "pw";
        LoopbackServer::sendAll(fd, std::string(good ? "\x01\x00" : "\x01\x01", 2));
        if (!good)
            return;
        const std::string req = readExactly(fd, 4);
        if (req.size() != 4 || req[3] != 1)
            return;
        const std::string addr = readExactly(fd, 6);
        target = "socks5 " + std::to_string(static_cast<unsigned char>(addr[4]) * 256 + static_cast<unsigned char>(addr[5]));
        LoopbackServer::sendAll(fd, std::string("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50", 10));
    }
    while (true) {
        const std::string line = LoopbackServer::readLine(fd);
        if (line.empty() || line == "\r\n")
            break;
    }
    {
        std::lock_guard<std::mutex> lock(*m);
        *seen = target;
    }
    LoopbackServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\ntunnel!");
}

TEST_F(HttpCheck, ProxiesCarryTheRequest)
{
    // HTTP proxy: the absolute URL and the proxy login reach it.
    {
        CapturingServer proxy;
        PluginTestRecord rec;
        prepare(rec, "http://web.test:8080/page");
        rec.addSetting("Proxy Server", nullptr, 1, 'e');
        rec.addSetting(" Proxy Server URL", ("127.0.0.1:" + std::to_string(proxy.port())).c_str(), 0, 's');
        rec.addSetting("Proxy Server Login", "pu", 0, 'l');
        rec.addSetting("Proxy Server Password", "pw", 0, 'p');
        EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        const std::string sent = proxy.request();
        EXPECT_EQ(sent.rfind("GET http://web.test:8080/page HTTP/1.1\r\n", 0), 0u) << sent;
        EXPECT_NE(sent.find("Proxy-Authorization: Basic cHU6cHc=\r\n"), std::string::npos) << sent;
    }
    struct Case {
        int type;
        const char* password;
        int result;
        const char* seen;
    } cases[] = {
        {5, "", 0, "socks4 8080"},
        {6, "pw", 0, "socks5 8080"},
        {6, "wrong", 1, ""},
    };
    for (const Case& c : cases) {
        std::mutex m;
        std::string seen;
        const int version = c.type == 5 ? 4 : 5;
        LoopbackServer proxy([&](int fd) { socksPeer(fd, version, &seen, &m); });
        PluginTestRecord rec;
        prepare(rec, "http://127.0.0.1:8080/");
        rec.addSetting("Proxy Server", nullptr, c.type, 'e');
        rec.addSetting(" Proxy Server URL", ("127.0.0.1:" + std::to_string(proxy.port())).c_str(), 0, 's');
        rec.addSetting("Proxy Server Login", "pu", 0, 'l');
        rec.addSetting("Proxy Server Password", c.password, 0, 'p');
        rec.setValidation(0, 0x01, "tunnel!");
        EXPECT_EQ(host.poll(rec), c.result) << c.type << ": " << rec.mon.failReason;
        if (c.result == 0)
            EXPECT_EQ(rec.mon.validationFailed[0], 0);
        else
            EXPECT_STRNE(rec.mon.failReason, "");
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(seen, c.seen) << c.type;
    }
}

TEST_F(HttpCheck, RealProxiesCarryTheRequest)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string http = url(testservers::kHttpPort, "/");
    const std::string https = url(testservers::kHttpsPort, "/", "https");
    struct Case {
        const char* name;
        int type;
        quint16 proxyPort;
        std::string target;
        const char* password;
        int result;
        int status;  // status-code word when the poll succeeds
    } cases[] = {
        {"tinyproxy", 1, testservers::kHttpProxyPort, http, testservers::kPassword, 0, 200},
        {"tinyproxy, CONNECT for https", 1, testservers::kHttpProxyPort, https, testservers::kPassword, 0, 200},
        // without a tunnel the proxy's refusal is the response: its code, not the site's
        {"tinyproxy, wrong password", 1, testservers::kHttpProxyPort, http, "wrong", 0, 401},
        {"tinyproxy, wrong password, CONNECT", 1, testservers::kHttpProxyPort, https, "wrong", 1, 0},
        {"danted, SOCKS 4", 5, testservers::kSocksPort, http, "", 0, 200},
        {"danted, SOCKS 5 with login", 6, testservers::kSocksPort, http, testservers::kPassword, 0, 200},
        {"danted, SOCKS 5, wrong password", 6, testservers::kSocksPort, http, "wrong", 1, 0},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, c.target);
        rec.addSetting("Proxy Server", nullptr, c.type, 'e');
        rec.addSetting(" Proxy Server URL", ("127.0.0.1:" + std::to_string(c.proxyPort)).c_str(), 0, 's');
        rec.addSetting("Proxy Server Login", c.type == 5 ? "" : testservers::kUser, 0, 'l');
        rec.addSetting("Proxy Server Password", c.password, 0, 'p');
        rec.setValidation(0, 0x01, testservers::kHttpContentMarker);
        EXPECT_EQ(host.poll(rec), c.result) << c.name << ": " << rec.mon.failReason;
        if (c.result == 0) {
            EXPECT_EQ(rec.mon.resultExtra2, c.status) << c.name;
            EXPECT_EQ(rec.mon.validationFailed[0], c.status == 200 ? 0 : 1) << c.name;
        } else {
            EXPECT_STRNE(rec.mon.failReason, "") << c.name;
        }
    }
}

TEST_F(HttpCheck, SilentPeersFailWithinTheBudget)
{
    for (const char* scheme : {"http", "https"}) {
        // Accepts, reads nothing, answers nothing: no response and no TLS handshake.
        LoopbackServer server([](int fd) { LoopbackServer::drain(fd); });
        PluginTestRecord rec;
        prepare(rec, url(server.port(), "/", scheme), 500);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(host.poll(rec), 1) << scheme;
        EXPECT_LT(clock.elapsed(), 6000) << scheme;
        EXPECT_STREQ(rec.mon.failReason, "Couldn't connect to server") << scheme;
    }
}

TEST_F(HttpCheck, RegexRuleRefusesAnOversizedBody)
{
    // 50 MB announced and streamed; the regex rule keeps at most 8 MiB.
    LoopbackServer server([](int fd) {
        LoopbackServer::readLine(fd);
        if (!LoopbackServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 52428800\r\n\r\n"))
            return;
        const std::string block(65536, 'b');
        for (int i = 0; i < 800 && LoopbackServer::sendAll(fd, block); ++i) {
        }
    });
    PluginTestRecord rec;
    prepare(rec, url(server.port(), "/big"), 30000);
    rec.setValidation(0, 0x11, "never");
    EXPECT_EQ(host.poll(rec), 1);
    EXPECT_STREQ(rec.mon.failReason, "Response is larger than 8 MiB, the limit of a regular-expression rule");
}

}  // namespace
