#include "support/CapturedMessages.h"
#include "TestComponents.h"

#include "engine/CConfigManagerAgent.h"
#include "engine/CScheduleManagerAgent.h"
#include "engine/CTaskManager.h"
#include "link/CAgentAgentManager.h"
#include "link/CControlServer.h"
#include "support/EventLoopWait.h"
#include "receivers/CSnmpTrapManager.h"
#include "receivers/SyslogLineManager.h"

#include <gtest/gtest.h>

namespace {

const QStringList kStartOrder = {
    QStringLiteral("config manager"), QStringLiteral("control server"), QStringLiteral("snmp trap manager"),
    QStringLiteral("syslog lines manager"), QStringLiteral("schedule manager"), QStringLiteral("task manager"),
    QStringLiteral("super agent manager")};
const QStringList kGateOrder = {
    QStringLiteral("config manager"), QStringLiteral("task manager"), QStringLiteral("schedule manager"),
    QStringLiteral("control server"), QStringLiteral("snmp trap manager"), QStringLiteral("syslog lines manager"),
    QStringLiteral("super agent manager")};
const QStringList kTestStopOrder = {
    QStringLiteral("task manager"), QStringLiteral("schedule manager"), QStringLiteral("control server"),
    QStringLiteral("snmp trap manager"), QStringLiteral("syslog lines manager"), QStringLiteral("config manager")};

std::string missingText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no exception";
}

class NetworkMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override { EventLog::clear(); }
    void TearDown() override { destroyNetworkMonitor(); }
};

}

TEST_F(NetworkMonitorTest, ComponentsStartOpenGatesAndStopInTheirOrders)
{
    // Slow shutdowns of the components that others must wait for.
    auto behaviour = [](const QString& name) {
        TestBehaviour b;
        if (name == QStringLiteral("config manager") || name == QStringLiteral("snmp trap manager")
            || name == QStringLiteral("syslog lines manager"))
            b.shutdownDelayMs = 300;
        return b;
    };
    createNetworkMonitor(nullptr, true, testFactory(behaviour));
    CNetworkMonitor* root = networkMonitor();
    createNetworkMonitor(nullptr, true, testFactory());   // a second create does nothing
    EXPECT_EQ(networkMonitor(), root);

    EXPECT_EQ(EventLog::with(QStringLiteral("starting ")), kStartOrder);
    EXPECT_EQ(EventLog::with(QStringLiteral("gate ")), kGateOrder);
    EXPECT_TRUE(CNetworkMonitor::isInitialized(CNetworkMonitor::kCompleteMask));
    EXPECT_FALSE(CNetworkMonitor::isStopped(CNetworkMonitor::kCompleteMask));
    EXPECT_FALSE(CNetworkMonitor::hasFailed());
    EXPECT_FALSE(CNetworkMonitor::isShutdownFailed());

    destroyNetworkMonitor();
    EXPECT_EQ(missingText([] { networkMonitor(); }), "missing network monitor instance");

    const QStringList events = EventLog::all();
    // No post-init before every component has initialised.
    int lastInit = -1, firstPostInit = events.size();
    for (int i = 0; i < events.size(); ++i) {
        if (events[i].startsWith(QStringLiteral("init ")))
            lastInit = i;
        if (events[i].startsWith(QStringLiteral("postInit ")) && i < firstPostInit)
            firstPostInit = i;
    }
    EXPECT_EQ(EventLog::with(QStringLiteral("init ")).size(), 6);
    EXPECT_LT(lastInit, firstPostInit);
    EXPECT_GE(events.indexOf(QStringLiteral("agent start")), 0);
    EXPECT_GT(events.indexOf(QStringLiteral("agent stopped")), events.indexOf(QStringLiteral("agent start")));

    // Stop flags are all set before the first stop step; stop steps run in the fixed order.
    EXPECT_EQ(EventLog::with(QStringLiteral("stop ")), kTestStopOrder);
    EXPECT_EQ(EventLog::with(QStringLiteral("flags at stop ")), QVector<QString>(6, QStringLiteral("7")).toList());

    // Stop permissions: control after config; schedule after trap and syslog.
    auto at = [&](const char* e) { return events.indexOf(QString::fromLatin1(e)); };
    EXPECT_LT(at("shutdown config manager"), at("shutdown control server"));
    EXPECT_LT(at("shutdown snmp trap manager"), at("shutdown schedule manager"));
    EXPECT_LT(at("shutdown syslog lines manager"), at("shutdown schedule manager"));
    EXPECT_EQ(EventLog::with(QStringLiteral("shutdown ")).size(), 6);
}

TEST_F(NetworkMonitorTest, AccessorsGiveTheComponentsOrThrow)
{
    createNetworkMonitor(nullptr, true);
    EXPECT_EQ(configManager()->name(), QStringLiteral("config manager"));
    EXPECT_EQ(controlServer()->name(), QStringLiteral("control server"));
    EXPECT_EQ(snmpTrapManager()->name(), QStringLiteral("snmp trap manager"));
    EXPECT_EQ(syslogLinesManager()->name(), QStringLiteral("syslog lines manager"));
    EXPECT_EQ(taskManager()->name(), QStringLiteral("task manager"));
    EXPECT_EQ(scheduleManager()->name(), QStringLiteral("schedule manager"));
    EXPECT_EQ(agentManager()->objectName(), QStringLiteral("agent manager"));
    const struct {
        CNetMonSysHeavy* component;
        int bit;
    } bits[] = {
        {configManager(), 1}, {controlServer(), 2}, {taskManager(), 4}, {scheduleManager(), 8},
        {snmpTrapManager(), 32}, {syslogLinesManager(), 64}, {networkMonitor()->superAgentManager(), 16},
    };
    for (const auto& b : bits)
        EXPECT_EQ(b.component->subsystemBit(), b.bit) << qPrintable(b.component->name());
    EXPECT_EQ(agentManager()->subsystemBit(), 16);
    EXPECT_TRUE(agentManager()->sendPollResult(7));   // no link: reported as sent
    destroyNetworkMonitor();

    // Components of other classes are not the typed ones the accessors promise.
    createNetworkMonitor(nullptr, true, testFactory());
    const struct {
        std::function<void()> call;
        const char* text;
    } cases[] = {
        {[] { configManager(); }, "missing config manager instance"},
        {[] { controlServer(); }, "missing control server instance"},
        {[] { snmpTrapManager(); }, "missing snmp trap manager instance"},
        {[] { syslogLinesManager(); }, "missing syslog lines manager instance"},
        {[] { taskManager(); }, "missing task manager instance"},
        {[] { scheduleManager(); }, "missing schedule manager instance"},
        {[] { agentManager(); }, "missing agent manager instance"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(missingText(c.call), c.text);
}

TEST_F(NetworkMonitorTest, FailedInitIsReportedOnceAndStopsInOrder)
{
    auto behaviour = [](const QString& name) {
        TestBehaviour b;
        if (name == QStringLiteral("task manager"))
            b.initResult = false;
        if (name == QStringLiteral("schedule manager")) {
            b.initThrows = true;
            b.initDelayMs = 300;   // fails after the root is already marked failed
        }
        return b;
    };
    CapturedMessages messages;
    createNetworkMonitor(nullptr, true, testFactory(behaviour));
    EXPECT_TRUE(waitUntil([] { return CNetworkMonitor::hasFailed(); }));
    destroyNetworkMonitor();

    const QStringList lines = CapturedMessages::lines();
    // Both pass their start gate together; only the first of them is reported.
    const QStringList reported = lines.filter(QStringLiteral("cannot initialize"));
    ASSERT_EQ(reported.size(), 1) << ::testing::PrintToString(reported);
    EXPECT_TRUE(reported[0] == QStringLiteral("critical: task manager: cannot initialize")
                || reported[0] == QStringLiteral("critical: schedule manager: cannot initialize"));
    EXPECT_EQ(lines.count(QStringLiteral("warning: schedule manager: exception in init: init broke")), 1);
    // Every component still ran its shutdown and was joined.
    EXPECT_EQ(EventLog::with(QStringLiteral("shutdown ")).size(), 6);
}

TEST_F(NetworkMonitorTest, MissingComponentIsReportedAsBad)
{
    const struct {
        const char* slot;
        const char* line;
    } cases[] = {
        {"config manager", "critical: network monitor: config manager is bad"},
        {"control server", "critical: network monitor: control server is bad"},
        {"snmp trap manager", "critical: network monitor: snmp trap manager is bad"},
        {"syslog lines manager", "critical: network monitor: syslog line manager is bad"},
        {"task manager", "critical: network monitor: task manager is bad"},
        {"schedule manager", "critical: network monitor: schedule manager is bad"},
        {"agent manager", "critical: network monitor: agent manager is bad"},
    };
    for (const auto& c : cases) {
        CapturedMessages messages;
        CNetworkMonitor root(nullptr, testFactory({}, {QString::fromLatin1(c.slot)}));
        EXPECT_TRUE(root.reportMissingComponent());
        EXPECT_EQ(CapturedMessages::lines(), QStringList({QString::fromLatin1(c.line)}));
    }
    CNetworkMonitor complete(nullptr, testFactory());
    EXPECT_FALSE(complete.reportMissingComponent());
}

TEST_F(NetworkMonitorTest, WithoutRootHealthCheckFailsAndFatalErrorOnlyLogs)
{
    CapturedMessages messages;
    EXPECT_TRUE(CNetworkMonitor::hasFailed());
    reportFatalError(QStringLiteral("cannot initialize libcurl"));
    EXPECT_FALSE(CNetworkMonitor::isShutdownFailed());
    EXPECT_TRUE(CNetworkMonitor::canStop(CNetworkMonitor::ControlBit));
    EXPECT_EQ(CapturedMessages::lines(), QStringList({QStringLiteral("critical: network monitor: bad instance"),
                                                      QStringLiteral("critical: cannot initialize libcurl")}));
}

TEST_F(NetworkMonitorTest, FatalErrorOfAComponentFailsTheRoot)
{
    createNetworkMonitor(nullptr, true, testFactory());
    EXPECT_FALSE(CNetworkMonitor::hasFailed());
    reportFatalError(QStringLiteral("something broke"));
    EXPECT_TRUE(CNetworkMonitor::hasFailed());
}

TEST(NetworkMonitorDeathTest, StartWithAMissingComponentIsFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(createNetworkMonitor(nullptr, false, testFactory({}, {QStringLiteral("task manager")})),
                 "network monitor: cannot create subsystems");
}
