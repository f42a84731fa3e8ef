// The built libzam_core.so, loaded and driven the way the daemon drives it.

#include "support/PluginTestHost.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

struct TypeRow {
    unsigned index;
    const char* name;
    bool supported;   // has a poll or a start function
    int settings;     // settings count as published once every table is in
};

const TypeRow kTypes[] = {
    {0, "PING", true, 2},
    {1, "TCP", true, 2},
    {2, "UDP", true, 3},
    {3, "SMTP", true, 13},
    {4, "POP3", true, 7},
    {5, "IMAP", true, 7},
    {6, "HTTP(S)", true, 19},
    {7, "FTP", true, 6},
    {8, "Disk space", true, 6},
    {9, "File", true, 4},
    {10, "Windows Service", false, 4},
    {11, "ODBC Database", false, 4},
    {12, "WMI Query", false, 10},
    {13, "SNMP Custom", true, 16},
    {14, "Script or Program", true, 11},
    {15, "Oracle Database", false, 5},
    {16, "MySQL Database", true, 10},
    {17, "MSSQL Database", false, 13},
    {18, "Web Transaction monitor", false, 2},
    {19, "SSH (Remote Script or Program)", true, 18},
    {20, "DNS", true, 4},
    {21, "SNMP Generic Trap", true, 22},
    {22, "SNMP Traffic Speed", true, 12},
    {23, "SNMP Traffic Volume", true, 12},
    {24, "WMI Traffic Speed", false, 7},
    {25, "WMI Traffic Volume", false, 7},
    {26, "WMI CPU", false, 4},
    {27, "WMI Memory", false, 6},
    {28, "WMI Process", false, 6},
    {29, "SNMP CPU", true, 9},
    {30, "SNMP Memory", true, 11},
    {31, "SNMP Disk space", true, 11},
    {32, "SNMP Process", true, 11},
    {33, "SSH CPU", true, 10},
    {34, "SSH Memory", true, 12},
    {35, "SSH Process", true, 12},
    {36, "SSH Disk space", true, 12},
    {37, "WMI Disk Space", false, 6},
    {38, "Hyper-V Host", false, 4},
    {39, "Hyper-V Virtual Machine", false, 5},
    {40, "Hyper-V Virtual Storage", false, 7},
    {41, "Hyper-V Network Traffic", false, 9},
    {42, "VMware Host", true, 9},
    {43, "VMware Virtual Machine", true, 10},
    {44, "VMware Datastore", true, 7},
    {45, "Python script", true, 10},
    {46, "Email Round-Trip", true, 23},
    {47, "Windows Event Log", false, 20},
    {48, "Syslog monitor", true, 12},
    {49, "PostgreSQL Database", true, 6},
};

// Rows whose poll function is a real check rather than the stand-in.
const std::set<unsigned> kImplementedRows = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 16, 19, 20, 22, 23, 29, 30, 31, 32, 33, 34, 35, 36, 42, 43, 44, 45, 46, 49};

class LoadedPlugin : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }
    PluginTestHost host;
};

TEST(PluginExports, ExactlyTheTwentyEntryPointsAreExported)
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), testpaths::pluginPath()});
    ASSERT_TRUE(nm.waitForFinished(60000));
    ASSERT_EQ(nm.exitCode(), 0) << nm.readAllStandardError().toStdString();
    std::set<std::string> names;
    for (const QByteArray& line : nm.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() >= 3)
            names.insert(parts.last().toStdString());
    }
    const std::set<std::string> expected = {
        "zam_plugin_register_log_cb", "zam_plugin_register_service_data_cb", "zam_plugin_register_getmem_cb",
        "zam_plugin_init", "zam_plugin_init_thread", "zam_plugin_term", "zam_plugin_term_thread",
        "zam_plugin_get_count", "zam_plugin_get_monitor_type", "zam_plugin_free_monitor_type",
        "zam_plugin_get_action_type", "zam_plugin_free_action_type", "zam_plugin_poll",
        "zam_plugin_invalidate_monitor_cache", "zam_plugin_init_monitor_by_event",
        "zam_plugin_term_monitor_by_event", "zam_plugin_exec_monitor_by_event", "zam_plugin_action",
        "zam_plugin_invalidate_action_cache", "zam_plugin_is_monitor_type_supported"};
    EXPECT_EQ(names, expected);
}

TEST_F(LoadedPlugin, CountsAndEveryDescriptorByIndex)
{
    int monitors = -1, actions = -1;
    EXPECT_EQ(host.api().get_count(host.ctx(), &monitors, &actions), 0);
    EXPECT_EQ(monitors, 50);
    EXPECT_EQ(actions, 1);
    ASSERT_EQ(sizeof(kTypes) / sizeof(kTypes[0]), 50u);
    for (const TypeRow& row : kTypes) {
        SCOPED_TRACE(row.index);
        const stZamMonitorType* type = host.descriptor(row.index);
        ASSERT_NE(type, nullptr);
        EXPECT_STREQ(type->name, row.name);
        EXPECT_EQ(host.api().is_monitor_type_supported(host.ctx(), row.index), row.supported ? 1 : 0);
        EXPECT_EQ(host.api().free_monitor_type(type), 0);
        // A count above 0 always comes with that many readable rows.
        ASSERT_GE(type->settingsCount, 0);
        if (type->settingsCount > 0) {
            ASSERT_NE(type->settings, nullptr);
            for (int i = 0; i < type->settingsCount; ++i) {
                ASSERT_NE(type->settings[i].name, nullptr);
                EXPECT_GT(std::strlen(type->settings[i].name), 0u);
                EXPECT_NE(type->settings[i].type, 0);
                if (type->settings[i].enumCount > 0) {
                    EXPECT_NE(type->settings[i].enums, nullptr);
                }
            }
        }
        if (!row.supported) {
            EXPECT_EQ(type->settingsCount, row.settings);
        }
        EXPECT_EQ(type->flagChar1, (row.index == 21 || row.index == 48) ? 'y' : 'n');
    }
    EXPECT_STREQ(host.descriptor(49)->name, "PostgreSQL Database");
    EXPECT_EQ(host.descriptor(0)->defaultInterval, 30);
    EXPECT_STREQ(host.descriptor(9)->unit, "MB");
    EXPECT_EQ(host.descriptor(46)->protocolMask, 56);
    EXPECT_EQ(host.descriptor(39)->resourceMask, 3);
}

TEST_F(LoadedPlugin, OutOfRangeIndexesAreRefused)
{
    for (unsigned index : {50u, static_cast<unsigned>(-1), 0xFFFFFFFFu, 0x80000000u}) {
        SCOPED_TRACE(index);
        const stZamMonitorType* type = reinterpret_cast<const stZamMonitorType*>(0x1);
        EXPECT_EQ(host.api().get_monitor_type(host.ctx(), index, &type), 1);
        EXPECT_EQ(type, nullptr);
        EXPECT_EQ(host.api().is_monitor_type_supported(host.ctx(), index), 0);

        PluginTestRecord rec;
        rec.mon.typeIndex = index;
        std::strcpy(rec.mon.failReason, "untouched");
        rec.mon.resultCode = 7;
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_STREQ(rec.mon.failReason, "untouched");
        EXPECT_EQ(rec.mon.resultCode, 7);
        EXPECT_EQ(host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, 3), 1);
        EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), -1);
        host.api().term_monitor_by_event(&rec.mon);
        host.api().exec_monitor_by_event(&rec.mon);
    }
    EXPECT_EQ(host.api().get_monitor_type(host.ctx(), 0, nullptr), 1);
}

TEST_F(LoadedPlugin, NullRecordsAndActionsAreRefused)
{
    EXPECT_EQ(host.api().poll(host.ctx(), host.tctx(), nullptr), 1);
    EXPECT_EQ(host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), nullptr, 3), 1);
    EXPECT_EQ(host.api().init_monitor_by_event(nullptr), -1);
    host.api().term_monitor_by_event(nullptr);
    host.api().exec_monitor_by_event(nullptr);
    EXPECT_EQ(host.api().action(host.ctx(), host.tctx(), nullptr), 1);
    EXPECT_EQ(host.api().invalidate_action_cache(host.ctx(), host.tctx(), nullptr), 1);

    stZamAction act{};
    EXPECT_EQ(host.api().action(host.ctx(), host.tctx(), &act), 1);
    EXPECT_EQ(host.api().invalidate_action_cache(host.ctx(), host.tctx(), &act), 0);
    act.typeIndex = 1;
    EXPECT_EQ(host.api().invalidate_action_cache(host.ctx(), host.tctx(), &act), 1);

    const stZamActionType* type = reinterpret_cast<const stZamActionType*>(0x1);
    EXPECT_EQ(host.api().get_action_type(host.ctx(), 0, &type), 0);
    EXPECT_EQ(type, nullptr);
    EXPECT_EQ(host.api().get_action_type(host.ctx(), 1, &type), 1);
    EXPECT_EQ(host.api().free_action_type(nullptr), 0);
    int monitors = 0;
    EXPECT_EQ(host.api().get_count(host.ctx(), &monitors, nullptr), 0);
    EXPECT_EQ(monitors, 50);
}

TEST_F(LoadedPlugin, RowsWithoutCodeReportNotImplementedAndKeepResults)
{
    for (const TypeRow& row : kTypes) {
        if (row.supported)
            continue;
        SCOPED_TRACE(row.index);
        PluginTestRecord rec;
        rec.mon.typeIndex = row.index;
        rec.mon.resultCode = 5;
        rec.mon.resultValue = 6;
        rec.mon.perfValue = 7;
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_EQ(std::string(rec.mon.failReason),
                  std::string("Monitor type '") + row.name + "' has not been implemented yet.");
        EXPECT_EQ(rec.mon.resultCode, 5);
        EXPECT_EQ(rec.mon.resultValue, 6);
        EXPECT_EQ(rec.mon.perfValue, 7);
    }
}

TEST_F(LoadedPlugin, PollStartsFromClearedResultFields)
{
    for (const TypeRow& row : kTypes) {
        if (!row.supported || row.index == 21 || row.index == 48)
            continue;
        SCOPED_TRACE(row.index);
        PluginTestRecord rec;
        rec.mon.typeIndex = row.index;
        rec.mon.perfValue = 99;
        rec.mon.resultCode = 3;
        rec.mon.resultValue = 4;
        rec.mon.resultExtra = 5;
        rec.mon.pollFlags = 6;
        std::memset(rec.mon.failReason, 'x', sizeof rec.mon.failReason - 1);
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_EQ(rec.mon.perfValue, 0);
        EXPECT_EQ(rec.mon.resultCode, -2);
        EXPECT_EQ(rec.mon.resultValue, -1);
        EXPECT_EQ(rec.mon.resultExtra, 0);
        EXPECT_EQ(rec.mon.pollFlags, 0);
        EXPECT_EQ(std::strchr(rec.mon.failReason, 'x'), nullptr) << rec.mon.failReason;
        // a row whose check is in fails on the empty record with its own reason
        if (kImplementedRows.count(row.index) == 0)
            EXPECT_NE(std::strstr(rec.mon.failReason, row.name), nullptr) << rec.mon.failReason;
        else
            EXPECT_NE(rec.mon.failReason[0], '\0');
    }
}

TEST_F(LoadedPlugin, InvalidateFollowsTheRow)
{
    PluginTestRecord rec;
    // No invalidate function: nothing changes.
    rec.mon.typeIndex = 0;
    int marker = 0;
    rec.mon.cachedData = &marker;
    EXPECT_EQ(host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, 3), 0);
    EXPECT_EQ(rec.mon.cachedData, &marker);

    // HTTP(S) frees what the flags name.
    rec.mon.typeIndex = 6;
    rec.mon.cachedData = std::malloc(16);
    rec.mon.pluginData = std::malloc(16);
    EXPECT_EQ(host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, 1), 0);
    EXPECT_EQ(rec.mon.cachedData, nullptr);
    EXPECT_NE(rec.mon.pluginData, nullptr);
    EXPECT_EQ(host.api().invalidate_monitor_cache(host.ctx(), host.tctx(), &rec.mon, 2), 0);
    EXPECT_EQ(rec.mon.pluginData, nullptr);
}

int g_initCalls = 0;
int g_termCalls = 0;
int fakeInit(stZamMonitor* mon)
{
    ++g_initCalls;
    return mon->monitorId == 42 ? 0 : 3;
}
void fakeTerm(stZamMonitor*)
{
    ++g_termCalls;
}

TEST_F(LoadedPlugin, ReceiverRowsForwardStartAndStopToTheHost)
{
    struct Case {
        unsigned index;
        const char* initName;
        const char* termName;
        const char* missing;
        // Trace lines: start and stop without the host's functions, then with them.
        QStringList initMissingLog, termMissingLog, initLog, termLog;
    } cases[] = {
        {21, "int_initSnmpGenTrap_ZamMonitor*", "void_termSnmpGenTrap_ZamMonitor*",
         "cannot get function for initialization of SNMP Generic Trap",
         {"init trap", "cannot get function for initialization of SNMP Generic Trap"},
         {"term trap", "cannot get function for shutdown of SNMP Generic Trap"},
         {"init trap", "init trap ok"},
         {"term trap", "term trap ok"}},
        {48, "int_initSyslog_ZamMonitor*", "void_termSyslog_ZamMonitor*",
         "cannot get initialization function for Syslog monitor",
         {"initializing syslog", "cannot get initialization function for Syslog monitor"},
         {"terminating syslog", "cannot get shutdown function for Syslog monitor"},
         {"initializing syslog", "init syslog done"},
         {"terminating syslog", "term syslog done"}},
    };
    // The monitor's trace lines since the last clearLog, without their "host: type, id" head.
    const auto traced = [this]() {
        QStringList texts;
        for (const QString& line : host.logTexts(ZAM_LOG_TRACE))
            texts << line.section(QStringLiteral(": "), 2);
        host.clearLog();
        return texts;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        PluginTestRecord rec;
        rec.mon.typeIndex = c.index;
        rec.mon.resultCode = 9;
        rec.mon.logEnabled = 1;
        host.clearLog();
        EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), 1);
        EXPECT_EQ(traced(), c.initMissingLog);
        EXPECT_STREQ(rec.mon.failReason, c.missing);
        EXPECT_EQ(rec.mon.resultCode, -2);
        rec.mon.failReason[0] = '\0';
        host.api().term_monitor_by_event(&rec.mon);  // nothing to call
        EXPECT_EQ(traced(), c.termMissingLog);
        EXPECT_STREQ(rec.mon.failReason, "");  // a stop without the function only logs
        EXPECT_TRUE(host.servicesAsked().contains(QString::fromLatin1(c.termName)));

        host.setService(QString::fromLatin1(c.initName), reinterpret_cast<void*>(&fakeInit));
        host.setService(QString::fromLatin1(c.termName), reinterpret_cast<void*>(&fakeTerm));
        g_initCalls = g_termCalls = 0;
        rec.mon.monitorId = 42;
        EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), 0);
        EXPECT_EQ(traced(), c.initLog);
        EXPECT_STREQ(rec.mon.failReason, "");
        rec.mon.monitorId = 1;
        EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), 3);
        host.clearLog();
        host.api().term_monitor_by_event(&rec.mon);
        EXPECT_EQ(traced(), c.termLog);
        EXPECT_EQ(g_initCalls, 2);
        EXPECT_EQ(g_termCalls, 1);
        // A row without a start function refuses.
        rec.mon.typeIndex = 0;
        EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), -1);
    }
}

TEST_F(LoadedPlugin, TermForgetsTheCallbacksAndInitStartsAgain)
{
    PluginTestRecord rec;
    rec.mon.typeIndex = 48;
    rec.mon.logEnabled = 1;
    host.clearLog();
    EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), 1);
    EXPECT_FALSE(host.logTexts(4).isEmpty());  // the reason also went to the trace

    host.term();
    host.clearLog();
    // The library no longer has a log sink or a service lookup: no line, nothing asked.
    const int askedBefore = host.servicesAsked().size();
    EXPECT_EQ(host.api().init_monitor_by_event(&rec.mon), 1);
    EXPECT_TRUE(host.logLines().isEmpty());
    EXPECT_EQ(host.servicesAsked().size(), askedBefore);

    ASSERT_TRUE(host.init());
    rec.mon.typeIndex = 10;
    EXPECT_EQ(host.poll(rec), 1);
    EXPECT_STREQ(rec.mon.failReason, "Monitor type 'Windows Service' has not been implemented yet.");
}

TEST_F(LoadedPlugin, ThreadsPollAtTheSameTimeWithTheirOwnContexts)
{
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            stCoreZamThreadContext* tctx = nullptr;
            if (host.api().init_thread(host.ctx(), &tctx) != 0 || !tctx) {
                ++wrong;
                return;
            }
            PluginTestRecord rec;
            for (int i = 0; i < 2000; ++i) {
                rec.mon.typeIndex = (i + t) % 2 ? 10 : 17;
                const char* name = rec.mon.typeIndex == 10 ? "Windows Service" : "MSSQL Database";
                if (host.api().poll(host.ctx(), tctx, &rec.mon) != 1 ||
                    std::string(rec.mon.failReason) !=
                        std::string("Monitor type '") + name + "' has not been implemented yet.")
                    ++wrong;
            }
            host.api().term_thread(host.ctx(), tctx);
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
