// The SSH resource monitor types through the loaded library, with the local test sshd as the
// monitored host (public-key login) and the shipped scripts from <build>/scripts.

#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace {

enum : unsigned { kCpu = 33, kMemory = 34, kProcess = 35, kDisk = 36 };

class SshResources : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    struct Own { const char* name; const char* text; int value; int kind; };
    int poll(PluginTestRecord& rec, unsigned type, std::initializer_list<Own> own, int mode = 0)
    {
        rec.mon.typeIndex = type;
        rec.mon.timeout = 10000;
        rec.mon.mode = mode;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.clearSettings();
        for (const Own& o : own)
            rec.addSetting(o.name, o.text, o.value, o.kind);
        const std::string key = testservers::sshKeyPath().toStdString();
        m_key = key;
        m_pub = key + ".pub";
        rec.addSetting("Port", nullptr, testservers::kSshPort, 'i');
        rec.addSetting("Test Host Key", nullptr, 1, 'e');
        rec.addSetting(" Host Key Fingerprint", "");
        rec.addSetting("Authentication Type", nullptr, 1, 'e');
        rec.addSetting(" User Name", testservers::kUser);
        rec.addSetting(" Password", "", 0, 'p');
        rec.addSetting(" Path to Public Key File", m_pub.c_str(), 0, 'L');
        rec.addSetting(" Path to Private Key File", m_key.c_str(), 0, 'L');
        rec.addSetting(" Passphrase for Private Key", "", 0, 'p');
        return host.poll(rec);
    }
    static QByteArray unit(const PluginTestRecord& rec) { return rec.sectionText(ZAM_SECTION_MEASURE_UNIT); }

    PluginTestHost host;
    std::string m_key, m_pub;
};

QByteArray run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(20000);
    return p.readAllStandardOutput();
}

TEST_F(SshResources, CpuFigures)
{
    ZAM_REQUIRE_TEST_SERVERS();
    for (int metric = 0; metric <= 6; ++metric) {
        PluginTestRecord rec;
        ASSERT_EQ(poll(rec, kCpu, {{"Metric", nullptr, metric, 'e'}}), 0) << metric << ": " << rec.mon.failReason;
        EXPECT_GE(rec.mon.perfValue, 0) << metric;
        const auto sections = rec.sectionsByType();
        if (metric <= 3) {
            EXPECT_LE(rec.mon.perfValue, 100) << metric;
            EXPECT_EQ(unit(rec), QByteArray(" %")) << metric;
        } else {
            // counts and rates: the display text alone, no value or unit section
            EXPECT_EQ(sections.count(ZAM_SECTION_MEASURE_UNIT), 0u) << metric;
            EXPECT_EQ(sections.count(ZAM_SECTION_PERF32), 0u) << metric;
            EXPECT_EQ(sections.count(ZAM_SECTION_PERF64), 0u) << metric;
        }
        EXPECT_EQ(sections.count(ZAM_SECTION_DISPLAY_VALUE), 1u) << metric;
    }
    PluginTestRecord bad;
    EXPECT_EQ(poll(bad, kCpu, {{"Metric", nullptr, 7, 'e'}}), 1);
    EXPECT_STREQ(bad.mon.failReason, "Unknown metric");
}

TEST_F(SshResources, MemoryFigures)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    ASSERT_EQ(poll(rec, kMemory, {{"Metric", nullptr, 0, 'e'}, {"Type", nullptr, 1, 'e'}, {"Units", nullptr, 1, 'e'}}), 0)
        << rec.mon.failReason;
    QFile meminfo("/proc/meminfo");
    ASSERT_TRUE(meminfo.open(QIODevice::ReadOnly));
    qint64 total = 0, available = 0, swap = 0;
    for (const QByteArray& line : meminfo.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 2 && f[0] == "MemTotal:") total = f[1].toLongLong();
        if (f.size() >= 2 && f[0] == "MemAvailable:") available = f[1].toLongLong();
        if (f.size() >= 2 && f[0] == "SwapTotal:") swap = f[1].toLongLong();
    }
    const double used = 100.0 * (total - available) / total;
    EXPECT_NEAR(static_cast<double>(rec.mon.perfValue), used, 2.0);
    EXPECT_EQ(unit(rec), QByteArray(" %"));

    PluginTestRecord swapRec;
    host.clearLog();
    const int rc = poll(swapRec, kMemory, {{"Metric", nullptr, 1, 'e'}, {"Type", nullptr, 1, 'e'}, {"Units", nullptr, 1, 'e'}});
    EXPECT_TRUE(host.logTexts(ZAM_LOG_TRACE).join('\n').contains(QLatin1String("args: '-memory swap -usage used -units %'")));
    if (swap > 0) {
        EXPECT_EQ(rc, 0) << swapRec.mon.failReason;
        EXPECT_EQ(unit(swapRec), QByteArray(" %"));
    } else {
        // a host without swap has no figure for it
        EXPECT_EQ(rc, 1);
        EXPECT_STREQ(swapRec.mon.failReason, "No information for this metric");
    }
    struct Bad { int metric, type, units; const char* reason; };
    for (const Bad& b : {Bad{3, 0, 0, "Unknown metric"}, Bad{0, 2, 0, "Unknown usage type"}, Bad{0, 0, 3, "Unknown units"}}) {
        PluginTestRecord r;
        EXPECT_EQ(poll(r, kMemory, {{"Metric", nullptr, b.metric, 'e'}, {"Type", nullptr, b.type, 'e'}, {"Units", nullptr, b.units, 'e'}}), 1);
        EXPECT_STREQ(r.mon.failReason, b.reason);
    }
}

TEST_F(SshResources, ProcessFigures)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case { int metric; const char* name; const char* margs; int64_t least; const char* unit; };
    const Case cases[] = {
        {0, "sshd", "", 1, ""},
        {2, "sshd", "", 1, " KB"},
        {1, "sshd", "", 0, " %"},
        // the arguments narrow the match: the test servers' listener, then nothing
        {0, "sshd", "/ssh/sshd_config -E", 1, ""},
        {0, "sshd", "/no/such/argument", 0, ""},
    };
    int64_t all = 0;
    for (const Case& c : cases) {
        PluginTestRecord rec;
        ASSERT_EQ(poll(rec, kProcess, {{"Metric", nullptr, c.metric, 'e'}, {"Name", c.name, 0, 's'}, {"Mandatory arguments", c.margs, 0, 's'}}), 0)
            << rec.mon.failReason;
        EXPECT_GE(rec.mon.perfValue, c.least) << c.metric << " " << c.margs;
        if (c.metric == 0 && c.margs[0] == '\0')
            all = rec.mon.perfValue;
        else if (c.metric == 0 && c.least == 0)
            EXPECT_EQ(rec.mon.perfValue, 0) << c.margs;
        else if (c.metric == 0)
            EXPECT_LT(rec.mon.perfValue, all) << c.margs;
        EXPECT_EQ(unit(rec), QByteArray(c.unit)) << c.metric;
    }
    // what the service names is a word for the script, never shell text
    QTemporaryDir dir;
    const QString marker = dir.filePath("marker");
    for (const QString& name : {QStringLiteral("x; touch %1").arg(marker), QStringLiteral("$(touch %1)").arg(marker),
                                QStringLiteral("it's \"quoted\" `touch %1`").arg(marker)}) {
        PluginTestRecord rec;
        const QByteArray text = name.toUtf8();
        EXPECT_EQ(poll(rec, kProcess, {{"Metric", nullptr, 0, 'e'}, {"Name", text.constData(), 0, 's'}, {"Mandatory arguments", "", 0, 's'}}), 0)
            << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, 0);
        EXPECT_FALSE(QFile::exists(marker)) << qPrintable(name);
    }
}

TEST_F(SshResources, DiskFiguresAndMountPoints)
{
    ZAM_REQUIRE_TEST_SERVERS();
    PluginTestRecord rec;
    ASSERT_EQ(poll(rec, kDisk, {{"Path", "/", 0, 's'}, {"Type", nullptr, 0, 'e'}, {"Units", nullptr, 0, 'e'}}), 0) << rec.mon.failReason;
    const QList<QByteArray> df = run("df", {"-Pk", "/"}).split('\n').value(1).simplified().split(' ');
    const double freeMb = df.value(3).toDouble() / 1024;
    EXPECT_NEAR(static_cast<double>(rec.mon.perfValue), freeMb, freeMb * 0.01 + 1);
    EXPECT_EQ(unit(rec), QByteArray(" MB"));

    PluginTestRecord percent;
    ASSERT_EQ(poll(percent, kDisk, {{"Path", "/", 0, 's'}, {"Type", nullptr, 1, 'e'}, {"Units", nullptr, 2, 'e'}}), 0);
    EXPECT_EQ(unit(percent), QByteArray(" %"));
    EXPECT_LE(percent.mon.perfValue, 100);

    PluginTestRecord list;
    list.acceptNewMonitors();
    ASSERT_EQ(poll(list, kDisk, {{"Path", "/", 0, 's'}, {"Type", nullptr, 0, 'e'}, {"Units", nullptr, 0, 'e'}}, 2), 0) << list.mon.failReason;
    const int points = run("sh", {"-c", "df -Pk | awk 'NR > 1 && $2 > 0' | wc -l"}).trimmed().toInt();
    EXPECT_EQ(list.mon.perfValue, points);
    ASSERT_EQ(static_cast<int>(list.newMonitors.size()), points);
    for (const PluginNewMonitor& m : list.newMonitors) {
        EXPECT_EQ(m.typeName, "SSH Disk space");
        ASSERT_EQ(m.settings.size(), 1u) << qPrintable(m.name);
        EXPECT_EQ(m.settings[0].name, "Path");
        EXPECT_EQ(m.settings[0].value.toString(), m.name);
        EXPECT_EQ(m.settings[0].flag, 1);
    }
    EXPECT_EQ(std::count_if(list.newMonitors.begin(), list.newMonitors.end(), [](const PluginNewMonitor& m) { return m.name == "/"; }), 1);

    for (const auto& [type, units, reason] : {std::tuple{2, 0, "Unknown type"}, std::tuple{0, 3, "Unknown units"}}) {
        PluginTestRecord r;
        EXPECT_EQ(poll(r, kDisk, {{"Path", "/", 0, 's'}, {"Type", nullptr, type, 'e'}, {"Units", nullptr, units, 'e'}}), 1);
        EXPECT_STREQ(r.mon.failReason, reason);
    }
}

TEST(SshResourceScripts, RunDirectlyWithSh)
{
    const QString scripts = QStringLiteral(ZAM_BUILD_DIR "/scripts/");
    struct Case { const char* script; QStringList args; double lo; double hi; };
    const Case cases[] = {
        {"ssh-cpu-stats.sh", {"-cputime", "active"}, 0, 100},
        {"ssh-cpu-stats.sh", {"-intpersec"}, 0, 1e12},
        {"ssh-cpu-stats.sh", {"-bogus"}, -1, -1},
        {"ssh-memory-stats.sh", {"-memory", "phy", "-usage", "free", "-units", "MB"}, 1, 1e9},
        {"ssh-memory-stats.sh", {"-memory", "phy", "-usage", "free", "-units", "GB"}, -1, -1},
        {"ssh-process.sh", {"-metric", "count", "-name", "init; echo 99"}, 0, 0},
        {"ssh-diskspace.sh", {"-name", "/no/such/folder", "-type", "free"}, -1, -1},
        {"ssh-diskspace.sh", {"-name", "/", "-type", "used", "-percent"}, 0, 100},
    };
    for (const Case& c : cases) {
        const QByteArray out = run("sh", QStringList{scripts + c.script} + c.args).trimmed();
        bool ok = false;
        const double value = out.split(' ').value(0).toDouble(&ok);
        EXPECT_TRUE(ok) << c.script << " " << out.constData();
        EXPECT_GE(value, c.lo) << c.script << " " << qPrintable(c.args.join(' '));
        EXPECT_LE(value, c.hi) << c.script << " " << qPrintable(c.args.join(' '));
    }
    // mount points are whole lines, blanks included
    QTemporaryDir bin;
    QFile df(bin.filePath("df"));
    ASSERT_TRUE(df.open(QIODevice::WriteOnly));
    df.write("#!/bin/sh\necho 'Filesystem 1024-blocks Used Available Capacity Mounted on'\n"
             "echo '/dev/sda1 100 50 50 50% /'\necho '/dev/sdb1 200 10 190 5% /media/my disk'\n"
             "echo 'proc 0 0 0 - /proc'\n");
    df.close();
    df.setPermissions(df.permissions() | QFileDevice::ExeOwner);
    QProcess sh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", bin.path() + ":" + env.value("PATH"));
    sh.setProcessEnvironment(env);
    sh.start("sh", {scripts + "ssh-diskspace.sh", "-enumerate"});
    ASSERT_TRUE(sh.waitForFinished(20000));
    EXPECT_EQ(sh.readAllStandardOutput(), QByteArray("/\n/media/my disk\n"));
}

} // namespace
