// The control port from the agent settings file (private folders: the file is the daemon's own).
#include "ControlPortClient.h"
#include "support/CapturedMessages.h"

#include "common/AgentSettings.h"

#include <QFile>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

void writeSettings(const QByteArray& text)
{
    QFile file(agentSettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << agentSettingsPath().toStdString();
    file.write(text);
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.serverPort();
}

}

TEST(ControlServerSettings, PortComesFromTheSettingsFile)
{
    QFile::remove(agentSettingsPath());
    EXPECT_EQ(CControlServer::configuredPort(), 3456);
    const struct {
        const char* text;
        int port;
    } cases[] = {
        {"[Common]\nAgentType=0\n", 3456},
        {"[AgentControlServer]\nPort=4567\n", 4567},
        {"[AgentControlServer]\nPort=abc\n", 3456},
        {"[AgentControlServer]\nPort=123456\n", 3456},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        writeSettings(c.text);
        EXPECT_EQ(CControlServer::configuredPort(), c.port);
    }
}

TEST(ControlServerSettings, ServerListensOnTheConfiguredPort)
{
    const int port = freePort();
    ASSERT_GT(port, 0);
    writeSettings(QByteArray("[AgentControlServer]\nPort=") + QByteArray::number(port) + "\n");
    StandaloneControlServer server(CControlServer::kPortFromSettings);
    ASSERT_TRUE(server.waitListening());
    EXPECT_EQ(server->serverPort(), port);
    ControlPortClient client;
    ASSERT_TRUE(client.connectTo(quint16(port)));
    client.send(NotificationFixedSize(1, 7, 8, 0));
    ASSERT_TRUE(client.waitForCount(1));
    EXPECT_EQ(client.received(), QStringList{fs(2, 7, 8, 0)});
}

TEST(ControlServerSettings, UnusablePortFallsBackToTheDefaultWithAWarning)
{
    for (const char* value : {"0", "70000", "-5", "abc"}) {
        SCOPED_TRACE(value);
        CapturedMessages messages;
        writeSettings(QByteArray("[AgentControlServer]\nPort=") + value + "\n");
        StandaloneControlServer server(CControlServer::kPortFromSettings);
        ASSERT_TRUE(server.waitListening());
        EXPECT_EQ(server->serverPort(), 3456);
        EXPECT_EQ(CapturedMessages::lines().filter(QStringLiteral("AgentControlServer/Port")).size(), 1);
        EXPECT_TRUE(server.stop());
    }
}
