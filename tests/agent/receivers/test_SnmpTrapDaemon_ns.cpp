// The real daemon with its default trap port (162, free in the test's own network
// namespace): the test peer subscribes trap monitors as the service would (message 23, with
// their SNMPv3 users), Debian's snmptrap and snmpinform send, and the matching traps come
// back to the peer as monitor events.
#include "SnmpTrapTestSupport.h"
#include "engine/CMonitorEvent.h"
#include "link/AgentSubscriptionMessages.h"
#include "receivers/CSnmpTrapFilter.h"
#include "support/ActiveDaemonSettings.h"
#include "support/AgentTestPeer.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

using namespace traptest;

namespace {

namespace msg = peer::msg;

const QString kLinkDown = ".1.3.6.1.6.3.1.1.5.3";
const QString kLinkUp = ".1.3.6.1.6.3.1.1.5.4";
const QString kIfIndex3 = ".1.3.6.1.2.1.2.2.1.1.3";
constexpr int kTrapPort = 162;

// "<monitor> <type id> <text>" of one monitor-event message, and its trap when it has one.
QString eventOf(const peer::Message& m, CSnmpTrapPtr* trap)
{
    QDataStream in(m.raws.value("event_data"));
    in.setVersion(7);
    qint32 monitorId = 0, valid = 0;
    in >> monitorId >> valid;
    const CMonitorEventPtr e = valid ? CMonitorEvent::fromStream(in, false) : CMonitorEventPtr();
    QString text;
    if (auto* withTrap = dynamic_cast<CSnmpMonitorEventSetStatus*>(e.data()))
        *trap = withTrap->payload;
    if (auto* s = dynamic_cast<CMonitorEventSetStatus*>(e.data()))
        text = s->status.secondText;
    else if (auto* off = dynamic_cast<UdpReceiverIsOffMonitorEvent*>(e.data()))
        text = off->text;
    else if (auto* on = dynamic_cast<UdpReceiverIsOnMonitorEvent*>(e.data()))
        text = on->text;
    return QStringLiteral("%1 %2 %3").arg(monitorId).arg(e ? e->typeId() : 0).arg(text);
}

template <class F>
std::unique_ptr<F> filter(const std::function<void(F&)>& setUp)
{
    auto f = std::make_unique<F>();
    f->address = CIpAddressRange::fromHostName(QStringLiteral("127.0.0.1"), Optional<QHostAddress>());
    setUp(*f);
    return f;
}

void subscribe(peer::Session* s, int monitorId, const CSnmpTrapFilter& f, const SSnmpTrapCredential& user = {})
{
    s->send(peer::frame(-1, msg::SubscribeSnmp, {peer::Field::raw("snmp_mon_data", writeTrapSubscriptionRecord(monitorId, {&f}, {}, user))}));
}

// The link handles messages in order: once the ping is answered, the subscriptions before
// it are in place.
bool settled(peer::Session* s)
{
    static int id = 900;
    s->send(peer::frame(++id, msg::PingReq));
    peer::Message m;
    return s->waitFor(msg::PingResp, m);
}

QStringList trapArgs(const QStringList& head, const QString& trapOid, const QStringList& bindings = {})
{
    return head + QStringList{target(kTrapPort), "", trapOid} + bindings;
}

struct Events
{
    explicit Events(peer::Session* s) : session(s) {}
    // The next monitor event, or an empty text.
    QString next(CSnmpTrapPtr* trap = nullptr, int timeoutMs = 15000)
    {
        peer::Message m;
        CSnmpTrapPtr t;
        const QString text = session->waitFor(msg::MonitorEventNot, m, timeoutMs) ? eventOf(m, &t) : QString();
        if (trap)
            *trap = t;
        return text;
    }
    peer::Session* session;
};

} // namespace

TEST(SnmpTrapDaemon, SnmptrapAndSnmpinformReachTheServiceAsMonitorEvents)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    peer::Listener service;
    const quint16 port = service.start();
    ASSERT_NE(port, 0);
    // No trap port given: the receiver takes 162.
    ASSERT_TRUE(testdaemon::writeActiveSettings(port, certs.cert("agent"), 13456, "[Syslog]\nUDPReceiverPort=10514\n"));
    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::ForwardedChannels);
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
    ASSERT_TRUE(daemon.waitForStarted(10000));
    ASSERT_TRUE(service.waitForSession(1, 20000));
    peer::Session* s = service.sessions[0];
    peer::Message m;
    ASSERT_TRUE(s->waitFor(msg::LocalhostInfoNot, m));
    Events events(s);
    CSnmpTrapPtr trap;

    // v1 linkDown with ifIndex 3: monitor 1 (ifIndex 3) hears it, monitor 2 (ifIndex 4) not.
    auto ifFilter = [](int ifIndex) {
        return filter<CSnmpGenTrapFilterIfaceEvent>([=](CSnmpGenTrapFilterIfaceEvent& f) {
            f.oid = kLinkDown;
            f.ifIndex = ifIndex;
        });
    };
    subscribe(s, 1, *ifFilter(3));
    subscribe(s, 2, *ifFilter(4));
    // v2c: monitor 3 wants community "public", monitor 4 any community.
    subscribe(s, 3, *filter<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) {
        f.oid = kLinkUp;
        f.community = "public";
    }));
    subscribe(s, 4, *filter<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) { f.oid = kLinkUp; }));
    ASSERT_TRUE(settled(s));
    ASSERT_EQ(runPeer("snmptrap", {"-v", "1", "-c", "public", target(kTrapPort), ".1.3.6.1.4.1.8072.9", "127.0.0.1",
                                   "2", "0", "", kIfIndex3, "i", "3"}),
              0);
    EXPECT_EQ(events.next(&trap), "1 6 Received linkDown trap");
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->trapOid, kLinkDown);
    EXPECT_EQ(trap->version, 1);
    ASSERT_EQ(runPeer("snmptrap", trapArgs({"-v", "2c", "-c", "secret"}, kLinkUp, {kIfIndex3, "i", "3"})), 0);
    EXPECT_EQ(events.next(&trap), "4 6 Received linkUp trap");   // nothing for 2 or 3 before it
    EXPECT_EQ(trap->community, "secret");
    ASSERT_EQ(runPeer("snmpinform", trapArgs({"-v", "2c", "-c", "secret", "-r", "0", "-t", "5"}, kLinkUp)), 0);
    EXPECT_EQ(events.next(), "4 6 Received linkUp trap");

    // v3 users: SHA/AES for monitor 5, MD5/DES for 6, SHA without privacy for 7.
    auto userFilter = [](const QString& user) {
        return filter<CSnmpGenTrapFilterEvent>([=](CSnmpGenTrapFilterEvent& f) {
            f.oid = kLinkDown;
            f.securityName = user;
        });
    };
    subscribe(s, 5, *userFilter("shaaes"), {"shaaes", 1, ":shaauthpass", 2, ":aesprivpass"});
    subscribe(s, 6, *userFilter("md5des"), {"md5des", 0, ":md5authpass", 1, ":desprivpass"});
    subscribe(s, 7, *userFilter("shaonly"), {"shaonly", 1, ":shaonlypass", 3, ""});
    ASSERT_TRUE(settled(s));
    const QStringList shaAes = v3Args("shaaes", "SHA", "shaauthpass", "AES", "aesprivpass");
    const QStringList md5Des = v3Args("md5des", "MD5", "md5authpass", "DES", "desprivpass");
    struct Sent { QStringList args; QString event, user; } sent[] = {
        {QStringList{"-e", "0x8000000001020301"} + shaAes, "5 6 Received linkDown trap", "shaaes"},
        {QStringList{"-e", "0x8000000001020302"} + shaAes, "5 6 Received linkDown trap", "shaaes"},
        {QStringList{"-e", "0x8000000001020303"} + md5Des, "6 6 Received linkDown trap", "md5des"},
        {QStringList{"-e", "0x8000000001020304"} + md5Des, "6 6 Received linkDown trap", "md5des"},
    };
    for (const Sent& t : sent) {
        ASSERT_EQ(runPeer("snmptrap", trapArgs(t.args, kLinkDown)), 0);
        EXPECT_EQ(events.next(&trap), t.event) << qPrintable(t.args.join(' '));
        ASSERT_TRUE(trap);
        EXPECT_EQ(trap->securityName, t.user);
        EXPECT_EQ(trap->community, "unknown");
    }
    const struct { QStringList args; QString event; } informs[] = {
        {shaAes, "5 6 Received linkDown trap"},
        {md5Des, "6 6 Received linkDown trap"},
        {v3Args("shaonly", "SHA", "shaonlypass", "", ""), "7 6 Received linkDown trap"},
    };
    for (const auto& i : informs) {
        EXPECT_EQ(runPeer("snmpinform", trapArgs(QStringList{"-r", "0", "-t", "5"} + i.args, kLinkDown)), 0)
            << qPrintable(i.args.join(' '));
        EXPECT_EQ(events.next(), i.event);
    }
    // A wrong pass phrase and an unknown user give nothing: the next event is a later trap's.
    runPeer("snmptrap", trapArgs(QStringList{"-e", "0x8000000001020305"}
                                     + v3Args("shaaes", "SHA", "wrongpassword", "AES", "aesprivpass"),
                                 kLinkDown));
    runPeer("snmptrap", trapArgs(QStringList{"-e", "0x8000000001020305"}
                                     + v3Args("nobody", "SHA", "shaauthpass", "AES", "aesprivpass"),
                                 kLinkDown));
    ASSERT_EQ(runPeer("snmptrap", trapArgs({"-v", "2c", "-c", "public"}, kLinkUp)), 0);
    EXPECT_EQ(events.next(), "3 6 Received linkUp trap");
    EXPECT_EQ(events.next(), "4 6 Received linkUp trap");

    // Monitor 8: OID include and exclude patterns, and the monitor's "no error" pattern.
    subscribe(s, 8, *filter<CSnmpGenTrapFilterOIDRegexpEvent>([](CSnmpGenTrapFilterOIDRegexpEvent& f) {
        f.oidInclude = QRegExp("^\\.1\\.3\\.6\\.1\\.6\\.3\\.1\\.1\\.5\\.");
        f.oidExclude = QRegExp("\\.5\\.4$");
        f.monitorId = 8;
        f.encoding = kUndefinedTrapEncoding;
        f.monitorRegExps[0] = QRegExp("^((?!error).)*$");
    }));
    // Monitors 1 to 4 are done with.
    for (int id : {1, 2, 3, 4})
        s->send(peer::frame(-1, msg::UnsubscribeSnmp, {peer::Field::num("mon_id", id)}));
    ASSERT_TRUE(settled(s));
    ASSERT_EQ(runPeer("snmptrap", trapArgs({"-v", "2c", "-c", "public"}, kLinkUp, {".1.3.6.1.2.1.2.2.1.2.3", "s", "error"})), 0);
    ASSERT_EQ(runPeer("snmptrap", trapArgs({"-v", "2c", "-c", "public"}, kLinkDown, {".1.3.6.1.2.1.2.2.1.2.3", "s", "eth0"})), 0);
    EXPECT_EQ(events.next(), "8 6 Received linkDown trap");
    ASSERT_EQ(runPeer("snmptrap", trapArgs({"-v", "2c", "-c", "public"}, kLinkDown, {".1.3.6.1.2.1.2.2.1.2.3", "s", "link error"})), 0);
    EXPECT_EQ(events.next(), "8 3 Received 'linkDown' trap payload contains the forbidden regexp pattern: error");
    EXPECT_EQ(events.next(nullptr, 1000), QString());

    ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
    ASSERT_TRUE(daemon.waitForFinished(20000));
    EXPECT_EQ(daemon.exitCode(), 0);
}
