// The SSH resource monitor types with scripts this program writes: it runs from a folder of its
// own (<build>/ssh-fixture/bin), so the shipped scripts it finds are <build>/ssh-fixture/scripts.
// The monitored host is a private sshd, whose log tells when a client was dropped.

#include "support/PluginTestHost.h"
#include "support/PrivateSshd.h"
#include "support/TestServers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace {

enum : unsigned { kCpu = 33, kMemory = 34, kProcess = 35, kDisk = 36 };

class SshResourceFixtures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.load()) << host.error().toStdString();
        ASSERT_TRUE(QDir().mkpath(scriptsDir()));
        for (const char* name : {"ssh-cpu-stats.sh", "ssh-memory-stats.sh", "ssh-process.sh", "ssh-diskspace.sh"})
            QFile::remove(scriptsDir() + name);
    }

    static QString scriptsDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../scripts/"); }
    static void writeScript(const char* name, const QByteArray& text)
    {
        QFile file(scriptsDir() + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    struct Own { const char* name; const char* text; int value; int kind; };
    int poll(PluginTestRecord& rec, unsigned type, std::initializer_list<Own> own)
    {
        rec.mon.typeIndex = type;
        rec.mon.timeout = 10000;
        rec.setHost("", testservers::kHost, false);
        rec.clearSettings();
        for (const Own& o : own)
            rec.addSetting(o.name, o.text, o.value, o.kind);
        rec.addSetting("Port", nullptr, server.port(), 'i');
        rec.addSetting("Test Host Key", nullptr, 1, 'e');
        rec.addSetting(" Host Key Fingerprint", "");
        rec.addSetting("Authentication Type", nullptr, 0, 'e');
        rec.addSetting(" User Name", testservers::kUser);
        rec.addSetting(" Password", testservers::kPassword, 0, 'p');
        rec.addSetting(" Path to Public Key File", "", 0, 'L');
        rec.addSetting(" Path to Private Key File", "", 0, 'L');
        rec.addSetting(" Passphrase for Private Key", "", 0, 'p');
        return host.poll(rec);
    }
    int pollDisk(PluginTestRecord& rec, int units)
    {
        return poll(rec, kDisk, {{"Path", "/", 0, 's'}, {"Type", nullptr, 0, 'e'}, {"Units", nullptr, units, 'e'}});
    }

    PluginTestHost host;
    PrivateSshd server;
};

TEST_F(SshResourceFixtures, DiskAnswersInKilobytesTakeTheMonitorsUnits)
{
    ZAM_REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    writeScript("ssh-diskspace.sh", "echo 1572864\n");
    struct Case { int units; int64_t value; const char* unit; };
    // 1.5 GB rounds half away from zero
    for (const Case& c : {Case{1, 2, " GB"}, Case{0, 1536, " MB"}, Case{2, 1572864, " %"}}) {
        PluginTestRecord rec;
        ASSERT_EQ(pollDisk(rec, c.units), 0) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.perfValue, c.value) << c.units;
        EXPECT_EQ(rec.sectionText(ZAM_SECTION_MEASURE_UNIT), QByteArray(c.unit)) << c.units;
    }
}

TEST_F(SshResourceFixtures, NoInformationFailsThePollAndDropsTheClient)
{
    ZAM_REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    writeScript("ssh-cpu-stats.sh", "echo 7\n");
    writeScript("ssh-memory-stats.sh", "echo -1 no swap\n");
    PluginTestRecord cpu;
    ASSERT_EQ(poll(cpu, kCpu, {{"Metric", nullptr, 0, 'e'}}), 0) << cpu.mon.failReason;
    int before = server.connectionCount();
    PluginTestRecord memory;
    EXPECT_EQ(poll(memory, kMemory, {{"Metric", nullptr, 1, 'e'}, {"Type", nullptr, 1, 'e'}, {"Units", nullptr, 1, 'e'}}), 1);
    EXPECT_STREQ(memory.mon.failReason, "No information for this metric");
    EXPECT_EQ(server.connectionCount(), before) << "the pooled session served the failing poll";
    PluginTestRecord again;
    ASSERT_EQ(poll(again, kCpu, {{"Metric", nullptr, 0, 'e'}}), 0) << again.mon.failReason;
    EXPECT_EQ(again.mon.perfValue, 7);
    EXPECT_EQ(server.connectionCount(), before + 1) << "the failed poll's client was dropped";
}

TEST_F(SshResourceFixtures, AnEditedScriptCountsOnlyAfterInvalidation)
{
    ZAM_REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    writeScript("ssh-process.sh", "echo 5\n");
    PluginTestRecord rec;
    ASSERT_EQ(poll(rec, kProcess, {{"Metric", nullptr, 0, 'e'}, {"Name", "", 0, 's'}, {"Mandatory arguments", "", 0, 's'}}), 0);
    EXPECT_EQ(rec.mon.perfValue, 5);
    writeScript("ssh-process.sh", "echo 6\n");
    ASSERT_EQ(poll(rec, kProcess, {{"Metric", nullptr, 0, 'e'}, {"Name", "", 0, 's'}, {"Mandatory arguments", "", 0, 's'}}), 0);
    EXPECT_EQ(rec.mon.perfValue, 5) << "the loaded script stays";
    host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, ZAM_INVALIDATE_PLUGIN_DATA);
    EXPECT_EQ(rec.mon.pluginData, nullptr);
    ASSERT_EQ(poll(rec, kProcess, {{"Metric", nullptr, 0, 'e'}, {"Name", "", 0, 's'}, {"Mandatory arguments", "", 0, 's'}}), 0);
    EXPECT_EQ(rec.mon.perfValue, 6);
    host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, ZAM_INVALIDATE_PLUGIN_DATA);
}

TEST_F(SshResourceFixtures, MissingAndOversizedScriptsRunNothing)
{
    ZAM_REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("ran"));
    QByteArray big = "touch '" + marker.toUtf8() + "'\necho 1\n#";
    big += QByteArray(1048577 - big.size() - 1, 'x') + "\n";
    ASSERT_EQ(big.size(), 1048577);
    writeScript("ssh-diskspace.sh", big);
    const int before = server.connectionCount();

    PluginTestRecord missing;
    EXPECT_EQ(poll(missing, kCpu, {{"Metric", nullptr, 0, 'e'}}), 1);
    const QString expected = QStringLiteral("Cannot open file: ") + QFileInfo(QCoreApplication::applicationDirPath()).path()
                             + QStringLiteral("/scripts/ssh-cpu-stats.sh");
    EXPECT_EQ(QString::fromUtf8(missing.mon.failReason), expected);

    PluginTestRecord oversized;
    EXPECT_EQ(pollDisk(oversized, 0), 1);
    EXPECT_STREQ(oversized.mon.failReason, "Script file size must be less than 1MB");
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(server.connectionCount(), before) << "no session was opened for them";
}

} // namespace
