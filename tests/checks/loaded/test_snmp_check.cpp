// The SNMP Custom monitor type through the loaded library, against the test snmpd (v1, v2c and
// the v3 users) and its fixture values, plus a UDP port that never answers. Net-SNMP is
// initialised here as the daemon does, with the project's own test MIB.

#include "common/SnmpValueFormat.h"
#include "support/PluginTestHost.h"
#include "support/TestPaths.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kSnmpCustom = 13;
const char* const kConvertService = "int_convertSnmpVarToString_constnetsnmpvariablelist*_constchar*_QString&";
const std::string kFix = testservers::kSnmpFixtureOid;

int convertForTests(const netsnmp_variable_list* var, const char* hint, QString& text)
{
    return convertNetSnmpVarWithMib(var, hint, false, text);
}

void initNetSnmpOnce()
{
    static const bool done = [] {
        const QByteArray mibDir = (testpaths::sourceDir() + QStringLiteral("/tests/checks/data/mibs")).toLocal8Bit();
        setenv("MIBDIRS", mibDir.constData(), 1);
        setenv("MIBS", "ZAM-TEST-MIB", 1);
        setenv("SNMPCONFPATH", "/nonexistent", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICK_PRINT, 1);
        init_snmp("zamtests");
        return true;
    }();
    (void)done;
}

// A UDP port on loopback that takes datagrams and never answers.
class SilentUdpPort
{
public:
    SilentUdpPort()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~SilentUdpPort() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

struct Login {
    int version;            // "SNMP Version" setting: 0 v1, 1 v2c, 2 v3
    const char* community;  // null: no row
    const char* user;       // null: no row
    int authMode;           // -1: no row
    const char* password;   // null: no row
    int privacy;            // -1: no row
    const char* key;        // null: no row
};

Login v2c() { return {1, testservers::kSnmpCommunity, nullptr, -1, nullptr, -1, nullptr}; }
Login v3(const char* user, int authMode = 1, const char* password = testservers::kSnmpV3AuthPassword, int privacy = 2,
         const char* key = testservers::kSnmpV3PrivPassword)
{
    return {2, nullptr, user, authMode, password, privacy, key};
}

class SnmpCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initNetSnmpOnce();
        host.setService(QString::fromLatin1(kConvertService), reinterpret_cast<void*>(&convertForTests));
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }
    void TearDown() override { host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, 2); }

    static void prepare(PluginTestRecord& r, const Login& login, const std::string& oid, int port = testservers::kSnmpPort,
                        int timeoutMs = 3000)
    {
        r.mon.typeIndex = kSnmpCustom;
        r.mon.timeout = timeoutMs;
        r.mon.logEnabled = 1;
        r.setHost("", testservers::kHost, false);
        r.addSetting("Preset", nullptr, 0, 'e');
        r.addSetting("OID (SNMP variable to monitor)", oid.c_str(), 0, 's');
        r.addSetting("Counter Type", nullptr, 0, 'e');
        r.addSetting(" Divide returned value by", "1.0", 0, 's');
        r.addSetting("Port", nullptr, port, 'i');
        r.addSetting("SNMP Version", nullptr, login.version, 'e');
        if (login.community)
            r.addSetting(" Community String", login.community, 0, 's');
        if (login.user)
            r.addSetting(" SNMP V3 User", login.user, 0, 's');
        if (login.authMode >= 0)
            r.addSetting(" SNMP V3 Authentication Mode", nullptr, login.authMode, 'e');
        if (login.password)
            r.addSetting(" SNMP V3 Password", login.password, 0, 'p');
        if (login.privacy >= 0)
            r.addSetting(" SNMP V3 Privacy Protocol", nullptr, login.privacy, 'e');
        if (login.key)
            r.addSetting(" SNMP V3 Encryption Key", login.key, 0, 'p');
    }

    int pollOnce(PluginTestRecord& r)
    {
        const int rc = host.poll(r);
        host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2);
        return rc;
    }

    PluginTestHost host;
    PluginTestRecord rec;
};

// SET of a text through the read-write community (the "Value has changed" fixture).
bool setFixtureText(const char* text)
{
    netsnmp_session s;
    snmp_sess_init(&s);
    const std::string peer = std::string("udp:127.0.0.1:") + std::to_string(testservers::kSnmpPort);
    s.peername = const_cast<char*>(peer.c_str());
    s.version = SNMP_VERSION_2c;
    s.community = reinterpret_cast<u_char*>(const_cast<char*>(testservers::kSnmpRwCommunity));
    s.community_len = std::strlen(testservers::kSnmpRwCommunity);
    void* handle = snmp_sess_open(&s);
    if (!handle)
        return false;
    oid name[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    read_objid((kFix + ".1.6.0").c_str(), name, &length);
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_SET);
    snmp_pdu_add_variable(pdu, name, length, ASN_OCTET_STR, text, std::strlen(text));
    netsnmp_pdu* response = nullptr;
    const int status = snmp_sess_synch_response(handle, pdu, &response);
    const bool ok = status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR;
    if (response)
        snmp_free_pdu(response);
    snmp_sess_close(handle);
    return ok;
}

TEST_F(SnmpCheck, EveryVersionAndSecurityLevelReadsSysUpTime)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const struct {
        const char* name;
        Login login;
    } cases[] = {
        {"v1", {0, testservers::kSnmpCommunity, nullptr, -1, nullptr, -1, nullptr}},
        {"v2c", v2c()},
        {"v3 noAuthNoPriv", v3(testservers::kSnmpV3NoAuthUser, 2, "", 0, "")},
        {"v3 MD5/DES", v3(testservers::kSnmpV3Md5DesUser, 0, testservers::kSnmpV3AuthPassword, 1)},
        {"v3 SHA/AES", v3(testservers::kSnmpV3User)},
        {"v3 SHA authNoPriv", v3(testservers::kSnmpV3AuthNoPrivUser, 1, testservers::kSnmpV3AuthPassword, 0, "")},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, c.login, ".1.3.6.1.2.1.1.3.0");
        EXPECT_EQ(pollOnce(r), 0) << c.name << ": " << r.mon.failReason;
        EXPECT_GT(r.mon.perfValue, 0) << c.name;
        EXPECT_EQ(r.mon.resultExtra & 1, 1) << c.name << ": TimeTicks are unsigned 32-bit";
        EXPECT_GE(r.mon.resultValue, 1) << c.name;
    }
}

TEST_F(SnmpCheck, V3KeysFollowTheMonitorsPasswords)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const char* user = testservers::kSnmpV3BadPassUser;
    // Wrong first: Net-SNMP would keep these keys for the rest of the process.
    PluginTestRecord wrong;
    prepare(wrong, v3(user, 1, "zt-wrong-pass"), ".1.3.6.1.2.1.1.3.0");
    EXPECT_EQ(pollOnce(wrong), 1);
    EXPECT_STREQ(wrong.mon.failReason, "Cannot execute request: Authentication failure (incorrect password, community or key)");

    PluginTestRecord right;
    prepare(right, v3(user), ".1.3.6.1.2.1.1.3.0");
    EXPECT_EQ(pollOnce(right), 0) << right.mon.failReason;

    // A second wrong monitor after a good poll: still its own, failing, result; and the right
    // one recovers at its next poll.
    PluginTestRecord wrongAgain;
    prepare(wrongAgain, v3(user, 1, testservers::kSnmpV3AuthPassword, 2, "zt-wrong-key"), ".1.3.6.1.2.1.1.3.0");
    EXPECT_EQ(pollOnce(wrongAgain), 1);
    EXPECT_NE(std::string(wrongAgain.mon.failReason).find("Cannot execute request: "), std::string::npos)
        << wrongAgain.mon.failReason;
    EXPECT_EQ(pollOnce(right), 0) << right.mon.failReason;
}

TEST_F(SnmpCheck, FixtureValues)
{
    ZAM_REQUIRE_TEST_SERVERS();
    {
        PluginTestRecord r;
        prepare(r, v2c(), kFix + ".1.1.0");
        ASSERT_EQ(pollOnce(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.perfValue, 4294967295LL);
        EXPECT_EQ(r.mon.resultExtra & 1, 1);
    }
    {
        PluginTestRecord r;
        prepare(r, v2c(), kFix + ".1.7.0");
        ASSERT_EQ(pollOnce(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.sectionText(ZAM_SECTION_DISPLAY_VALUE), QByteArray("plain text"));
        EXPECT_EQ(r.mon.perfValue, 0);
    }
    {
        PluginTestRecord r;
        prepare(r, v2c(), kFix + ".1.4.0");
        ASSERT_EQ(pollOnce(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.sectionText(ZAM_SECTION_DISPLAY_VALUE), QByteArray("42.5"));
        EXPECT_EQ(r.mon.perfValue, 42);
    }
    // Counter64 stays exact: 2^63 - 1 and 2^53 + 1 (a double would round both); 2^64 - 1 is out
    // of the signed range.
    const struct {
        const char* suffix;
        int64_t value;
    } exact[] = {{".2.1.0", INT64_MAX}, {".2.3.0", 9007199254740993LL}};
    for (const auto& c : exact) {
        PluginTestRecord r;
        prepare(r, v2c(), kFix + c.suffix);
        ASSERT_EQ(pollOnce(r), 0) << c.suffix << ": " << r.mon.failReason;
        EXPECT_EQ(r.mon.perfValue, c.value) << c.suffix;
    }
    PluginTestRecord big;
    prepare(big, v2c(), kFix + ".2.2.0");
    EXPECT_EQ(pollOnce(big), 1);
    EXPECT_STREQ(big.mon.failReason, "The value 1.84467e+19 exceeds signed large integer range.  Please use ' Divide "
                                     "returned value by' property to normalize it");
    // The divisor brings it back into range, still exact.
    PluginTestRecord divided;
    prepare(divided, v2c(), kFix + ".2.2.0");
    divided.addSetting(" Divide returned value by", "4", 0, 's');
    ASSERT_EQ(pollOnce(divided), 0) << divided.mon.failReason;
    EXPECT_EQ(divided.mon.perfValue, 4611686018427387903LL);
}

TEST_F(SnmpCheck, PercentagePresetAndEnumerationLabel)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord r;
    prepare(r, v3(testservers::kSnmpV3User), kFix + ".1.2.0");
    r.addSetting("Preset", nullptr, 1, 'e');
    r.addSetting("Second OID (capacity / B / second factor)", (kFix + ".1.3.0").c_str(), 0, 's');
    ASSERT_EQ(pollOnce(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, 25);
    EXPECT_EQ(r.sectionText(ZAM_SECTION_MEASURE_UNIT), QByteArray(" %"));

    PluginTestRecord e;
    prepare(e, v2c(), kFix + ".1.5.0");
    e.addSetting("Counter Type", nullptr, 1, 'e');
    ASSERT_EQ(pollOnce(e), 0) << e.mon.failReason;
    EXPECT_EQ(e.mon.perfValue, 2);
    EXPECT_TRUE(e.sectionText(ZAM_SECTION_DISPLAY_VALUE).startsWith("green")) << e.sectionText(ZAM_SECTION_DISPLAY_VALUE).constData();
}

TEST_F(SnmpCheck, ValueHasChangedGivesTwoThenZeroThenOne)
{
    ZAM_REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(setFixtureText("alpha"));
    prepare(rec, v2c(), kFix + ".1.6.0");
    rec.addSetting("Counter Type", nullptr, 1, 'e');
    const struct {
        const char* setTo;  // null: unchanged
        int64_t outcome;
        const char* shown;
    } steps[] = {{nullptr, 2, "\"alpha\""}, {nullptr, 0, "\"alpha\""}, {"beta", 1, "\"beta\""}, {nullptr, 0, "\"beta\""}};
    // The display text is the formatted value as compared, quotes included.
    for (const auto& s : steps) {
        if (s.setTo) {
            ASSERT_TRUE(setFixtureText(s.setTo));
        }
        ASSERT_EQ(host.poll(rec), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, s.outcome) << s.shown;
        EXPECT_EQ(rec.sectionText(ZAM_SECTION_DISPLAY_VALUE), QByteArray(s.shown));
    }
}

TEST_F(SnmpCheck, BadSettingsLeaveNoJob)
{
    const struct {
        const char* name;
        Login login;
        const char* divisor;
        int port;
        const char* reason;
    } cases[] = {
        {"version 3", {3, "x", nullptr, -1, nullptr, -1, nullptr}, "1.0", 161, "Version is out of range"},
        {"no community", {1, nullptr, nullptr, -1, nullptr, -1, nullptr}, "1.0", 161, "Community string was not specified"},
        {"no user", {2, nullptr, nullptr, 1, "p", 1, nullptr}, "1.0", 161, "Security name was not specified"},
        {"no mode", {2, nullptr, "u", -1, "secret-pass", 1, nullptr}, "1.0", 161, "Authentication mode was not specified"},
        {"no protocol", {2, nullptr, "u", 1, "secret-pass", -1, nullptr}, "1.0", 161, "Privacy protocol was not specified"},
        {"divisor -2", v2c(), "-2", 161, "' Divide returned value by' must be a positive floating-point number"},
        {"divisor text", v2c(), "abc", 161, "' Divide returned value by' must be a positive floating-point number"},
        {"port 0", v2c(), "1.0", 0, "Port is out of range"},
        {"port 70000", v2c(), "1.0", 70000, "Port is out of range"},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, c.login, ".1.3.6.1.2.1.1.3.0", c.port);
        r.addSetting(" Divide returned value by", c.divisor, 0, 's');
        host.clearLog();
        EXPECT_EQ(host.poll(r), 1) << c.name;
        EXPECT_STREQ(r.mon.failReason, c.reason) << c.name;
        EXPECT_EQ(r.mon.pluginData, nullptr) << c.name;
        const QStringList logged = host.logTexts(4);
        EXPECT_TRUE(!logged.filter(QStringLiteral("check settings")).isEmpty()
                    && !logged.filter(QStringLiteral("invalidate data ok")).isEmpty())
            << c.name << ": " << logged.join(QStringLiteral(" | ")).toStdString();
    }
    const struct {
        const char* name;
        Login login;
        const char* reason;
    } opening[] = {
        {"auth mode 5", v3("u", 5), "Authentication mode is out of range"},
        {"privacy 7", v3("u", 1, "secret-pass", 7), "Privacy protocol is out of range"},
    };
    for (const auto& c : opening) {
        PluginTestRecord r;
        prepare(r, c.login, ".1.3.6.1.2.1.1.3.0");
        EXPECT_EQ(pollOnce(r), 1) << c.name;
        EXPECT_STREQ(r.mon.failReason, c.reason) << c.name;
    }
    PluginTestRecord noSecond;
    prepare(noSecond, v2c(), ".1.3.6.1.2.1.1.3.0");
    noSecond.addSetting("Preset", nullptr, 2, 'e');
    EXPECT_EQ(host.poll(noSecond), 1);
    EXPECT_STREQ(noSecond.mon.failReason,
                 "'Second OID (capacity / B / second factor)' is required for the selected 'Preset'");
}

TEST_F(SnmpCheck, SilentAgentTimesOutWithinTheBudget)
{
    SilentUdpPort silent;
    const struct {
        const char* name;
        Login login;
        const char* reason;
    } cases[] = {
        {"v2c", v2c(), "Cannot execute request: Timeout"},
        {"v3", v3(testservers::kSnmpV3User), "Cannot create SNMP session: Timeout"},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, c.login, ".1.3.6.1.2.1.1.3.0", silent.port(), 800);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(pollOnce(r), 1) << c.name;
        EXPECT_STREQ(r.mon.failReason, c.reason) << c.name;
        EXPECT_LT(timer.elapsed(), 800 * 3) << c.name;
    }
}

TEST_F(SnmpCheck, TimeoutOfZeroMeansNoLimit)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord r;
    prepare(r, v2c(), kFix + ".1.2.0", testservers::kSnmpPort, 0);
    ASSERT_EQ(pollOnce(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, 50);
}

TEST_F(SnmpCheck, SilentV3PeerDoesNotHoldUpOtherThreads)
{
    ZAM_REQUIRE_TEST_SERVERS();
    SilentUdpPort silent;
    std::atomic<bool> slowDone{false};
    std::thread slow([&] {
        PluginTestRecord r;
        prepare(r, v3(testservers::kSnmpV3User), ".1.3.6.1.2.1.1.3.0", silent.port(), 4000);
        host.poll(r);
        host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2);
        slowDone = true;
    });
    // Wait until the slow poll is inside its engine-ID discovery (its session is open).
    const QString opening = QStringLiteral(":%1'").arg(silent.port());
    for (bool seen = false; !seen && !slowDone;) {
        for (const QString& line : host.logTexts(4))
            seen = seen || (line.contains(opening) && line.contains(QStringLiteral("open session to")));
        if (!seen)
            std::this_thread::yield();
    }
    for (int i = 0; i < 5; ++i) {
        PluginTestRecord r;
        prepare(r, v2c(), ".1.3.6.1.2.1.1.3.0");
        EXPECT_EQ(pollOnce(r), 0) << r.mon.failReason;
    }
    EXPECT_FALSE(slowDone.load()) << "the v2c polls waited for the silent v3 peer";
    slow.join();
}

TEST_F(SnmpCheck, ManyThreadsPollV3AndV2cAtOnce)
{
    ZAM_REQUIRE_TEST_SERVERS();
    std::atomic<int> wrong{0};
    std::atomic<int> polls{0};
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const Login login = t % 2 ? v2c()
                : t % 4 == 0         ? v3(testservers::kSnmpV3User)
                                     : v3(testservers::kSnmpV3Md5DesUser, 0, testservers::kSnmpV3AuthPassword, 1);
            PluginTestRecord r;
            prepare(r, login, kFix + ".1.3.0");
            while (timer.elapsed() < 3000) {
                if (host.poll(r) != 0 || r.mon.perfValue != 200)
                    ++wrong;
                ++polls;
                if (polls % 7 == 0)  // new jobs and sessions now and then
                    host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2);
            }
            host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2);
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(polls.load(), 8);
}

}  // namespace
