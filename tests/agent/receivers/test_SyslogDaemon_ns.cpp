// The real daemon with its default syslog port (514, free in the test's own network
// namespace): the test peer subscribes monitors as the service would, util-linux logger sends
// lines, and the matching ones come back to the peer as monitor events.
#include "engine/CMonitorEvent.h"
#include "link/AgentSubscriptionMessages.h"
#include "receivers/SyslogLineFilter.h"
#include "support/ActiveDaemonSettings.h"
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/PrivateNameFiles.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <csignal>

namespace {

namespace msg = peer::msg;

// "<monitor> <type id> <text>" of one monitor-event message.
QString eventOf(const peer::Message& m)
{
    QDataStream in(m.raws.value("event_data"));
    in.setVersion(7);
    qint32 monitorId = 0, valid = 0;
    in >> monitorId >> valid;
    const CMonitorEventPtr e = valid ? CMonitorEvent::fromStream(in, false) : CMonitorEventPtr();
    QString text;
    if (auto* s = dynamic_cast<CMonitorEventSetStatus*>(e.data()))
        text = s->status.secondText;
    else if (auto* off = dynamic_cast<UdpReceiverIsOffMonitorEvent*>(e.data()))
        text = off->text;
    else if (auto* on = dynamic_cast<UdpReceiverIsOnMonitorEvent*>(e.data()))
        text = on->text;
    else if (auto* limit = dynamic_cast<CMonitorEventMessagesLimit*>(e.data()))
        text = limit->text;
    return QStringLiteral("%1 %2 %3").arg(monitorId).arg(e ? e->typeId() : 0).arg(text);
}

SyslogLineFilter filterFor(const QString& host)
{
    SyslogLineFilter f;
    f.address = CIpAddressRange::fromHostName(host, Optional<QHostAddress>());
    return f;
}

void subscribe(peer::Session* s, int monitorId, const QList<const SyslogLineFilter*>& filters, SUdpMessagesLimit limit = {})
{
    s->send(peer::frame(-1, msg::SubscribeSyslog, {peer::Field::raw("syslog_mon_data", writeSyslogSubscriptionRecord(monitorId, filters, limit))}));
}

bool logger(const QStringList& args)
{
    QStringList all = {QStringLiteral("-d"), QStringLiteral("-n"), QStringLiteral("127.0.0.1"), QStringLiteral("-P"),
                       QStringLiteral("514")};
    all += args;
    return QProcess::execute(QStringLiteral("logger"), all) == 0;
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

struct Events
{
    explicit Events(peer::Session* s) : session(s) {}
    // The next monitor event, or an empty text.
    QString next(int timeoutMs = 10000)
    {
        peer::Message m;
        return session->waitFor(msg::MonitorEventNot, m, timeoutMs) ? eventOf(m) : QString();
    }
    peer::Session* session;
};

TEST(SyslogDaemon, LoggerLinesReachTheServiceAsMonitorEvents)
{
    QTemporaryDir names;
    ASSERT_TRUE(names.isValid());
    const QString installed = privatenames::install(names.path(), "127.0.0.1 localhost loghost.example\n");
    ASSERT_TRUE(installed.isEmpty()) << qPrintable(installed);

    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    peer::Listener service;
    const quint16 port = service.start();
    ASSERT_NE(port, 0);
    // No syslog port given: the receiver takes 514.
    ASSERT_TRUE(testdaemon::writeActiveSettings(port, certs.cert("agent"), 13456));
    QProcess daemon;
    daemon.setProcessChannelMode(QProcess::ForwardedChannels);
    daemon.start(testpaths::daemonPath(), {QStringLiteral("-daemon")});
    ASSERT_TRUE(daemon.waitForStarted(10000));
    ASSERT_TRUE(service.waitForSession(1, 20000));
    peer::Session* s = service.sessions[0];
    peer::Message m;
    ASSERT_TRUE(s->waitFor(msg::LocalhostInfoNot, m));
    Events events(s);
    // The link can come up before the receiver listens: wait until the daemon holds port 514,
    // so no line goes to a closed port.
    ASSERT_TRUE(waitUntil([] {
        QUdpSocket probe;
        return !probe.bind(QHostAddress::LocalHost, 514, QAbstractSocket::DontShareAddress)
               && probe.error() == QAbstractSocket::AddressInUseError;
    }));

    // Monitor 5: lines from 127.0.0.1 with severity crit.
    SyslogLineFilter crit = filterFor(QStringLiteral("127.0.0.1"));
    crit.m_severityMask = 1 << 2;
    subscribe(s, 5, {&crit});
    ASSERT_TRUE(settled(s));
    ASSERT_TRUE(logger({"--rfc3164", "-p", "auth.info", "-t", "su", "allowed"}));
    ASSERT_TRUE(logger({"--rfc3164", "-p", "auth.crit", "-t", "su", "denied"}));
    QString first = events.next();
    // Bound but not yet reported as listening when the subscription came: the monitor hears
    // "not ready", then "started", before its lines.
    if (first == QLatin1String("5 5 The receiver is not ready")) {
        EXPECT_EQ(events.next(), QStringLiteral("5 4 Message receiver was started"));
        first = events.next();
    }
    EXPECT_TRUE(QRegExp(QStringLiteral("5 7 Syslog message: auth\\.CRIT: \\w+ +\\d+ [\\d:]+ \\S+ su: denied")).exactMatch(first))
        << qPrintable(first);

    // Monitor 6: an RFC 5424 message id and a structured-data condition, from a name that
    // /etc/hosts knows; monitor 7 names a host that does not resolve.
    SyslogLineFilter id47 = filterFor(QStringLiteral("loghost.example"));
    id47.messageIdText = QStringLiteral("ID47");
    id47.structuredDataCondition = QStringLiteral("timeQuality,tzKnown,1");
    subscribe(s, 6, {&id47});
    SyslogLineFilter lost = filterFor(QStringLiteral("nosuchhost.invalid"));
    subscribe(s, 7, {&lost});
    ASSERT_TRUE(settled(s));
    EXPECT_EQ(events.next(), QStringLiteral("7 5 cannot resolve hostname to IP"));
    ASSERT_TRUE(logger({"--rfc5424", "-p", "local0.info", "--msgid", "ID48", "other"}));
    ASSERT_TRUE(logger({"--rfc5424", "-p", "local0.info", "--msgid", "ID47", "hello world"}));
    const QString second = events.next();
    EXPECT_TRUE(second.startsWith(QLatin1String("6 7 Syslog message: local0.INFO: 1 ")) && second.endsWith(QLatin1String("hello world")))
        << qPrintable(second);

    // A record that does not read subscribes nothing and drops the monitor's filters.
    QByteArray broken = writeSyslogSubscriptionRecord(5, {&crit}, {});
    broken.chop(20);
    s->send(peer::frame(-1, msg::SubscribeSyslog, {peer::Field::raw("syslog_mon_data", broken)}));
    // Unsubscribed monitor 6 hears nothing more; the daemon still serves monitor 8.
    s->send(peer::frame(-1, msg::UnsubscribeSyslog, {peer::Field::num("mon_id", 6)}));
    SyslogLineFilter any = filterFor(QStringLiteral("127.0.0.1"));
    subscribe(s, 8, {&any});
    ASSERT_TRUE(settled(s));
    ASSERT_TRUE(logger({"--rfc5424", "-p", "auth.crit", "--msgid", "ID47", "last"}));
    const QString third = events.next();
    EXPECT_TRUE(third.startsWith(QLatin1String("8 7 ")) && third.endsWith(QLatin1String("last"))) << qPrintable(third);
    EXPECT_EQ(events.next(1000), QString());

    ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
    ASSERT_TRUE(daemon.waitForFinished(20000));
    EXPECT_EQ(daemon.exitCode(), 0);
    // Shutdown while listening sends no "Message receiver was stopped".
    for (const peer::Message& left : s->messages)
        if (left.type == msg::MonitorEventNot)
            ADD_FAILURE() << qPrintable(eventOf(left));
}

} // namespace
