// The agent link end to end: a real agent manager and its sessions against the test peer
// playing the service on 127.0.0.1, in active and passive mode, over TCP and TLS.
#include "LinkTestFixture.h"

#include "engine/CMonitorEvent.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

namespace msg = peer::msg;

// Shortened session timing: first message 1.8 s, silence 0.6 s, reconnect 0.6 s, checks 50 ms.
const bool kTimeScaled = [] {
    qputenv("NETAGENTD_TEST_TIME_SCALE", "0.01");
    return true;
}();

using peer::Field;
using peer::Message;

const LinkMode kModes[] = {
    {"ActiveTcp", false, false},
    {"ActiveTls", false, true},
    {"PassiveTcp", true, false},
    {"PassiveTls", true, true},
};

// Sends a ping and waits for its answer: the session still works.
bool answersPing(peer::Session* s, int id)
{
    s->send(peer::frame(id, msg::PingReq));
    Message m;
    return s->waitFor(msg::PingResp, m) && m.id == id;
}

class LinkSessionTest : public ::testing::TestWithParam<LinkMode>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kTimeScaled);
        fx = std::make_unique<LinkFixture>(GetParam());
    }
    void TearDown() override { fx.reset(); }

    CapturedMessages log;
    std::unique_ptr<LinkFixture> fx;
};

TEST_P(LinkSessionTest, IdentifiesAnswersRequestsAndEndsOnAnotherAgent)
{
    fx->start();
    QList<Message> id;
    peer::Session* s = fx->identifiedSession(&id);
    ASSERT_TRUE(s);

    // 10, 8, 9, 14 in that order, all with id -1.
    ASSERT_EQ(id.size(), 4);
    EXPECT_EQ(id[0].type, 10);
    EXPECT_EQ(id[1].type, 8);
    EXPECT_EQ(id[2].type, 9);
    EXPECT_EQ(id[3].type, 14);
    for (const Message& m : id) {
        EXPECT_EQ(m.id, -1);
        EXPECT_TRUE(m.bodyOk);
    }
    EXPECT_EQ(id[0].text("connection_id"), fx->expectedConnectionId());
    EXPECT_EQ(id[0].text("connection_id").size(), 32);
    EXPECT_FALSE(id[0].text("hostname").isEmpty());
    EXPECT_EQ(id[1].num("major"), 3);
    EXPECT_EQ(id[1].num("minor"), 1);
    EXPECT_EQ(id[2].num("ver"), 354);
    EXPECT_FALSE(id[3].text("ip").isEmpty());
    ASSERT_TRUE(waitUntil([&] { return fx->manager->linkStatus() == 1; }));

    // Answers carry the request's id.
    Message m;
    s->send(peer::frame(7, msg::PingReq));
    ASSERT_TRUE(s->waitFor(msg::PingResp, m));
    EXPECT_EQ(m.id, 7);
    s->send(peer::frame(8, msg::CheckConnectionReq));
    ASSERT_TRUE(s->waitFor(msg::CheckConnectionResp, m));
    EXPECT_EQ(m.id, 8);

    // Set-mode: the accepted bits (mask 9).
    const struct {
        quint32 asked;
        quint32 accepted;
    } modes[] = {{15, 9}, {6, 0}, {8, 8}, {1, 1}};
    int requestId = 20;
    for (const auto& c : modes) {
        s->send(peer::frame(requestId, msg::SetMode, {Field::raw("mode", peer::modeRecord(c.asked))}));
        ASSERT_TRUE(s->waitFor(msg::SetMode, m)) << c.asked;
        EXPECT_EQ(m.id, requestId);
        EXPECT_EQ(peer::readModeRecord(m.raws.value("mode")), c.accepted) << c.asked;
        ++requestId;
    }

    // A peer that says it is an agent itself (version 0 or more) is sent away.
    s->send(peer::frame(-1, msg::ProductVersionNot, {Field::num("ver", -1)}));
    EXPECT_TRUE(answersPing(s, 30));
    s->send(peer::frame(-1, msg::ProductVersionNot, {Field::num("ver", 0)}));
    ASSERT_TRUE(s->waitFor(msg::DisconnectReason, m));
    EXPECT_EQ(m.text("reason"), QStringLiteral("cannot connect agent with another agent"));
    EXPECT_EQ(m.id, -1);
    EXPECT_TRUE(s->waitClosed());
    EXPECT_TRUE(waitUntil([&] { return fx->manager->linkStatus() == 0; }));
}

TEST_P(LinkSessionTest, PollsGoThroughTheEngineAndBackOnTheSameSession)
{
    fx->engine->addMonitor(41);
    fx->engine->addMonitor(42, true);
    fx->start();
    peer::Session* s = fx->identifiedSession();
    ASSERT_TRUE(s);
    Message m;

    auto poll = [&](int tid, int monitorId, int templateId = -1) {
        QList<Field> f{Field::num("mon_id", monitorId), Field::num("has_template_id", templateId >= 0 ? 1 : 0),
                       Field::num("template_id", templateId >= 0 ? templateId : 0)};
        s->send(peer::frame(tid, msg::PollReq, f));
    };
    struct Answer {
        int tid;
        qint64 status;
        qint64 result;
        const char* reason;
    };
    auto expectAnswer = [&](const Answer& a) {
        Message r;
        ASSERT_TRUE(s->waitFor(msg::PollResp, r)) << a.tid;
        EXPECT_EQ(r.id, a.tid);
        EXPECT_EQ(r.num("status"), a.status) << a.tid;
        EXPECT_EQ(r.num("result"), a.result) << a.tid;
        EXPECT_EQ(QString::fromUtf8(r.raws.value("failed_reason")), QString::fromUtf8(a.reason)) << a.tid;
        EXPECT_TRUE(r.raws.contains("duration"));
        EXPECT_EQ(r.raws.value("new_monitors"), QByteArray(1, '\0'));
    };

    poll(100, 999);   // unknown monitor
    expectAnswer({100, 4, 1, "monitor was not found"});
    poll(101, 41);    // known monitor
    expectAnswer({101, 3, 0, ""});

    // A second poll of a running monitor is refused at once; the first is answered later.
    poll(102, 42);
    poll(103, 42);
    expectAnswer({103, 3, 1, "previous poll has not finished yet"});
    ASSERT_TRUE(fx->engine->release(42));
    expectAnswer({102, 3, 0, ""});

    // A second open request with the same transaction id is refused.
    poll(104, 42);
    poll(104, 41);
    expectAnswer({104, 3, 1, "transaction 104 is already open"});
    ASSERT_TRUE(fx->engine->release(42));
    expectAnswer({104, 3, 0, ""});

    // An abort: the task is asked to stop and nothing answers the transaction.
    poll(105, 42);
    ASSERT_TRUE(waitUntil([&] { return fx->engine->runningCount() == 1; }));
    s->send(peer::frame(-1, msg::AbortPollNot, {Field::num("abort_transaction", 105)}));
    EXPECT_TRUE(CapturedMessages::waitFor(QStringLiteral("warning: poll transaction 105 aborted")));
    ASSERT_TRUE(fx->engine->release(42));
    EXPECT_TRUE(CapturedMessages::waitFor(QStringLiteral("warning: cannot find polling task for transaction 105")));
    EXPECT_TRUE(answersPing(s, 106));
    EXPECT_FALSE(s->waitFor(msg::PollResp, m, 200));

    // Poll with settings: the engine gets the record and answers.
    s->send(peer::frame(107, msg::PollWithSettingsReq,
                        {Field::raw("monitor_data", QByteArray("\x00\x01\x02", 3)), Field::num("has_template_id", 0)}));
    expectAnswer({107, 3, 0, "polled with settings"});

    // Delete-monitor forgets it.
    s->send(peer::frame(-1, msg::DeleteMonitorNot, {Field::num("mon_id", 41)}));
    EXPECT_TRUE(waitUntil([&] { return fx->engine->calls().contains(QStringLiteral("delete 41")); }));
    poll(108, 41);
    expectAnswer({108, 4, 1, "monitor was not found"});
}

TEST_P(LinkSessionTest, StopSendsAgentWasStopped)
{
    fx->start();
    peer::Session* s = fx->identifiedSession();
    ASSERT_TRUE(s);
    ASSERT_TRUE(answersPing(s, 1));
    ASSERT_TRUE(waitUntil([&] { return fx->manager->linkStatus() == 1; }));
    fx->stop();
    Message m;
    ASSERT_TRUE(s->waitFor(msg::DisconnectReason, m));
    EXPECT_EQ(m.text("reason"), QStringLiteral("agent was stopped"));
    EXPECT_TRUE(s->waitClosed());
}

INSTANTIATE_TEST_SUITE_P(Modes, LinkSessionTest, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<LinkMode>& i) { return std::string(i.param.name); });

class LinkBehaviourTest : public ::testing::Test
{
protected:
    CapturedMessages log;
};

TEST_F(LinkBehaviourTest, SilentPeerIsDroppedAndTheActiveAgentReconnects)
{
    LinkFixture fx({"ActiveTcp", false, false});
    fx.start();
    peer::Session* first = fx.identifiedSession();
    ASSERT_TRUE(first);
    Message m;
    // Nothing from the peer: dropped after the (scaled) 180 s.
    ASSERT_TRUE(first->waitFor(msg::DisconnectReason, m, 15000));
    EXPECT_EQ(m.text("reason"), QStringLiteral("connection timeout on agent"));
    EXPECT_TRUE(first->waitClosed());
    EXPECT_TRUE(first->types().isEmpty()) << "no ping before the first message";

    // A new session follows the (scaled) 60 s, and identifies itself again.
    peer::Session* second = fx.identifiedSession();
    ASSERT_TRUE(second);
    EXPECT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 1; }));
    second->send(peer::frame(1, msg::PingReq));
    ASSERT_TRUE(second->waitFor(msg::PingResp, m));
    EXPECT_EQ(fx.engine->calls().count(QStringLiteral("clear traps")), 1);
    fx.manager->requestReconnect();   // refused while a session is current
    EXPECT_TRUE(CapturedMessages::waitFor(QStringLiteral("warning: Reconnect event when link is alive")));

    // The peer ends the session: another reconnect.
    second->close();
    EXPECT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 0; }));
    EXPECT_TRUE(fx.identifiedSession());
}

TEST_F(LinkBehaviourTest, SilencePingsFourTimesThenNoPingResponse)
{
    LinkFixture fx({"PassiveTcp", true, false});
    fx.start();
    peer::Session* s = fx.identifiedSession();
    ASSERT_TRUE(s);
    s->send(peer::frame(1, msg::CheckConnectionReq));
    Message m;
    ASSERT_TRUE(s->waitFor(msg::CheckConnectionResp, m));

    // Any message resets the count: answer two pings, then stay silent.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(s->waitFor(msg::PingReq, m, 15000));
        EXPECT_EQ(m.id, -1);
        s->send(peer::frame(m.id, msg::PingResp));
    }
    ASSERT_TRUE(s->waitFor(msg::DisconnectReason, m, 15000));
    EXPECT_EQ(m.text("reason"), QStringLiteral("no ping response"));
    int pings = 0;
    for (const Message& x : s->messages)
        pings += x.type == msg::PingReq ? 1 : 0;
    EXPECT_EQ(pings, 4);
    EXPECT_TRUE(s->waitClosed());
}

TEST_F(LinkBehaviourTest, SecondSessionIsRefusedWhileOneIsCurrent)
{
    for (bool tls : {false, true}) {
        LinkFixture fx({tls ? "PassiveTls" : "PassiveTcp", true, tls});
        fx.start();
        peer::Session* first = fx.identifiedSession();
        ASSERT_TRUE(first);
        first->send(peer::frame(-1, msg::PingResp));   // a first message, so the session is not timed out
        ASSERT_TRUE(waitUntil([&] { return fx.manager->currentLinkId() != 0; }));
        const int current = fx.manager->currentLinkId();

        // Closed without identification and without a reason message (for TLS before any
        // handshake, so a plain socket sees the close).
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, fx.manager->serverPort());
        EXPECT_TRUE(waitUntil([&] { return second.state() == QAbstractSocket::UnconnectedState; })) << tls;
        EXPECT_TRUE(second.readAll().isEmpty()) << tls;
        EXPECT_EQ(fx.manager->currentLinkId(), current);
        first->send(peer::frame(5, msg::PingReq));
        Message m;
        ASSERT_TRUE(first->waitFor(msg::PingResp, m)) << tls;
        EXPECT_EQ(m.id, 5);
        EXPECT_TRUE(waitUntil([&] { return fx.manager->closingLinkCount() == 0; }));
    }
}

TEST_F(LinkBehaviourTest, DisconnectReasonsAreStoredOnceAndUpgradingRefusesSessions)
{
    LinkFixture fx({"PassiveTcp", true, false});
    fx.start();
    Message m;

    // The peer's reason is kept (the agent does not close for it); the agent's own later
    // disconnect then sends no second reason, it only closes.
    peer::Session* s = fx.identifiedSession();
    ASSERT_TRUE(s);
    s->send(peer::frame(-1, msg::DisconnectReason, {Field::raw("reason", "service going away")}));
    EXPECT_TRUE(answersPing(s, 1));
    s->send(peer::frame(-1, msg::ProductVersionNot, {Field::num("ver", 1)}));
    EXPECT_TRUE(s->waitClosed());
    EXPECT_FALSE(s->waitFor(msg::DisconnectReason, m, 100));
    ASSERT_TRUE(waitUntil([&] {
        return fx.manager->currentLinkId() == 0 && fx.manager->closingLinkCount() == 0
               && fx.manager->pendingLinkCount() == 0;
    }));

    // While an upgrade runs, a new session is refused before it identifies itself.
    fx.manager->setUpgrading(true);
    peer::Session* refused = fx.nextSession();
    ASSERT_TRUE(refused);
    ASSERT_TRUE(refused->waitFor(msg::DisconnectReason, m));
    EXPECT_EQ(m.text("reason"), QStringLiteral("agent is upgrading"));
    EXPECT_TRUE(refused->waitClosed());
    EXPECT_TRUE(refused->messages.isEmpty()) << "no identification";
    fx.manager->setUpgrading(false);
    EXPECT_TRUE(fx.identifiedSession());
}

TEST_F(LinkBehaviourTest, StalledTlsHandshakeEndsItsSession)
{
    LinkFixture fx({"PassiveTls", true, true});
    fx.handshakeTimeoutMs = 300;
    fx.start();
    // A client that connects and never starts its handshake.
    QTcpSocket stalled;
    stalled.connectToHost(QHostAddress::LocalHost, fx.manager->serverPort());
    ASSERT_TRUE(waitUntil([&] { return stalled.state() == QAbstractSocket::ConnectedState; }));
    ASSERT_TRUE(waitUntil([&] { return fx.manager->pendingLinkCount() == 1; }));
    // The session ends (handshake time-out, then a bounded close), nothing is left behind.
    EXPECT_TRUE(waitUntil([&] { return fx.manager->pendingLinkCount() == 0 && fx.manager->closingLinkCount() == 0; },
                          15000));
    EXPECT_TRUE(waitUntil([&] { return stalled.state() == QAbstractSocket::UnconnectedState; }, 15000));
    // A real service still gets a session afterwards.
    EXPECT_TRUE(fx.identifiedSession());
}

TEST_F(LinkBehaviourTest, FramesSplitAtEveryByteAndManyFramesInOneRead)
{
    for (bool tls : {false, true}) {
        LinkFixture fx({tls ? "PassiveTls" : "PassiveTcp", true, tls});
        fx.start();
        peer::Session* s = fx.identifiedSession();
        ASSERT_TRUE(s) << tls;

        const QByteArray split = peer::frame(1, msg::PingReq) + peer::frame(2, msg::CheckConnectionReq)
                                 + peer::frame(-1, msg::ProductVersionNot, {Field::num("ver", -5)})
                                 + peer::frame(3, msg::PingReq);
        s->sendByteByByte(split);
        QList<int> ids;
        ASSERT_TRUE(waitUntil([&] { return s->types().size() >= 3; })) << tls;
        for (const Message& m : s->messages)
            if (m.type == msg::PingResp || m.type == msg::CheckConnectionResp)
                ids << m.id * 10 + m.type;
        EXPECT_EQ(ids, QList<int>({12, 24, 32})) << tls;
        s->messages.clear();

        QByteArray many;
        for (int i = 0; i < 500; ++i)
            many += peer::frame(1000 + i, msg::PingReq);
        s->send(many);
        ASSERT_TRUE(waitUntil([&] { return s->types().size() >= 500; })) << tls;
        QList<int> expected, got;
        for (int i = 0; i < 500; ++i)
            expected << 1000 + i;
        for (const Message& m : s->messages)
            if (m.type == msg::PingResp)
                got << m.id;
        EXPECT_EQ(got, expected) << tls;
        EXPECT_FALSE(s->framingError) << tls;
    }
}

TEST_F(LinkBehaviourTest, BadInputGetsItsReactionAndNeverACrash)
{
    LinkFixture fx({"PassiveTcp", true, false});
    fx.start();
    const struct {
        const char* name;
        QByteArray bytes;
        const char* reason;     // the session ends with this reason, or goes on when null
        const char* warning;    // a warning that must appear
    } cases[] = {
        {"wrong magic", peer::header(1, msg::PingReq, 0, 0xEB) + peer::frame(2, msg::PingReq), "bad message header",
         nullptr},
        {"negative length", peer::header(1, msg::PingReq, -1), "bad message data", nullptr},
        {"huge length", peer::header(1, msg::PingReq, 0x7FFFFFFF), "bad message data", nullptr},
        {"over the maximum", peer::header(1, msg::Upgrade, 256 * 1024 * 1024 + 1), "bad message data", nullptr},
        {"undecodable body", peer::header(1, msg::PollReq, 5) + "a=1,,", nullptr,
         "warning: can not parse message: wrong message data (msg_type=6), errmsg: can't parse body a=1,,"},
        {"unknown type", peer::header(1, msg::Last + 1, 0), nullptr,
         "warning: can not parse message: invalid message type 0"},
        {"agent-only type", peer::frame(1, msg::PollResp), nullptr, "warning: unknown message type 7 in agent link"},
        {"capabilities from the peer", peer::frame(1, msg::ExtendedCaps), nullptr,
         "warning: unknown message type 36 in agent link"},
        {"os version", peer::frame(1, msg::OsVersion, {Field::num("os_version", 3)}), nullptr,
         "warning: unknown message type 26 in agent link"},
    };
    for (const auto& c : cases) {
        CapturedMessages::clear();
        peer::Session* s = fx.identifiedSession();
        ASSERT_TRUE(s) << c.name;
        s->send(peer::frame(-1, msg::PingResp));   // the session is current before the bad bytes
        ASSERT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 1; })) << c.name;
        s->send(c.bytes);
        Message m;
        if (c.reason) {
            ASSERT_TRUE(s->waitFor(msg::DisconnectReason, m)) << c.name;
            EXPECT_EQ(m.text("reason"), QString::fromLatin1(c.reason)) << c.name;
            EXPECT_TRUE(s->waitClosed()) << c.name;
            EXPECT_FALSE(s->waitFor(msg::DisconnectReason, m, 200)) << c.name << ": the session ends once";
        } else {
            s->send(peer::frame(77, msg::PingReq));
            ASSERT_TRUE(s->waitFor(msg::PingResp, m)) << c.name;
            EXPECT_EQ(m.id, 77) << c.name;
            s->close();
        }
        if (c.warning) {
            EXPECT_TRUE(CapturedMessages::has(QString::fromLatin1(c.warning))) << c.name;
        }
        EXPECT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 0 && fx.manager->closingLinkCount() == 0; }))
            << c.name;
    }
}

TEST_F(LinkBehaviourTest, LateResultOfAnEndedSessionNeverAnswersAnotherSession)
{
    LinkFixture fx({"PassiveTcp", true, false});
    fx.engine->addMonitor(42, true);
    fx.engine->addMonitor(43, true);
    fx.start();
    peer::Session* first = fx.identifiedSession();
    ASSERT_TRUE(first);
    first->send(peer::frame(5, msg::PollReq, {Field::num("mon_id", 42)}));
    ASSERT_TRUE(waitUntil([&] { return fx.engine->runningCount() == 1; }));
    first->close();
    ASSERT_TRUE(waitUntil([&] { return fx.manager->linkStatus() == 0 && fx.manager->closingLinkCount() == 0; }));

    peer::Session* second = fx.identifiedSession();
    ASSERT_TRUE(second);
    // The same transaction id on the new session, and the old monitor is still running.
    second->send(peer::frame(5, msg::PollReq, {Field::num("mon_id", 43)}));
    second->send(peer::frame(6, msg::PollReq, {Field::num("mon_id", 42)}));
    Message m;
    ASSERT_TRUE(second->waitFor(msg::PollResp, m));
    EXPECT_EQ(m.id, 6);
    EXPECT_EQ(m.raws.value("failed_reason"), QByteArray("previous poll has not finished yet"));

    ASSERT_TRUE(fx.engine->release(42));   // the old session's result
    EXPECT_FALSE(second->waitFor(msg::PollResp, m, 300));
    ASSERT_TRUE(fx.engine->release(43));
    ASSERT_TRUE(second->waitFor(msg::PollResp, m));
    EXPECT_EQ(m.id, 5);
    EXPECT_EQ(m.raws.value("host_name"), QByteArray("host43"));
}

TEST_F(LinkBehaviourTest, EngineRequestsEventsAndCapabilities)
{
    LinkFixture fx({"PassiveTcp", true, false});
    fx.engine->addMonitor(50);
    fx.start();
    peer::Session* s = fx.identifiedSession();
    ASSERT_TRUE(s);
    Message m;

    // Limits: in-range values pass, out-of-range ones are ignored (-1) with a warning.
    s->send(peer::frame(-1, msg::UpdateAgentLimits,
                        {Field::num("thread_limit", 20), Field::num("cpu_limit", 500),
                         Field::num("tcp_limit", 9), Field::num("wtm_limit", 30)}));
    EXPECT_TRUE(waitUntil([&] { return fx.engine->calls().contains(QStringLiteral("wtm 30")); }));
    EXPECT_TRUE(fx.engine->calls().contains(QStringLiteral("limits 20 -1")));
    EXPECT_TRUE(CapturedMessages::has(QStringLiteral("warning: limit cpu_limit=500 is out of range -1..100, ignored")));

    // Plug-in data, then the capabilities only once mode bit 3 is on.
    s->send(peer::frame(61, msg::PluginDataNot, {Field::num("plugin_id", 3), Field::raw("plugin_name", "zam")}));
    EXPECT_TRUE(waitUntil([&] { return fx.engine->calls().contains(QStringLiteral("plugin 61 3 zam")); }));
    fx.manager->sendExtendedCaps(61);
    EXPECT_FALSE(s->waitFor(msg::ExtendedCaps, m, 200));
    s->send(peer::frame(62, msg::SetMode, {Field::raw("mode", peer::modeRecord(8))}));
    ASSERT_TRUE(s->waitFor(msg::SetMode, m));
    fx.manager->sendExtendedCaps(61);
    ASSERT_TRUE(s->waitFor(msg::ExtendedCaps, m));
    EXPECT_EQ(m.id, 61);
    const QJsonObject caps = QJsonDocument::fromJson(m.raws.value("extCaps")).object();
    EXPECT_EQ(caps.value("agent").toObject().value("version").toString(), QStringLiteral("1.1.354"));
    EXPECT_EQ(caps.value("support").toObject().value("monitors").toArray(),
              QJsonArray({QJsonObject{{"name", "Ping"}}, QJsonObject{{"name", "TCP"}}}));
    EXPECT_TRUE(caps.value("host").toObject().contains("os"));

    // Monitor events go to the current session, valid or not.
    fx.manager->sendMonitorEvent(77, CMonitorEventPtr());
    ASSERT_TRUE(s->waitFor(msg::MonitorEventNot, m));
    EXPECT_EQ(m.num("monitor_id"), 77);
    EXPECT_EQ(m.num("is_valid"), 0);
    EXPECT_EQ(m.raws.value("event_data").size(), 8);

    // Attachments, upgrades and the relay touch the configuration folder and fixed ports:
    // test_LinkAttachmentsRelayUpgrade_ns.cpp runs them end to end.

    // Resolve and subscriptions reach the engine; a disconnect reason from the peer is kept.
    s->send(peer::frame(80, msg::ResolveReq,
                        {Field::num("version", 1), Field::num("reqId", 81), Field::num("isIp", 0),
                         Field::raw("from", "example"), Field::raw("prev", "")}));
    s->send(peer::frame(-1, msg::UnsubscribeSnmp, {Field::num("mon_id", 90)}));
    s->send(peer::frame(-1, msg::UnsubscribeSyslog, {Field::num("mon_id", 91)}));
    EXPECT_TRUE(waitUntil([&] { return fx.engine->calls().contains(QStringLiteral("unsyslog 91")); }));
    EXPECT_TRUE(fx.engine->calls().contains(QStringLiteral("resolve 80 81 0 example ")));
    EXPECT_TRUE(fx.engine->calls().contains(QStringLiteral("untraps 90")));
    // The engine answers with the values it was given: the header id and the service's reqId.
    fx.manager->sendResolveResponse(80, 81, false, QStringLiteral("example"), QStringLiteral("192.0.2.7"));
    ASSERT_TRUE(s->waitFor(msg::ResolveResp, m));
    EXPECT_EQ(m.id, 80);
    EXPECT_EQ(m.num("version"), 1);
    EXPECT_EQ(m.num("reqId"), 81);
    EXPECT_EQ(m.text("from"), QStringLiteral("example"));
    EXPECT_EQ(m.text("to"), QStringLiteral("192.0.2.7"));
    EXPECT_EQ(m.num("isOk"), 1);
    // A message far larger than one send buffer leaves whole.
    const QString big(100000, QLatin1Char('x'));
    fx.manager->sendResolveResponse(82, 83, false, QStringLiteral("big"), big);
    ASSERT_TRUE(s->waitFor(msg::ResolveResp, m));
    EXPECT_EQ(m.text("to"), big);
    EXPECT_TRUE(answersPing(s, 99));
}

} // namespace
