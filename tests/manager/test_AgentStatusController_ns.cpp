// The manager's controller against a fake control-port peer on 127.0.0.1 (private network
// namespace, private settings folder) and a fake init script.
#include "FakeInitScript.h"
#include "RecordingController.h"
#include "app/AgentStatusController.h"

#include "common/NotificationBase.h"
#include "common/NotificationFixedSize.h"
#include "common/NotificationIntStr.h"
#include "support/EventLoopWait.h"

#include <QFile>
#include <QMenu>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <memory>

namespace {

const bool g_scaled = qputenv("NETAGENTD_TEST_TIME_SCALE", "0.05");

// Each version of the file differs in size, so a rewrite within the same clock tick is seen.
void writeControlPort(const QByteArray& port)
{
    static int version = 0;
    QFile f(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[AgentControlServer]\nPort=" + port + "\n" + QByteArray(++version, ';') + "\n");
}

// The daemon's side of the control port: records what the manager sends.
class FakeControlPeer
{
public:
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_server.serverPort(); }
    bool waitForClient(int count = 1, int timeoutMs = 500)
    {
        return waitUntil([&] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                m_clients.emplace_back(s);
            return static_cast<int>(m_clients.size()) >= count;
        }, timeoutMs);
    }
    QTcpSocket* client() { return m_clients.back(); }
    int clients() const { return static_cast<int>(m_clients.size()); }
    QByteArray received(int bytes)
    {
        QByteArray data;
        waitUntil([&] { data += client()->readAll(); return data.size() >= bytes; });
        return data;
    }
    void send(const QByteArray& bytes)
    {
        client()->write(bytes);
        client()->flush();
    }

private:
    QTcpServer m_server;
    std::vector<QTcpSocket*> m_clients; // owned by the server
};

QByteArray fixed(int code, int v1) { return NotificationBase::frameBytes(NotificationFixedSize(code, v1, 0, 0)); }

struct ControllerFixture
{
    FakeInitScript script;
    FakeControlPeer peer;
    std::unique_ptr<RecordingController> controller;

    ControllerFixture()
    {
        script.answer("status", "1");
        EXPECT_TRUE(peer.listen());
        writeControlPort(QByteArray::number(peer.port()));
        controller = std::make_unique<RecordingController>(nullptr, script.path());
    }
    bool connect()
    {
        controller->onSockTimer();
        return peer.waitForClient(peer.clients() + 1);
    }
};

TEST(AgentStatusController, AsksForTheLinkStateAndFollowsTheAnswers)
{
    ControllerFixture f;
    ASSERT_TRUE(f.connect());
    EXPECT_EQ(f.peer.received(21), fixed(10001, 0));
    ASSERT_TRUE(waitUntil([&] { return f.controller->runningState() == 1; }));
    EXPECT_EQ(f.controller->connectionState(), 2);

    struct Step { const char* what; QByteArray bytes; int connection; };
    const QByteArray up = fixed(10002, 1), down = fixed(10002, 0);
    const Step steps[] = {
        {"link up", up, 1},
        {"link down", down, 0},
        {"value 2 ignored", fixed(10002, 2), 0},
        {"other code ignored", fixed(9999, 1), 0},
        {"int and string ignored", NotificationBase::frameBytes(NotificationIntStr(10002, {1}, {"1"})), 0},
        {"two frames in one write", down + up, 1},
        {"unknown type skipped", QByteArray::fromHex("0000000207abcd") + down, 0},
    };
    for (const Step& step : steps) {
        f.peer.send(step.bytes);
        EXPECT_TRUE(waitUntil([&] { return f.controller->connectionState() == step.connection; }, 3000)) << step.what;
    }
    // a frame split over two writes counts once whole
    f.peer.send(up.left(7));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.controller->connectionState(), 0);
    f.peer.send(up.mid(7));
    EXPECT_TRUE(waitUntil([&] { return f.controller->connectionState() == 1; }));

    // a closed peer is noticed on the next tick, which also tries again
    f.peer.client()->close();
    ASSERT_TRUE(waitUntil([&] {
        f.controller->onSockTimer(); // does nothing while the old connection still looks open
        return f.peer.waitForClient(2);
    }));
    EXPECT_EQ(f.controller->connectionState(), 2);
}

TEST(AgentStatusController, OverlongFramesDropTheConnection)
{
    ControllerFixture f;
    ASSERT_TRUE(f.connect());
    f.peer.received(21);
    f.peer.send(fixed(10002, 1));
    ASSERT_TRUE(waitUntil([&] { return f.controller->connectionState() == 1; }));
    f.peer.send(QByteArray::fromHex("00ffffffff") + QByteArray(64, 'x'));
    EXPECT_TRUE(waitUntil([&] { return f.controller->connectionState() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return f.peer.client()->state() != QAbstractSocket::ConnectedState; }));
}

TEST(AgentStatusController, ReadsThePortOnEveryAttempt)
{
    ControllerFixture f;
    FakeControlPeer other;
    ASSERT_TRUE(other.listen());
    writeControlPort(QByteArray::number(other.port()));
    f.controller->onSockTimer();
    EXPECT_TRUE(other.waitForClient());
    EXPECT_EQ(f.peer.clients(), 0);

    // 70000 is taken as 16 bits; text gives no connection and no failure
    FakeControlPeer wrapped;
    ASSERT_TRUE(wrapped.listen(70000 & 0xffff));
    other.client()->close();
    writeControlPort("70000");
    ASSERT_TRUE(waitUntil([&] {
        f.controller->onSockTimer();
        return wrapped.waitForClient();
    }));
    writeControlPort("abc");
    f.controller->onSockTimer();
    f.controller->onSockTimer();
    EXPECT_NE(f.controller->connectionState(), 1);
}

QStringList menuState(AgentStatusController& controller)
{
    QStringList items;
    for (QAction* action : controller.trayIcon().contextMenu()->actions())
        items << (action->isSeparator() ? QString("-") : action->text() + (action->isEnabled() ? "" : " (off)"));
    return items;
}

TEST(AgentStatusController, TrayMenuToolTipAndIconFollowTheStates)
{
    ControllerFixture f;
    AgentStatusController& c = *f.controller;
    EXPECT_EQ(menuState(c), QStringList({"Open", "-", "Start agent (off)", "Stop agent (off)", "Restart agent (off)", "-", "Exit"}));
    EXPECT_EQ(f.controller->balloons.size(), 0) << "the launch balloon is the base class's own";

    struct Step { int running; int connection; QStringList menu; const char* icon; const char* tip; };
    const QString on = ":/resources/images/agent_on.png", off = ":/resources/images/agent_off.png",
                  disabled = ":/resources/images/agent_disabled.png";
    const Step steps[] = {
        {0, 2, {"Open", "-", "Start agent", "Stop agent (off)", "Restart agent (off)", "-", "Exit"},
         ":/resources/images/agent_disabled.png", "Corvane Monitor Agent: agent is stopped"},
        {1, 1, {"Open", "-", "Start agent (off)", "Stop agent", "Restart agent", "-", "Exit"},
         ":/resources/images/agent_on.png", "Corvane Monitor Agent: agent is started, connected"},
        {1, 0, {"Open", "-", "Start agent (off)", "Stop agent", "Restart agent", "-", "Exit"},
         ":/resources/images/agent_off.png", "Corvane Monitor Agent: agent is started, no connection"},
        {1, 2, {"Open", "-", "Start agent (off)", "Stop agent", "Restart agent", "-", "Exit"},
         ":/resources/images/agent_disabled.png", "Corvane Monitor Agent: agent is started"},
        {2, 1, {"Open", "-", "Start agent (off)", "Stop agent (off)", "Restart agent (off)", "-", "Exit"},
         ":/resources/images/agent_disabled.png", "Corvane Monitor Agent: agent is started"},
    };
    for (const Step& s : steps) {
        c.setAgentState(s.running, s.connection);
        EXPECT_EQ(menuState(c), s.menu) << s.running << s.connection;
        EXPECT_EQ(c.stateIconPath(), QString(s.icon)) << s.running << s.connection;
        EXPECT_EQ(c.trayIcon().toolTip(), QString(s.tip)) << s.running << s.connection;
    }
    EXPECT_FALSE(c.stateIcon().isNull());
    c.setOpenEnabled(false);
    EXPECT_EQ(menuState(c).first(), "Open (off)");
}

TEST(AgentStatusController, OneBalloonPerChangeOfStatus)
{
    ControllerFixture f;
    RecordingController& c = *f.controller;
    c.balloons.clear();
    c.setAgentState(1, 1);
    c.setAgentState(1, 1);
    c.showCurrStatus();
    EXPECT_EQ(c.balloons, QStringList({"Corvane Monitor Agent status: Agent is started, connected"}));
    c.setAgentState(1, 0);
    c.setAgentState(1, 1);
    EXPECT_EQ(c.balloons.size(), 3);
    EXPECT_EQ(c.lastStatusText(), "Agent is started, connected");
}

TEST(AgentStatusController, ScriptReportsDriveTheRunningState)
{
    ControllerFixture f;
    ASSERT_TRUE(waitUntil([&] { return f.controller->runningState() == 1; }));
    ASSERT_TRUE(f.connect());
    f.script.answer("status", "0");
    // a stop report also drops the control connection
    ASSERT_TRUE(waitUntil([&] { return f.controller->runningState() == 0; }));
    EXPECT_EQ(f.controller->connectionState(), 2);
    EXPECT_TRUE(waitUntil([&] { return f.peer.client()->state() != QAbstractSocket::ConnectedState; }));
}

} // namespace
