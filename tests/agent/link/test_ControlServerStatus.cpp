// The link status on the control port, with the control server and the agent manager inside
// a root whose other components are stand-ins.
#include "ControlPortClient.h"
#include "support/CapturedMessages.h"
#include "../core/TestComponents.h"

#include "link/CAgentAgentManager.h"

#include <gtest/gtest.h>

namespace {

CNetworkMonitor::ComponentFactory statusFactory()
{
    return [](CNetworkMonitor* root) {
        auto make = [root](const char* name, int bit) -> CNetMonSysHeavy* {
            return new TestComponent(root, QString::fromLatin1(name), bit, TestBehaviour());
        };
        CNetworkMonitor::Components c;
        c.controlServer = new CControlServer(root, QStringLiteral("control server"), CNetworkMonitor::ControlBit, 0);
        c.snmpTrapManager = make("snmp trap manager", CNetworkMonitor::TrapBit);
        c.syslogLinesManager = make("syslog lines manager", CNetworkMonitor::SyslogBit);
        c.configManager = make("config manager", CNetworkMonitor::ConfigBit);
        c.scheduleManager = make("schedule manager", CNetworkMonitor::ScheduleBit);
        c.taskManager = make("task manager", CNetworkMonitor::TaskBit);
        c.agentManager = new CAgentAgentManager(root, QStringLiteral("agent manager"), CNetworkMonitor::AgentBit);
        return c;
    };
}

class ControlServerStatusTest : public ::testing::Test
{
protected:
    void TearDown() override { destroyNetworkMonitor(); }
};

}

TEST_F(ControlServerStatusTest, StatusIsAnsweredAndEveryChangeIsPushed)
{
    createNetworkMonitor(nullptr, true, statusFactory());
    ASSERT_TRUE(waitUntil([] { return controlServer()->serverPort() != 0; }));
    CAgentAgentManager* manager = agentManager();
    EXPECT_FALSE(manager->hasCurrentLink());

    // A change while no client is connected waits for one.
    manager->setLinkStatus(true);
    EXPECT_TRUE(manager->hasCurrentLink());

    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(controlServer()->serverPort()));
    client.send(NotificationFixedSize(10001, 0, 0, 0));
    ASSERT_TRUE(client.waitForCount(2));

    manager->setLinkStatus(true);    // no change, no push
    manager->setLinkStatus(false);
    ASSERT_TRUE(client.waitForCount(3));
    client.send(NotificationFixedSize(10001, 0, 0, 0));
    ASSERT_TRUE(client.waitForCount(4));
    manager->setLinkStatus(true);
    ASSERT_TRUE(client.waitForCount(5));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(6));

    EXPECT_EQ(client.received(), (QStringList{fs(10002, 1, 0, 0), fs(10002, 1, 0, 0), fs(10002, 0, 0, 0),
                                              fs(10002, 0, 0, 0), fs(10002, 1, 0, 0), fs(2, 7, 8, 0)}));
}

TEST_F(ControlServerStatusTest, StatusRequestWithoutRootIsAWarningNotACrash)
{
    CapturedMessages messages;
    StandaloneControlServer server;
    ASSERT_TRUE(server.waitListening());
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(server->serverPort()));
    client.send(NotificationFixedSize(10001, 0, 0, 0));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(1));
    EXPECT_EQ(client.received(), QStringList{fs(2, 7, 8, 0)});
    EXPECT_TRUE(CapturedMessages::lines().contains(
        QStringLiteral("warning: control server: missing network monitor instance")));

    // Status changes without a root reach nobody and harm nothing.
    CAgentAgentManager lonely(nullptr, QStringLiteral("agent manager"), 16);
    lonely.setLinkStatus(true);
    lonely.onLinkStatusRequest();
    EXPECT_TRUE(lonely.hasCurrentLink());
}
