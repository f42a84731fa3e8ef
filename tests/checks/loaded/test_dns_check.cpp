// The DNS monitor type through the loaded library: the test dnsmasq for real lookups and the
// rules, scripted UDP peers for a silent server, a lost first datagram and broken replies.

#include "support/DnsReplyBuilder.h"
#include "support/LoopbackUdpServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned kDns = 20;

struct StopAlways {
    static int answer(void*) { return 1; }
};

class DnsCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    // A monitor that asks the host itself (127.0.0.1 on the port) as DNS server.
    static void prepare(PluginTestRecord& rec, int requestType, const char* data, quint16 port = testservers::kDnsPort,
                        int timeoutMs = 5000)
    {
        rec.mon.typeIndex = kDns;
        rec.mon.timeout = timeoutMs;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("Use System DNS Servers", nullptr, 1, 'e');
        rec.addSetting("Port", nullptr, port, 'i');
        rec.addSetting("Request Type", nullptr, requestType, 'e');
        if (data)
            rec.addSetting(" Request Data", data, 0, 's');
    }

    PluginTestHost host;
};

// Answers every query with the records the builder function adds.
template <typename Fill>
LoopbackUdpServer::Script answering(Fill fill)
{
    return [fill](const std::string& query, int) {
        DnsReplyBuilder reply(query);
        fill(reply);
        return reply.bytes();
    };
}

} // namespace

TEST_F(DnsCheck, LookupsAgainstDnsmasq)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string pair = std::string(testservers::kDnsPairAddress1) + ";" + testservers::kDnsPairAddress2;
    const std::string mx = std::string(testservers::kDnsMxHost) + ";" + testservers::kDnsMxHost2;
    const std::string serial = std::to_string(testservers::kDnsSoaSerial);
    struct Case {
        int type;
        const char* data;
        std::string display;
    } cases[] = {
        {1, testservers::kDnsPairName, pair},
        {1, testservers::kDnsAName, testservers::kDnsAAddress},
        {2, testservers::kDnsZone, mx},
        {3, testservers::kDnsZone, serial},
        {0, nullptr, ""},  // NS of the root: the server answers, nothing to show
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, c.type, c.data);
        ASSERT_EQ(host.poll(rec), 0) << c.type << ": " << rec.mon.failReason;
        bool clean = false;
        const auto sections = rec.sectionsByType(&clean);
        EXPECT_TRUE(clean);
        EXPECT_EQ(sections.count(9), 1u) << c.type;
        EXPECT_EQ(rec.sectionText(9).toStdString(), c.display) << c.type;
        EXPECT_EQ(rec.mon.resultCode, -2);
        EXPECT_GE(rec.mon.perfValue, 1);
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
        EXPECT_EQ(rec.mon.failReason[0], '\0');
    }
}

TEST_F(DnsCheck, ServerAnswersWithoutValues)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* name;
        const char* reason;
    } cases[] = {
        {"nothing.zam.test", "Query failed: Domain name not found"},
        {"example.org", "Query failed: DNS server refused query"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, 1, c.name);
        EXPECT_EQ(host.poll(rec), 1) << c.name;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.name;
    }
}

TEST_F(DnsCheck, RulesOverAllValues)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string nbsp = "\xc2\xa0";
    struct Case {
        int flags;
        std::string text;
        bool holds;
    } cases[] = {
        {0x01, "127.0.0.2", true},                     // contained in a value
        {0x01, "10.0.0", false},
        {0x03, testservers::kDnsPairAddress2, true},   // one value whole
        {0x03, "127.0.0.2", false},
        {0x03, "10.9.9.9" + nbsp + testservers::kDnsPairAddress1, true},  // any alternative
        {0x11, "\\.2[12]$", true},                     // regular expression found in a value
        {0x11, "^10\\.", false},
        {0x13, "127\\.0\\.0\\.2[0-9]", true},          // regular expression matching a value whole
        {0x13, "127\\.0\\.0", false},
        {0x05, testservers::kDnsPairAddress1, false},  // inverted
        {0x05, "10.0.0", true},
        {0x07, "127.0.0.2", true},                     // inverted whole value
        {0x0b, "PAIR", false},                         // case ignored, whole value
        {0x09, "0.0.21", true},
    };
    for (const Case& c : cases) {
        for (int slot = 0; slot < 2; ++slot) {
            PluginTestRecord rec;
            prepare(rec, 1, testservers::kDnsPairName);
            rec.setValidation(slot, c.flags, c.text.c_str());
            EXPECT_EQ(host.poll(rec), 0) << c.text << ": " << rec.mon.failReason;
            EXPECT_EQ(rec.mon.validationFailed[slot], c.holds ? 0 : 1) << std::hex << c.flags << " " << c.text;
            EXPECT_EQ(rec.mon.validationFailed[1 - slot], 0);
            if (!c.holds) {
                EXPECT_EQ(std::string(rec.mon.failReason).rfind("invalid value: '127.0.0.2", 0), 0u) << rec.mon.failReason;
            }
        }
    }
    // The test of the server itself and a discovery poll check no rules.
    for (int mode : {0, 1}) {
        PluginTestRecord rec;
        prepare(rec, mode == 0 ? 0 : 1, mode == 0 ? nullptr : testservers::kDnsPairName);
        rec.mon.mode = mode;
        rec.setValidation(0, 0x03, "never");
        EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.validationFailed[0], 0);
    }
}

TEST_F(DnsCheck, BadSettings)
{
    struct Case {
        const char* what;
        int type;
        const char* data;
        int port;
    } cases[] = {
        {"port 70000", 1, "a.test", 70000},
        {"port 0", 1, "a.test", 0},
        {"MX without data", 2, nullptr, 53},
        {"A with empty data", 1, "", 53},
        {"request type 7", 7, "a.test", 53},
        {"request type -1", -1, "a.test", 53},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        prepare(rec, 0, nullptr, testservers::kDnsPort, 1000);
        rec.clearSettings();
        rec.addSetting("Use System DNS Servers", nullptr, 1, 'e');
        rec.addSetting("Port", nullptr, c.port, 'i');
        rec.addSetting("Request Type", nullptr, c.type, 'e');
        if (c.data)
            rec.addSetting(" Request Data", c.data, 0, 's');
        EXPECT_EQ(host.poll(rec), 1) << c.what;
        EXPECT_STREQ(rec.mon.failReason, "Incorrect monitor parameters") << c.what;
    }
    PluginTestRecord missing;
    prepare(missing, 1, "a.test");
    missing.clearSettings();
    missing.addSetting("Request Type", nullptr, 0, 'e');
    EXPECT_EQ(host.poll(missing), 1);
    EXPECT_STREQ(missing.mon.failReason, "Incorrect monitor parameters");
}

TEST_F(DnsCheck, SilentServerEndsWithinTheTimeOut)
{
    LoopbackUdpServer sink;
    ASSERT_TRUE(sink.ok());
    PluginTestRecord rec;
    prepare(rec, 1, "a.test", sink.port(), 3000);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(host.poll(rec), 1);
    const qint64 ms = clock.elapsed();
    EXPECT_STREQ(rec.mon.failReason, "Query failed: request timed out");
    EXPECT_GE(ms, 2900);
    EXPECT_LT(ms, 3600);
    // c-ares sent its query again after each try's own time-out
    EXPECT_GE(sink.received(), 2);

    PluginTestRecord stopped;
    prepare(stopped, 1, "a.test", sink.port(), 3000);
    stopped.mon.stillAlive = &StopAlways::answer;
    EXPECT_EQ(host.poll(stopped), 1);
    EXPECT_STREQ(stopped.mon.failReason, "Query failed: request aborted by service");
}

TEST_F(DnsCheck, LostFirstDatagramIsSentAgain)
{
    LoopbackUdpServer server([](const std::string& query, int index) {
        return index == 0 ? std::string() : DnsReplyBuilder(query).a("10.1.2.3").bytes();
    });
    ASSERT_TRUE(server.ok());
    PluginTestRecord rec;
    prepare(rec, 1, "a.test", server.port(), 3000);
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.sectionText(9), "10.1.2.3");
    EXPECT_EQ(server.received(), 2);
}

TEST_F(DnsCheck, RepliesFromAScriptedServer)
{
    struct Case {
        const char* what;
        int type;
        LoopbackUdpServer::Script script;
        int result;
        const char* display;
        const char* reason;
    } cases[] = {
        {"MX listed twice", 2, answering([](DnsReplyBuilder& r) { r.mx(10, "mx.a.test").mx(20, "mx.a.test"); }), 0,
         "mx.a.test", ""},
        {"A and AAAA", 1, answering([](DnsReplyBuilder& r) { r.aaaa("fe80::1").a("10.0.0.1"); }), 0, "10.0.0.1;fe80::1", ""},
        {"many answers", 1, answering([](DnsReplyBuilder& r) {
             for (int i = 0; i < 28; ++i)
                 r.a(("10.0.0." + std::to_string(i)).c_str());
         }),
         0, nullptr, ""},
        // Over 512 bytes without EDNS: c-ares asks again over TCP, which the peer refuses.
        {"oversized reply", 1, answering([](DnsReplyBuilder& r) {
             for (int i = 0; i < 200; ++i)
                 r.a(("10.0." + std::to_string(i / 100) + "." + std::to_string(i % 100)).c_str());
         }),
         1, nullptr, "Query failed: Could not contact DNS servers"},
        {"more answers claimed than sent", 1, answering([](DnsReplyBuilder& r) { r.a("10.0.0.7").answerCount(40); }), 0,
         "10.0.0.7", ""},
        {"malformed record", 1, answering([](DnsReplyBuilder& r) { r.a("10.0.0.7").record(1, "12345").a("10.0.0.8"); }),
         0, "10.0.0.7", ""},
        {"pointer loop", 1,
         answering([](DnsReplyBuilder& r) { r.record(1, "1234", std::string("\xc0\x18", 2)); }), 0, "", ""},
        {"cut inside a record", 1,
         [](const std::string& query, int) {
             const std::string full = DnsReplyBuilder(query).a("10.0.0.1").a("10.0.0.2").bytes();
             return full.substr(0, full.size() - 3);
         },
         0, "10.0.0.1", ""},
        {"server failure", 1, answering([](DnsReplyBuilder& r) { r.rcode(2); }), 1, nullptr,
         "Query failed: DNS server returned general failure"},
        {"no answer records", 1, answering([](DnsReplyBuilder&) {}), 1, nullptr,
         "Query failed: DNS server returned answer with no data"},
    };
    for (const Case& c : cases) {
        LoopbackUdpServer server(c.script);
        ASSERT_TRUE(server.ok());
        PluginTestRecord rec;
        prepare(rec, c.type, "a.test", server.port(), 3000);
        EXPECT_EQ(host.poll(rec), c.result) << c.what << ": " << rec.mon.failReason;
        if (c.display) {
            EXPECT_EQ(rec.sectionText(9).toStdString(), c.display) << c.what;
        }
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.what;
        if (std::string(c.what) == "many answers") {
            EXPECT_EQ(rec.sectionText(9).count(';'), 27) << c.what;
        }
    }
    // A rule cannot hold on a reply without values; inverted, it does.
    const auto onlyAlias = answering([](DnsReplyBuilder& r) { r.name(5, "b.test"); });
    for (int flags : {0x01, 0x05}) {
        LoopbackUdpServer server(onlyAlias);
        PluginTestRecord rec;
        prepare(rec, 1, "a.test", server.port(), 3000);
        rec.setValidation(0, flags, "");
        EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.validationFailed[0], flags == 0x01 ? 1 : 0);
    }
}
