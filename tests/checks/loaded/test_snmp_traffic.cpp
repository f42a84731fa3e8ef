// The SNMP Traffic Speed and Volume monitor types through the loaded library, against the snmpd
// fixture whose octet counters and sysUpTime the tests drive (see TestServers.h), and the
// shared snmpd for an SNMPv3 user with a wrong password.

#include "support/NetSnmpForTests.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

constexpr unsigned kSpeed = 22, kVolume = 23;
const char* const kUpTime = ".1.3.6.1.2.1.1.3.0";

QString counterOid(const char* column, int index)
{
    return QString::fromLatin1(column) + QLatin1Char('.') + QString::number(index);
}
const char* const kIn = ".1.3.6.1.2.1.2.2.1.10";
const char* const kOut = ".1.3.6.1.2.1.2.2.1.16";
const char* const kHcIn = ".1.3.6.1.2.1.31.1.1.1.6";
const char* const kHcOut = ".1.3.6.1.2.1.31.1.1.1.10";

class SnmpTraffic : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initNetSnmpForTests();
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }
    void TearDown() override
    {
        QDir dir(testservers::snmpdTrafficDir());
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
    }

    struct Own {
        const char* name;
        const char* text;
        int64_t number;
        int kind;
    };

    void prepare(PluginTestRecord& r, unsigned type, const char* interface, std::vector<Own> own = {},
                 const char* community = testservers::kSnmpFixCommunity, int version = 1)
    {
        r.mon.typeIndex = type;
        r.mon.timeout = 5000;
        r.mon.logEnabled = 1;
        r.setHost("", testservers::kHost, false);
        r.addSetting("Interface Number", interface, 0, 'R');
        if (type == kSpeed) {
            own.insert(own.begin(), {"Interface Bandwidth, kbits/s", nullptr, 1600, 'i'});
            own.insert(own.begin(), {"Show Traffic Speed as", nullptr, 1, 'E'});
        } else {
            own.insert(own.begin(), {"Show Traffic Volume as", nullptr, 2, 'E'});
            own.insert(own.begin(), {"Traffic Volume Summation Period", nullptr, 86400, 'T'});
        }
        own.insert(own.begin(), {"Data Set", nullptr, 3, 'e'});
        // Later rows of the same name win: a case may override the defaults above.
        for (const Own& o : own)
            r.addSetting(o.name, o.text, o.number, o.kind);
        r.addSetting("Port", nullptr, testservers::kSnmpFixturePort, 'i');
        r.addSetting("SNMP Version", nullptr, version, 'e');
        if (community)
            r.addSetting(" Community String", community, 0, 's');
    }

    // Writes a counter file; null type removes it.
    static void setCounter(const QString& oid, const char* type, const char* value)
    {
        const QString path = testservers::snmpdTrafficDir() + QLatin1Char('/') + oid;
        if (!type) {
            QFile::remove(path);
            return;
        }
        QSaveFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(QByteArray(type) + '\n' + value + '\n');
        ASSERT_TRUE(f.commit());
    }

    static QString agentValue(const QString& oid)
    {
        QProcess p;
        p.start(QStringLiteral("snmpget"), {QStringLiteral("-v2c"), QStringLiteral("-c"),
                                            QString::fromLatin1(testservers::kSnmpFixCommunity), QStringLiteral("-Oqv"),
                                            QStringLiteral("-t"), QStringLiteral("1"),
                                            QStringLiteral("127.0.0.1:%1").arg(testservers::kSnmpFixturePort), oid});
        p.waitForFinished(5000);
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    }

    // Waits until the agent answers `expected` for the OID (it keeps pass answers about 1 s).
    static void waitForAgent(const QString& oid, const QString& expected)
    {
        QDeadlineTimer deadline(10000);
        QString seen;
        while (!deadline.hasExpired()) {
            seen = agentValue(oid);
            if (seen.contains(expected))
                return;
        }
        FAIL() << oid.toStdString() << " still answers " << seen.toStdString() << ", not " << expected.toStdString();
    }

    static void setUpTime(int ticks)
    {
        QProcess p;
        p.start(QStringLiteral("snmpset"),
                {QStringLiteral("-v2c"), QStringLiteral("-c"), QString::fromLatin1(testservers::kSnmpFixRwCommunity),
                 QStringLiteral("127.0.0.1:%1").arg(testservers::kSnmpFixturePort), QString::fromLatin1(kUpTime),
                 QStringLiteral("t"), QString::number(ticks)});
        ASSERT_TRUE(p.waitForFinished(5000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    // The four counters of an interface; a null value leaves that file out.
    void setInterface(int index, const char* in32, const char* out32, const char* in64, const char* out64)
    {
        setCounter(counterOid(kIn, index), in32 ? "counter" : nullptr, in32);
        setCounter(counterOid(kOut, index), out32 ? "counter" : nullptr, out32);
        setCounter(counterOid(kHcIn, index), in64 ? "counter64" : nullptr, in64);
        setCounter(counterOid(kHcOut, index), out64 ? "counter64" : nullptr, out64);
        // The inbound value that the monitor reads first tells when the agent shows them all.
        if (in64)
            waitForAgent(counterOid(kHcIn, index), QString::fromLatin1(in64));
        if (in32)
            waitForAgent(counterOid(kIn, index), QString::fromLatin1(in32));
        if (out64)
            waitForAgent(counterOid(kHcOut, index), QString::fromLatin1(out64));
        if (out32)
            waitForAgent(counterOid(kOut, index), QString::fromLatin1(out32));
    }

    bool logged(const char* text) const { return host.logTexts(ZAM_LOG_TRACE).filter(QLatin1String(text)).size() > 0; }

    PluginTestHost host;
};

// A monitor record whose library data is dropped when the test is done with it.
struct Monitor : PluginTestRecord {
    explicit Monitor(PluginTestHost& h) : host(h) {}
    ~Monitor() { host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &mon, 3); }
    PluginTestHost& host;
};

TEST_F(SnmpTraffic, FirstPollIsSkippedThenVolumeIsTheOctetsSinceTheLastPoll)
{
    ZAM_REQUIRE_TEST_SERVERS();
    setUpTime(100000);
    setInterface(1001, "10", "20", "1000", "5000");
    struct Case {
        int dataSet;
        int64_t octets;
    } cases[] = {{3, 1000000 + 300}, {1, 1000000}, {2, 300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataSet);
        setInterface(1001, "10", "20", "1000", "5000");
        Monitor r(host);
        prepare(r, kVolume, "1001", {{"Data Set", nullptr, c.dataSet, 'e'}});
        host.clearLog();
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.resultCode, -1);
        EXPECT_TRUE(r.sectionsByType().empty());
        EXPECT_TRUE(logged("poll skipped: not all traffic directions are present"));

        setInterface(1001, "10", "20", "1001000", "5300");
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.resultCode, -2);
        EXPECT_EQ(r.mon.perfValue, c.octets);
        EXPECT_TRUE(r.sectionsByType().empty());  // the service sums volumes itself
        EXPECT_STREQ(r.mon.failReason, "");
    }
}

TEST_F(SnmpTraffic, SpeedIsTheRateBetweenPollsInTheChosenUnit)
{
    ZAM_REQUIRE_TEST_SERVERS();
    setUpTime(100000);
    struct Case {
        int display;
        const char* unit;
    } cases[] = {{0, " %"}, {1, " kbit/s"}, {2, " Mbit/s"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        setInterface(1001, nullptr, nullptr, "0", "0");
        Monitor r(host);
        // The table text of an enumerated monitor selects its first field's interface.
        prepare(r, kSpeed, "1001(eth7)\x1e" "5\x1e" "1001\x1e" "eth7\x1e" "6\x1e" "\x1e" "1600",
                {{"Show Traffic Speed as", nullptr, c.display, 'E'}, {"Data Set", nullptr, 1, 'e'}});
        QElapsedTimer outer;
        outer.start();
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        QElapsedTimer inner;
        inner.start();
        ASSERT_EQ(r.mon.resultCode, -1);
        setInterface(1001, nullptr, nullptr, "1000000", "0");
        const qint64 innerMs = inner.elapsed();
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        const qint64 outerMs = outer.elapsed();
        // The rate's interval lies between the test's two clock readings.
        EXPECT_LE(r.mon.perfValue, 8000000 / std::max<qint64>(innerMs, 1));
        EXPECT_GE(r.mon.perfValue, 8000000 / (outerMs + 1));
        const auto sections = r.sectionsByType();
        ASSERT_EQ(sections.count(12), 1u);
        int64_t shown = 0;
        std::memcpy(&shown, sections.at(12).constData(), sizeof shown);
        const double rate = static_cast<double>(r.mon.perfValue);
        const double expected = c.display == 0 ? rate * 100 / 1600 : c.display == 2 ? rate / 1000 : rate;
        EXPECT_EQ(shown, static_cast<int64_t>(std::floor(expected + 0.5)));
        EXPECT_EQ(r.sectionText(1), QByteArray(c.unit));
    }
}

TEST_F(SnmpTraffic, Counter32WrapsAndTheSetThatAnsweredIsKept)
{
    ZAM_REQUIRE_TEST_SERVERS();
    setUpTime(100000);
    // ifIndex 1002 has no 64-bit counters: the v2c monitor falls back to the 32-bit ones.
    setInterface(1002, "4294967000", "7", nullptr, nullptr);
    Monitor r(host);
    prepare(r, kVolume, "1002", {{"Data Set", nullptr, 1, 'e'}});
    ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.resultCode, -1);
    setInterface(1002, "200", "7", nullptr, nullptr);
    ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.resultCode, -2);
    EXPECT_EQ(r.mon.perfValue, 496);

    // 64-bit counters appear now; the monitor keeps reading the 32-bit ones.
    setInterface(1002, "300", "7", "900000000000", "900000000000");
    ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, 100);
}

TEST_F(SnmpTraffic, RestartsAndResetsSkipOnePoll)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* name;
        int upTimeAfter;
        const char* inAfter;
        const char* logLine;
    } cases[] = {
        {"agent restarted", 5000, "2000", "poll skipped: uptime has decreased"},
        // A 64-bit counter that goes down without a restart: the interface was reset.
        {"interface reset", 200000, "10", "poll skipped: a traffic counter has decreased"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setUpTime(100000);
        setInterface(1001, nullptr, nullptr, "1000", "0");
        Monitor r(host);
        prepare(r, kVolume, "1001");
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        setUpTime(c.upTimeAfter);
        setInterface(1001, nullptr, nullptr, c.inAfter, "0");
        host.clearLog();
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.resultCode, -1);
        EXPECT_TRUE(logged(c.logLine));
        // From the new readings on, polls report again.
        setUpTime(c.upTimeAfter + 100);
        setInterface(1001, nullptr, nullptr, "3000010", "0");
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.resultCode, -2);
        EXPECT_EQ(r.mon.perfValue, 3000010 - std::atoll(c.inAfter));
    }
}

TEST_F(SnmpTraffic, AgentFailuresAreResults)
{
    ZAM_REQUIRE_TEST_SERVERS();
    setUpTime(100000);
    {
        // The user exists only for wrong-password tests: Net-SNMP keeps a user's first keys.
        Monitor r(host);
        prepare(r, kSpeed, "1", {}, nullptr, 2);
        r.addSetting("Port", nullptr, testservers::kSnmpPort, 'i');
        r.addSetting(" SNMP V3 User", testservers::kSnmpV3BadPassUser, 0, 's');
        r.addSetting(" SNMP V3 Authentication Mode", nullptr, 1, 'e');
        r.addSetting(" SNMP V3 Password", "zt-wrong-pass", 0, 'p');
        r.addSetting(" SNMP V3 Privacy Protocol", nullptr, 2, 'e');
        r.addSetting(" SNMP V3 Encryption Key", testservers::kSnmpV3PrivPassword, 0, 'p');
        EXPECT_EQ(host.poll(r), 4);
        EXPECT_STREQ(r.mon.failReason, "Cannot execute request: Authentication failure (incorrect password, community or key)");
    }
    {
        // An interface the agent does not have.
        Monitor r(host);
        prepare(r, kVolume, "999999");
        EXPECT_EQ(host.poll(r), 1);
        EXPECT_STREQ(r.mon.failReason, "network interface not found");
    }
    {
        Monitor r(host);
        prepare(r, kVolume, "1001", {}, "no-such-community");
        r.mon.timeout = 400;
        EXPECT_EQ(host.poll(r), 1);
        EXPECT_STREQ(r.mon.failReason, "Cannot execute request: Timeout");
    }
}

TEST_F(SnmpTraffic, BadSettingsAreRefusedBeforeAnyRequest)
{
    const char* const notSelected =
        "network interface is not selected. Please select it using the \"Interface Name\" setting in client GUI.";
    struct Case {
        const char* name;
        unsigned type;
        const char* interface;
        std::vector<Own> own;
        const char* community;
        const char* reason;
    } cases[] = {
        {"interface 0", kSpeed, "0", {}, testservers::kSnmpFixCommunity, notSelected},
        {"interface as text", kVolume, "eth0", {}, testservers::kSnmpFixCommunity, notSelected},
        {"interface past the range", kVolume, "99999999999", {}, testservers::kSnmpFixCommunity, notSelected},
        {"empty table text", kVolume, "\x1e" "5\x1e" "1\x1e" "lo", {}, testservers::kSnmpFixCommunity, notSelected},
        {"port 65536", kSpeed, "1", {{"Port", nullptr, 65536, 'i'}}, testservers::kSnmpFixCommunity,
         "Port is out of range"},
        {"port 0", kVolume, "1", {{"Port", nullptr, 0, 'i'}}, testservers::kSnmpFixCommunity, "Port is out of range"},
        {"no community", kSpeed, "1", {}, nullptr, "Community string was not specified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Monitor r(host);
        prepare(r, c.type, c.interface, {}, c.community);
        for (const Own& o : c.own)
            r.addSetting(o.name, o.text, o.number, o.kind);
        EXPECT_EQ(host.poll(r), 1);
        EXPECT_STREQ(r.mon.failReason, c.reason);
    }
    // A required row missing.
    for (const char* missing : {"Data Set", "Interface Bandwidth, kbits/s", "Interface Number"}) {
        SCOPED_TRACE(missing);
        Monitor r(host);
        r.mon.typeIndex = kSpeed;
        r.setHost("", testservers::kHost, false);
        const Own rows[] = {{"Interface Number", "1", 0, 'R'},     {"Interface Bandwidth, kbits/s", nullptr, 10, 'i'},
                            {"Show Traffic Speed as", nullptr, 1, 'E'}, {"Data Set", nullptr, 3, 'e'},
                            {"Port", nullptr, 161, 'i'},             {"SNMP Version", nullptr, 1, 'e'},
                            {" Community String", "x", 0, 's'}};
        for (const Own& o : rows)
            if (std::string(o.name) != missing)
                r.addSetting(o.name, o.text, o.number, o.kind);
        EXPECT_EQ(host.poll(r), 1);
        EXPECT_STREQ(r.mon.failReason, "Incorrect monitor parameters");
    }
}

}  // namespace
