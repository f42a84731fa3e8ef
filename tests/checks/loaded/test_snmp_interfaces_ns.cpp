// Interface discovery and enumeration of the traffic monitors against an snmpd that this test
// starts in its private network namespace, beside a veth pair it makes: the agent then sees
// only lo (127.0.0.1), zt0 (192.0.2.77) and zt1 (no address), whatever the machine has.

#include "support/NetSnmpForTests.h"
#include "support/PluginTestHost.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QNetworkInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

constexpr unsigned kSpeed = 22, kVolume = 23;
constexpr int kPort = 18790;
const char* const kCommunity = "nsread";
const char* const kNoIfCommunity = "nsnoif";  // sees no interface table

bool run(const QString& program, const QStringList& args, QString* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out)
        *out = QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    return true;
}

// Asked through netlink: sysfs still shows the namespace the test started in.
QString ifIndexOf(const char* name)
{
    const int index = QNetworkInterface::interfaceIndexFromName(QLatin1String(name));
    return index > 0 ? QString::number(index) : QString();
}

class SnmpInterfaces : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        initNetSnmpForTests();
        const QString ip = QStringLiteral("ip");
        s_ready = run(ip, {"link", "add", "zt0", "type", "veth", "peer", "name", "zt1"})
            && run(ip, {"addr", "add", "192.0.2.77/24", "dev", "zt0"}) && run(ip, {"link", "set", "zt0", "up"})
            && run(ip, {"link", "set", "zt1", "up"});
        if (!s_ready)
            return;
        s_dir = new QTemporaryDir;
        QFile conf(s_dir->filePath(QStringLiteral("snmpd.conf")));
        s_ready = conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("agentAddress udp:127.0.0.1:%1\n"
                                  "view all included .1\n"
                                  "view noif included .1\n"
                                  "view noif excluded .1.3.6.1.2.1.2\n"
                                  "rocommunity %2 127.0.0.1 -V all\n"
                                  "rocommunity %3 127.0.0.1 -V noif\n")
                       .arg(kPort)
                       .arg(QLatin1String(kCommunity), QLatin1String(kNoIfCommunity))
                       .toLatin1());
        conf.close();
        s_snmpd = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SNMPCONFPATH"), s_dir->path());
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), s_dir->filePath(QStringLiteral("persist")));
        s_snmpd->setProcessEnvironment(env);
        s_snmpd->setProcessChannelMode(QProcess::MergedChannels);
        s_snmpd->start(QStringLiteral("snmpd"), {"-f", "-Lo", "-C", "-c", s_dir->filePath(QStringLiteral("snmpd.conf"))});
        s_ready = s_snmpd->waitForStarted(5000);
        // Ready once it answers.
        QDeadlineTimer deadline(30000);
        bool answered = false;
        while (s_ready && !answered && !deadline.hasExpired())
            answered = run(QStringLiteral("snmpget"), {"-v2c", "-c", kCommunity, "-t", "0.3", "-r", "0",
                                                       QStringLiteral("127.0.0.1:%1").arg(kPort), ".1.3.6.1.2.1.1.3.0"});
        // The suggestion needs traffic: wait until the agent's reading of lo shows some (it keeps
        // its interface figures a few seconds).
        QString octets;
        while (answered && !deadline.hasExpired() && octets.toULongLong() == 0)
            run(QStringLiteral("snmpget"), {"-v2c", "-c", kCommunity, "-Oqv", QStringLiteral("127.0.0.1:%1").arg(kPort),
                                            QStringLiteral(".1.3.6.1.2.1.31.1.1.1.6.") + ifIndexOf("lo")},
                &octets);
        s_ready = s_ready && answered && octets.toULongLong() > 0;
    }
    static void TearDownTestSuite()
    {
        if (s_snmpd) {
            s_snmpd->terminate();
            s_snmpd->waitForFinished(5000);
            delete s_snmpd;
        }
        delete s_dir;
        run(QStringLiteral("ip"), {"link", "del", "zt0"});
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_ready) << "snmpd or the veth pair could not be set up in the namespace";
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }

    void prepare(PluginTestRecord& r, unsigned type, int mode, const char* interface = "1",
                 const char* community = kCommunity)
    {
        r.mon.typeIndex = type;
        r.mon.mode = mode;
        r.mon.timeout = 5000;
        r.mon.logEnabled = 1;
        r.setHost("", "127.0.0.1", false);
        r.addSetting("Interface Number", interface, 0, 'R');
        if (type == kSpeed) {
            r.addSetting("Interface Bandwidth, kbits/s", nullptr, 0, 'i');
            r.addSetting("Show Traffic Speed as", nullptr, 1, 'E');
        } else {
            r.addSetting("Show Traffic Volume as", nullptr, 1, 'E');
            r.addSetting("Traffic Volume Summation Period", nullptr, 3600, 'T');
        }
        r.addSetting("Data Set", nullptr, 3, 'e');
        r.addSetting("Port", nullptr, kPort, 'i');
        r.addSetting("SNMP Version", nullptr, 1, 'e');
        r.addSetting(" Community String", community, 0, 's');
    }
    void drop(PluginTestRecord& r) { host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &r.mon, 3); }

    PluginTestHost host;
    static inline bool s_ready = false;
    static inline QTemporaryDir* s_dir = nullptr;
    static inline QProcess* s_snmpd = nullptr;
};

// Rows of five fields after the chosen text and the field count.
QList<QStringList> rowsOf(const QByteArray& table, QString& chosen)
{
    const QList<QByteArray> fields = table.split('\x1e');
    chosen = QString::fromUtf8(fields.value(0));
    QList<QStringList> rows;
    if (fields.value(1) != "5" || (fields.size() - 2) % 5 != 0)
        return rows;
    for (int i = 2; i < fields.size(); i += 5) {
        QStringList row;
        for (int f = 0; f < 5; ++f)
            row << QString::fromUtf8(fields[i + f]);
        rows << row;
    }
    return rows;
}

TEST_F(SnmpInterfaces, DiscoveryListsTheInterfacesAndSuggestsTheOneWithTheHostAddress)
{
    for (unsigned type : {kSpeed, kVolume}) {
        SCOPED_TRACE(type);
        PluginTestRecord r;
        prepare(r, type, 1);
        ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
        QString chosen;
        const QList<QStringList> rows = rowsOf(r.sectionText(3), chosen);
        ASSERT_EQ(rows.size(), 3) << r.sectionText(3).toStdString();
        // lo carries the monitor's host address and has the test's own SNMP traffic.
        EXPECT_EQ(chosen, QStringLiteral("%1(lo)").arg(ifIndexOf("lo")));
        QMap<QString, QStringList> byName;
        for (const QStringList& row : rows)
            byName.insert(row[1], row);
        ASSERT_EQ(byName.keys(), (QStringList{"lo", "zt0", "zt1"}));
        EXPECT_EQ(byName["lo"][0], ifIndexOf("lo"));
        EXPECT_EQ(byName["lo"][2], QStringLiteral("24"));  // softwareLoopback
        EXPECT_EQ(byName["lo"][3], QStringLiteral("127.0.0.1"));
        EXPECT_EQ(byName["zt0"][0], ifIndexOf("zt0"));
        EXPECT_EQ(byName["zt0"][2], QStringLiteral("6"));  // ethernetCsmacd
        EXPECT_EQ(byName["zt0"][3], QStringLiteral("192.0.2.77"));
        EXPECT_EQ(byName["zt1"][3], QString());
        for (const QStringList& row : rows)
            EXPECT_GT(row[4].toULongLong(), 0u) << row.join(QLatin1Char('|')).toStdString();
        drop(r);
    }
}

TEST_F(SnmpInterfaces, EnumerationMakesOneMonitorPerInterfaceWithAnAddress)
{
    PluginTestRecord r;
    r.acceptNewMonitors();
    prepare(r, kSpeed, 2);
    ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
    drop(r);
    // None for lo (loopback address) or zt1 (no address).
    ASSERT_EQ(r.newMonitors.size(), 1u);
    const PluginNewMonitor& made = r.newMonitors[0];
    EXPECT_EQ(made.typeName, QStringLiteral("SNMP Traffic Speed"));
    EXPECT_EQ(made.name, QStringLiteral("zt0"));
    QString table;
    bool haveBandwidth = false;
    for (const PluginNewMonitor::Setting& s : made.settings) {
        if (s.name == QLatin1String("Interface Number")) {
            table = s.value.toString();
            EXPECT_EQ(s.flag, 1);
        } else if (s.name == QLatin1String("Interface Bandwidth, kbits/s")) {
            haveBandwidth = true;
            EXPECT_GT(s.value.toInt(), 0);
            EXPECT_EQ(s.flag, 0);
        }
    }
    EXPECT_TRUE(haveBandwidth);
    EXPECT_TRUE(table.startsWith(QStringLiteral("%1(zt0)\x1e" "5\x1e").arg(ifIndexOf("zt0")))) << table.toStdString();

    // A monitor made from that text watches zt0: its first poll reads zt0's counters.
    PluginTestRecord watch;
    const QByteArray text = table.toUtf8();
    prepare(watch, kVolume, 0, text.constData());
    host.clearLog();
    EXPECT_EQ(host.poll(watch), 0) << watch.mon.failReason;
    EXPECT_EQ(watch.mon.resultCode, -1);
    EXPECT_FALSE(host.logTexts(ZAM_LOG_TRACE).filter(QStringLiteral("poll skipped")).isEmpty());
    drop(watch);
}

TEST_F(SnmpInterfaces, AnAgentWithoutInterfacesIsAFailure)
{
    PluginTestRecord r;
    r.acceptNewMonitors();
    prepare(r, kVolume, 1, "1", kNoIfCommunity);
    EXPECT_EQ(host.poll(r), 1);
    EXPECT_STREQ(r.mon.failReason, "No Network Interfaces found");
    drop(r);

    // Enumeration finds nothing to make and still succeeds.
    PluginTestRecord e;
    e.acceptNewMonitors();
    prepare(e, kSpeed, 2, "1", kNoIfCommunity);
    EXPECT_EQ(host.poll(e), 0) << e.mon.failReason;
    EXPECT_TRUE(e.newMonitors.empty());
    drop(e);
}

// Runs last: the agent keeps its interface table a few seconds after the pairs are gone.
TEST_F(SnmpInterfaces, FiveHundredInterfacesAreListed)
{
    QProcess batch;
    batch.start(QStringLiteral("ip"), {"-batch", "-"});
    ASSERT_TRUE(batch.waitForStarted(5000));
    for (int i = 0; i < 250; ++i)
        batch.write(QStringLiteral("link add zb%1a type veth peer name zb%1b\n").arg(i).toLatin1());
    batch.closeWriteChannel();
    ASSERT_TRUE(batch.waitForFinished(60000));
    ASSERT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
    struct Cleanup {
        ~Cleanup()
        {
            QProcess del;
            del.start(QStringLiteral("ip"), {"-batch", "-"});
            del.waitForStarted(5000);
            for (int i = 0; i < 250; ++i)
                del.write(QStringLiteral("link del zb%1a\n").arg(i).toLatin1());
            del.closeWriteChannel();
            del.waitForFinished(60000);
        }
    } cleanup;

    // The agent reloads its interface table on its own schedule: wait until it counts them.
    QDeadlineTimer deadline(60000);
    QString count;
    while (!deadline.hasExpired()) {
        run(QStringLiteral("snmpget"), {"-v2c", "-c", kCommunity, "-Oqv", QStringLiteral("127.0.0.1:%1").arg(kPort),
                                        ".1.3.6.1.2.1.2.1.0"},
            &count);
        if (count.toInt() >= 503)
            break;
    }
    ASSERT_GE(count.toInt(), 503);

    PluginTestRecord r;
    prepare(r, kSpeed, 1);
    r.mon.timeout = 30000;   // snmpd answers 500 interfaces slowly on a busy machine
    ASSERT_EQ(host.poll(r), 0) << r.mon.failReason;
    drop(r);
    QString chosen;
    const QList<QStringList> rows = rowsOf(r.sectionText(3), chosen);
    EXPECT_EQ(rows.size(), 503);
    EXPECT_EQ(chosen, QStringLiteral("%1(lo)").arg(ifIndexOf("lo")));
    int named = 0;
    for (const QStringList& row : rows)
        named += row[1].startsWith(QLatin1String("zb")) ? 1 : 0;
    EXPECT_EQ(named, 500);
}

}  // namespace
