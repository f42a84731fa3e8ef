// The SNMP CPU, Memory, Disk space and Process monitor types through the loaded library, against
// the snmpd fixture (fixed processor loads, UCD statistics and storage rows, seen through one
// community per view) and the shared snmpd (the real disks and processes). The table cache's
// life is shortened with NETAGENTD_TEST_TIME_SCALE (55 s x 0.05 = 2.75 s).

#include "support/NetSnmpForTests.h"
#include "support/PluginTestHost.h"
#include "support/SnmpTestAgent.h"
#include "support/TestServers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/statvfs.h>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

const bool kScaled = [] {
    setenv("NETAGENTD_TEST_TIME_SCALE", "0.05", 1);
    return true;
}();

constexpr unsigned kCpu = 29, kMemory = 30, kDisk = 31, kProcess = 32;

struct Setting {
    const char* name;
    const char* text;
    int64_t number;
    int kind;
};

class SnmpResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        (void)kScaled;
        initNetSnmpForTests();
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }

    static void prepare(PluginTestRecord& r, unsigned type, const char* community, const std::vector<Setting>& own,
                        int port = testservers::kSnmpFixturePort)
    {
        r.mon.typeIndex = type;
        r.mon.timeout = 5000;
        r.mon.logEnabled = 1;
        r.setHost("", testservers::kHost, false);
        for (const Setting& s : own)
            r.addSetting(s.name, s.text, s.number, s.kind);
        r.addSetting("Port", nullptr, port, 'i');
        r.addSetting("SNMP Version", nullptr, 1, 'e');
        r.addSetting(" Community String", community, 0, 's');
    }

    int poll(PluginTestRecord& r) { return host.poll(r); }
    void drop(PluginTestRecord& r) { host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 2); }
    int pollOnce(PluginTestRecord& r)
    {
        const int rc = poll(r);
        drop(r);
        return rc;
    }

    PluginTestHost host;
};

QByteArray unitOf(const PluginTestRecord& r)
{
    return r.sectionText(1);
}

struct Outcome {
    int64_t value;     // when reason is null
    const char* unit;  // null: no unit section
    const char* reason;
};

void expectOutcome(const PluginTestRecord& r, int rc, const Outcome& o, const std::string& what)
{
    if (o.reason) {
        EXPECT_EQ(rc, 1) << what;
        EXPECT_STREQ(r.mon.failReason, o.reason) << what;
        return;
    }
    ASSERT_EQ(rc, 0) << what << ": " << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, o.value) << what;
    EXPECT_EQ(unitOf(r), QByteArray(o.unit ? o.unit : "")) << what;
    EXPECT_STREQ(r.mon.failReason, "") << what;
    EXPECT_EQ(r.mon.resultCode, -2) << what;
}

TEST_F(SnmpResources, CpuFiguresFromProcessorTableOrUcdStatistics)
{
    ZAM_REQUIRE_TEST_SERVERS();
    using namespace testservers;
    const struct {
        const char* community;
        int version;
        int metric;
        Outcome outcome;
    } cases[] = {
        {kSnmpFixCommunity, 1, 0, {25, " %", nullptr}},   // (10 + 20 + 30 + 41) / 4
        {kSnmpFixNoHrCommunity, 1, 0, {7, " %", nullptr}},  // 100 - ssCpuIdle 93
        {kSnmpFixCommunity, 1, 1, {4, " %", nullptr}},
        {kSnmpFixCommunity, 1, 2, {3, " %", nullptr}},
        {kSnmpFixCommunity, 1, 3, {1234, nullptr, nullptr}},
        {kSnmpFixCommunity, 1, 4, {5678, nullptr, nullptr}},
        {kSnmpFixNoHrCommunity, 1, 1, {0, nullptr, "No information for this metric"}},  // noSuchObject
        {kSnmpFixNoHrCommunity, 0, 1, {0, nullptr, "No information for this metric"}},  // v1 noSuchName
        {kSnmpFixCommunity, 1, 5, {0, nullptr, "Unknown metric value"}},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, kCpu, c.community, {{"Metric", nullptr, c.metric, 'e'}});
        if (c.version == 0) {
            r.clearSettings();
            r.addSetting("Metric", nullptr, c.metric, 'e');
            r.addSetting("Port", nullptr, kSnmpFixturePort, 'i');
            r.addSetting("SNMP Version", nullptr, 0, 'e');
            r.addSetting(" Community String", c.community, 0, 's');
        }
        expectOutcome(r, pollOnce(r), c.outcome,
                      std::string(c.community) + " v" + std::to_string(c.version) + " metric " + std::to_string(c.metric));
    }
    // A poll without "Port" keeps no job, so the next poll parses again.
    PluginTestRecord bare;
    bare.mon.typeIndex = kCpu;
    bare.setHost("", kHost, false);
    bare.addSetting("Metric", nullptr, 0, 'e');
    bare.addSetting("SNMP Version", nullptr, 1, 'e');
    EXPECT_EQ(poll(bare), 1);
    EXPECT_STREQ(bare.mon.failReason, "Incorrect monitor parameters");
    EXPECT_EQ(bare.mon.pluginData, nullptr);
}

TEST_F(SnmpResources, MemoryFromStorageRowsDerivedRowsOrUcd)
{
    ZAM_REQUIRE_TEST_SERVERS();
    using namespace testservers;
    const struct {
        const char* community;
        int metric, type, units;
        Outcome outcome;
    } cases[] = {
        {kSnmpFixCommunity, 0, 0, 1, {75, " %", nullptr}},       // 6144 of 8192 MB free
        {kSnmpFixCommunity, 0, 1, 0, {2048, " MB", nullptr}},
        {kSnmpFixCommunity, 1, 0, 0, {3072, " MB", nullptr}},    // the swap row
        {kSnmpFixCommunity, 2, 1, 1, {25, " %", nullptr}},       // physical + swap: 3072 of 12288 MB used
        {kSnmpFixNoSwapCommunity, 1, 0, 1, {75, " %", nullptr}}, // virtual - physical: 3072 of 4096 MB free
        {kSnmpFixNoSwapCommunity, 1, 1, 0, {1024, " MB", nullptr}},
        {kSnmpFixNoHrCommunity, 0, 0, 0, {500, " MB", nullptr}}, // memAvailReal 512000 KB
        {kSnmpFixNoHrCommunity, 0, 1, 1, {75, " %", nullptr}},
        {kSnmpFixNoHrCommunity, 1, 0, 0, {0, nullptr, "No available information source"}},
        {kSnmpFixNoHrCommunity, 2, 0, 0, {0, nullptr, "No available information source"}},
        // The storage walk fails (a Counter32 allocation unit): the UCD figures serve the poll,
        // and the walk's reason does not stay on a good result.
        {kSnmpFixBadHrCommunity, 0, 0, 0, {500, " MB", nullptr}},
        {kSnmpFixCommunity, 3, 0, 0, {0, nullptr, "Unknown metric value"}},
        {kSnmpFixCommunity, 0, 2, 0, {0, nullptr, "Unknown type value"}},
        {kSnmpFixCommunity, 0, 0, 2, {0, nullptr, "Unknown units value"}},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, kMemory, c.community,
                {{"Metric", nullptr, c.metric, 'e'}, {"Type", nullptr, c.type, 'e'}, {"Units", nullptr, c.units, 'e'}});
        expectOutcome(r, pollOnce(r), c.outcome,
                      std::string(c.community) + " " + std::to_string(c.metric) + "/" + std::to_string(c.type) + "/"
                          + std::to_string(c.units));
    }
}

// An agent whose every answer takes 60 % of the monitor's time-out: a poll that needs two
// requests has its figure only after the time-out, which makes it no figure at all.
TEST_F(SnmpResources, LateAnswersGiveNoFigure)
{
    const auto oid = &SnmpTestAgent::oid;
    SnmpTestAgent agent(SnmpTestAgent::table({{oid(".1.3.6.1.4.1.2021.4.5.0"), 1024000},
                                              {oid(".1.3.6.1.4.1.2021.4.6.0"), 512000},
                                              {oid(".1.3.6.1.4.1.2021.11.11.0"), 93}}));
    ASSERT_TRUE(agent.ok());
    const struct {
        const char* name;
        unsigned type;
        std::vector<Setting> own;
    } cases[] = {
        // An empty processor table, then ssCpuIdle.
        {"cpu", kCpu, {{"Metric", nullptr, 0, 'e'}}},
        // An empty storage table, then memTotalReal and memAvailReal.
        {"memory", kMemory, {{"Metric", nullptr, 0, 'e'}, {"Type", nullptr, 0, 'e'}, {"Units", nullptr, 0, 'e'}}},
    };
    for (const auto& c : cases) {
        PluginTestRecord fast;
        prepare(fast, c.type, "any", c.own, agent.port());
        agent.delayMs = 0;
        EXPECT_EQ(pollOnce(fast), 0) << c.name << ": " << fast.mon.failReason;

        PluginTestRecord r;
        prepare(r, c.type, "any", c.own, agent.port());
        r.mon.timeout = 1000;
        agent.delayMs = 600;
        EXPECT_EQ(pollOnce(r), 1) << c.name << ": value " << r.mon.perfValue;
        EXPECT_STREQ(r.mon.failReason, "Timeout exceeded") << c.name;
    }
}

std::vector<Setting> diskSettings(const char* path, int type, int units)
{
    return {{"Path", path, 0, 's'}, {"Type", nullptr, type, 'e'}, {"Units", nullptr, units, 'e'}};
}

TEST_F(SnmpResources, DiskFiguresAndUnknownDisks)
{
    ZAM_REQUIRE_TEST_SERVERS();
    using namespace testservers;
    const struct {
        const char* community;
        const char* path;
        int type, units;
        Outcome outcome;
    } cases[] = {
        {kSnmpFixCommunity, "/", 0, 0, {12, " MB", nullptr}},      // 3000 x 4096 B = 11.7 MB
        {kSnmpFixCommunity, "/", 0, 2, {75, " %", nullptr}},
        {kSnmpFixCommunity, "/BOOT", 1, 0, {256, " MB", nullptr}},
        {kSnmpFixCommunity, "/boot", 0, 1, {1, " GB", nullptr}},   // 0.75 GB
        {kSnmpFixCommunity, "C:\\", 0, 0, {6, " MB", nullptr}},    // the drive's first word
        {kSnmpFixCommunity, "/nope", 0, 0, {0, nullptr, "Unknown disk, select one of: \"/\" \"/boot\" \"c:\\\""}},
        {kSnmpFixCommunity, "/zero", 0, 0, {0, nullptr, "Unknown disk, select one of: \"/\" \"/boot\" \"c:\\\""}},
        {kSnmpFixNoHrCommunity, "/", 0, 0, {0, nullptr, "No available disk information or MIBs were not found"}},
        {kSnmpFixCommunity, "/", 2, 0, {0, nullptr, "Unknown type value"}},
        {kSnmpFixCommunity, "/", 0, 3, {0, nullptr, "Unknown units value"}},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, kDisk, c.community, diskSettings(c.path, c.type, c.units));
        expectOutcome(r, pollOnce(r), c.outcome, std::string(c.community) + " " + c.path);
    }
}

// Free megabytes of a mounted file system, as df counts them for root (blocks not in use).
double freeMb(const char* path, double* totalMb = nullptr)
{
    struct statvfs st{};
    if (statvfs(path, &st) != 0)
        return -1;
    if (totalMb)
        *totalMb = static_cast<double>(st.f_blocks) * st.f_frsize / 1048576.0;
    return static_cast<double>(st.f_bfree) * st.f_frsize / 1048576.0;
}

TEST_F(SnmpResources, RootDiskMatchesDf)
{
    ZAM_REQUIRE_TEST_SERVERS();
    using namespace testservers;
    // The storage table of the shared agent, and the UCD disk table of the fixture (its only
    // disk source for that community).
    const struct {
        int port;
        const char* community;
    } agents[] = {{kSnmpPort, kSnmpCommunity}, {kSnmpFixturePort, kSnmpFixUcdDiskCommunity}};
    for (const auto& a : agents) {
        PluginTestRecord mb, gb, percent;
        prepare(mb, kDisk, a.community, diskSettings("/", 0, 0), a.port);
        prepare(gb, kDisk, a.community, diskSettings("/", 1, 1), a.port);
        prepare(percent, kDisk, a.community, diskSettings("/", 1, 2), a.port);
        ASSERT_EQ(pollOnce(mb), 0) << a.community << ": " << mb.mon.failReason;
        ASSERT_EQ(pollOnce(gb), 0) << gb.mon.failReason;
        ASSERT_EQ(pollOnce(percent), 0) << percent.mon.failReason;
        double total = 0;
        const double free = freeMb("/", &total);
        // Other programs write to the disk meanwhile: within 0.5 % of its size.
        EXPECT_NEAR(static_cast<double>(mb.mon.perfValue), free, total * 0.005 + 1) << a.community;
        EXPECT_EQ(unitOf(mb), QByteArray(" MB"));
        EXPECT_NEAR(static_cast<double>(gb.mon.perfValue), (total - free) / 1024, total / 1024 * 0.005 + 1);
        EXPECT_EQ(unitOf(gb), QByteArray(" GB"));
        EXPECT_NEAR(static_cast<double>(percent.mon.perfValue), (total - free) * 100 / total, 1.5);
        EXPECT_EQ(unitOf(percent), QByteArray(" %"));
    }
}

TEST_F(SnmpResources, EnumerationOffersOneMonitorPerDisk)
{
    ZAM_REQUIRE_TEST_SERVERS();
    using namespace testservers;
    const struct {
        const char* community;
        std::vector<QString> paths;
    } cases[] = {
        {kSnmpFixCommunity, {"/", "/boot", "c:\\"}},
        {kSnmpFixUcdDiskCommunity, {"/"}},  // no storage table: the UCD disk table
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        r.acceptNewMonitors();
        prepare(r, kDisk, c.community, diskSettings("/", 0, 0));
        r.mon.mode = 2;
        ASSERT_EQ(pollOnce(r), 0) << r.mon.failReason;
        EXPECT_EQ(r.mon.perfValue, static_cast<int64_t>(c.paths.size())) << c.community;
        ASSERT_EQ(r.newMonitors.size(), c.paths.size()) << c.community;
        for (size_t i = 0; i < c.paths.size(); ++i) {
            const PluginNewMonitor& m = r.newMonitors[i];
            EXPECT_EQ(m.typeName, QStringLiteral("SNMP Disk space"));
            EXPECT_EQ(m.name, c.paths[i]);
            ASSERT_EQ(m.settings.size(), 1u);
            EXPECT_EQ(m.settings[0].name, QStringLiteral("Path"));
            EXPECT_EQ(m.settings[0].value.toString(), c.paths[i]);
            EXPECT_EQ(m.settings[0].flag, 1);
        }
    }
    PluginTestRecord none;
    none.acceptNewMonitors();
    prepare(none, kDisk, kSnmpFixNoHrCommunity, diskSettings("/", 0, 0));
    none.mon.mode = 2;
    ASSERT_EQ(pollOnce(none), 0) << none.mon.failReason;
    EXPECT_EQ(none.mon.perfValue, 0);
    EXPECT_TRUE(none.newMonitors.empty());
}

// SET of the fixture's row-32 description (normally "/boot").
bool renameRow32(const char* text)
{
    netsnmp_session s;
    snmp_sess_init(&s);
    const std::string peer = "udp:127.0.0.1:" + std::to_string(testservers::kSnmpFixturePort);
    s.peername = const_cast<char*>(peer.c_str());
    s.version = SNMP_VERSION_2c;
    s.community = reinterpret_cast<u_char*>(const_cast<char*>(testservers::kSnmpFixRwCommunity));
    s.community_len = std::strlen(testservers::kSnmpFixRwCommunity);
    void* handle = snmp_sess_open(&s);
    if (!handle)
        return false;
    oid name[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    read_objid(".1.3.6.1.2.1.25.2.3.1.3.32", name, &length);
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

// Polls until `done` holds or 20 s pass (the cached table lives 2.75 s here).
template <class Poll, class Done>
bool pollUntil(PluginTestRecord& r, Poll pollFn, Done done)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        r.sections.clear();
        const int rc = pollFn();
        if (done(rc))
            return true;
        QThread::msleep(100);
    }
    return false;
}

class SnmpResourcesRenamed : public SnmpResources
{
protected:
    void TearDown() override { renameRow32("/boot"); }
};

TEST_F(SnmpResourcesRenamed, DiskGoneFromALaterTableIsUnknown)
{
    ZAM_REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(renameRow32("/boot"));
    PluginTestRecord r;
    prepare(r, kDisk, testservers::kSnmpFixCacheCommunity, diskSettings("/boot", 1, 0));
    ASSERT_EQ(poll(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, 256);
    // Another file system now sits at the old index: its figures must not appear as "/boot".
    ASSERT_TRUE(renameRow32("/mnt/other"));
    const char* expected = "Unknown disk, select one of: \"/\" \"/mnt/other\" \"c:\\\"";
    EXPECT_TRUE(pollUntil(r, [&] { return poll(r); }, [&](int rc) {
        return rc == 1 && std::strcmp(r.mon.failReason, expected) == 0;
    })) << r.mon.failReason;
    ASSERT_TRUE(renameRow32("/boot"));
    EXPECT_TRUE(pollUntil(r, [&] { return poll(r); }, [&](int rc) { return rc == 0; })) << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, 256);
    drop(r);
}

// Requests for hrStorageAllocationUnits that the fixture answered so far.
int allocationUnitReads()
{
    QFile log(testservers::snmpdFixtureLogPath());
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    return static_cast<int>(log.readAll().count("iso.3.6.1.2.1.25.2.3.1.4."));
}

TEST_F(SnmpResources, CacheSharesOneWalkBetweenMonitors)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const int before = allocationUnitReads();
    ASSERT_GE(before, 0) << "no log at " << testservers::snmpdFixtureLogPath().toStdString();
    PluginTestRecord root, boot;
    prepare(root, kDisk, testservers::kSnmpFixCacheCommunity, diskSettings("/", 0, 0));
    prepare(boot, kDisk, testservers::kSnmpFixCacheCommunity, diskSettings("/boot", 0, 0));
    ASSERT_EQ(pollOnce(root), 0) << root.mon.failReason;
    ASSERT_EQ(pollOnce(boot), 0) << boot.mon.failReason;
    // Seven rows (index 0 and the hidden row 99 aside), read once for both monitors.
    EXPECT_EQ(allocationUnitReads() - before, 7);
    // After the table's life a poll reads it again, once.
    const int settled = allocationUnitReads();
    PluginTestRecord later;
    prepare(later, kDisk, testservers::kSnmpFixCacheCommunity, diskSettings("/", 0, 0));
    EXPECT_TRUE(pollUntil(later, [&] { return poll(later); }, [&](int rc) {
        return rc == 0 && allocationUnitReads() > settled;
    }));
    drop(later);
    EXPECT_EQ(allocationUnitReads() - settled, 7);
}

// A program of our own under a unique name, so the agent's process table has exactly one match.
class OwnProcess
{
public:
    // `busy`: a shell spinning in a loop; else a sleeper.
    OwnProcess(const QString& name, bool busy) : m_name(name)
    {
        m_path = m_dir.path() + QLatin1Char('/') + name;
        QFile::copy(busy ? QStringLiteral("/bin/sh") : QStringLiteral("/bin/sleep"), m_path);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_argument = name + QStringLiteral("-arg");
        if (busy)
            m_process.start(m_path, {QStringLiteral("-c"), QStringLiteral("while :; do :; done"), m_argument});
        else
            m_process.start(m_path, {QStringLiteral("3600"), QStringLiteral("0")});
        m_process.waitForStarted();
    }
    ~OwnProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QByteArray name() const { return m_name.toUtf8(); }
    QByteArray path() const { return m_path.toUtf8(); }
    QByteArray argument() const { return m_argument.toUtf8(); }
    bool running() const { return m_process.state() == QProcess::Running; }

private:
    QTemporaryDir m_dir;
    QString m_name;
    QString m_path;
    QString m_argument;
    QProcess m_process;
};

std::vector<Setting> processSettings(int metric, const char* name, const char* args)
{
    return {{"Metric", nullptr, metric, 'e'}, {"Name", name, 0, 's'}, {"Mandatory arguments", args, 0, 's'}};
}

TEST_F(SnmpResources, ProcessCountAndMemoryOfOwnSleeper)
{
    ZAM_REQUIRE_TEST_SERVERS();
    OwnProcess sleeper(QStringLiteral("zamslp%1").arg(QCoreApplication::applicationPid() % 100000), false);
    ASSERT_TRUE(sleeper.running());
    const struct {
        int metric;
        QByteArray name;
        QByteArray args;
        int64_t count;  // -1: above 0 with unit " KB"
    } cases[] = {
        {0, sleeper.name(), "", 1},
        {0, sleeper.path(), "3600", 1},
        {0, sleeper.name(), "3601", 0},
        {0, sleeper.name().toUpper(), "", 1},
        {2, sleeper.name(), "", -1},
    };
    for (const auto& c : cases) {
        PluginTestRecord r;
        prepare(r, kProcess, testservers::kSnmpCommunity, processSettings(c.metric, c.name.constData(), c.args.constData()),
                testservers::kSnmpPort);
        ASSERT_EQ(pollOnce(r), 0) << c.name.constData() << ": " << r.mon.failReason;
        if (c.count >= 0) {
            EXPECT_EQ(r.mon.perfValue, c.count) << c.name.constData() << " " << c.args.constData();
            EXPECT_EQ(unitOf(r), QByteArray());
        } else {
            EXPECT_GT(r.mon.perfValue, 0);
            EXPECT_EQ(unitOf(r), QByteArray(" KB"));
        }
    }
    // An empty name and no arguments count every process.
    PluginTestRecord all;
    prepare(all, kProcess, testservers::kSnmpCommunity, processSettings(0, "", ""), testservers::kSnmpPort);
    ASSERT_EQ(pollOnce(all), 0) << all.mon.failReason;
    EXPECT_GT(all.mon.perfValue, 1);
}

TEST_F(SnmpResources, ProcessCpuAfterTheTablesLife)
{
    ZAM_REQUIRE_TEST_SERVERS();
    OwnProcess burner(QStringLiteral("zamburn%1").arg(QCoreApplication::applicationPid() % 100000), true);
    ASSERT_TRUE(burner.running());
    // The fixture: four processors in hrProcessorLoad, the real process table.
    PluginTestRecord r;
    prepare(r, kProcess, testservers::kSnmpFixCommunity, processSettings(1, burner.name().constData(),
                                                                         burner.argument().constData()));
    ASSERT_EQ(poll(r), 0) << r.mon.failReason;
    EXPECT_EQ(r.mon.perfValue, 0);
    EXPECT_EQ(unitOf(r), QByteArray(" %"));
    // Once the cached table is older than its life, a fresh read gives a figure: a spinning
    // shell uses about one processor of four.
    EXPECT_TRUE(pollUntil(r, [&] { return poll(r); }, [&](int rc) { return rc == 0 && r.mon.perfValue > 0; }))
        << r.mon.failReason;
    EXPECT_LE(r.mon.perfValue, 100);
    EXPECT_EQ(unitOf(r), QByteArray(" %"));
    drop(r);

    const struct {
        const char* community;
        int metric;
        const char* reason;
    } failures[] = {
        {testservers::kSnmpFixNoHrCommunity, 1, "Cannot get number of cores"},
        {testservers::kSnmpFixCommunity, 3, "Unknown metric value"},
    };
    for (const auto& f : failures) {
        PluginTestRecord bad;
        prepare(bad, kProcess, f.community, processSettings(f.metric, "x", ""));
        EXPECT_EQ(pollOnce(bad), 1);
        EXPECT_STREQ(bad.mon.failReason, f.reason);
    }
}

}  // namespace
