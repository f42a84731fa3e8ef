// The trap manager with its connector thread and a real Net-SNMP session on loopback: traps
// and informs from Debian's snmptrap and snmpinform (v1, v2c, v3 users from several engine
// IDs), hostile datagrams, a busy port, and the SNMPv3 header reader and user table.
#include "ReceiverTestSupport.h"
#include "SnmpTrapTestSupport.h"
#include "agent/engine/ComponentRunner.h"
#include "engine/CPluginManager.h"
#include "engine/NetSnmpLibrary.h"
#include "receivers/CSnmpTrapManager.h"
#include "receivers/SnmpTrapUsers.h"
#include "receivers/SnmpV3Header.h"
#include "support/EventLoopWait.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <memory>

using namespace traptest;

namespace {

const QString kLinkDown = ".1.3.6.1.6.3.1.1.5.3";
const QString kMarker = ".1.3.6.1.4.1.99999.0.1";

// The PDU type and request id of a v1/v2c message with short lengths up to its PDU.
std::pair<int, int> pduTypeAndRequestId(const QByteArray& m)
{
    auto at = [&](int i) { return i < m.size() ? int(uchar(m[i])) : -1; };
    int i = 2 + ((at(1) & 0x80) ? (at(1) & 0x7f) : 0);   // the message sequence
    i += 2 + at(i + 1);                                  // version
    i += 2 + at(i + 1);                                  // community
    const int type = at(i);
    i += 2 + ((at(i + 1) & 0x80) ? (at(i + 1) & 0x7f) : 0);
    if (at(i) != 0x02 || at(i + 1) < 1 || at(i + 1) > 4)
        return {type, -1};
    int id = 0;
    for (int k = 0; k < at(i + 1); ++k)
        id = (id << 8) | at(i + 2 + k);
    return {type, id};
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return probe.localPort();
}

// Every event with its trap, when it carries one.
class TrapEvents
{
public:
    UdpReceiverHooks hooks()
    {
        UdpReceiverHooks h;
        h.sendMonitorEvent = [this](int id, const CMonitorEventPtr& e) {
            QMutexLocker locker(&m_mutex);
            m_texts.append(describeEvent(id, e));
            auto* s = dynamic_cast<const CSnmpMonitorEventSetStatus*>(e.data());
            m_traps.append(s ? s->payload : CSnmpTrapPtr());
        };
        h.engineReady = [] { return true; };
        return h;
    }
    QStringList texts() const
    {
        QMutexLocker locker(&m_mutex);
        return m_texts;
    }
    // Waits for the event text; its trap (null for an event without one).
    bool waitFor(const QString& text, CSnmpTrapPtr* trap = nullptr, int timeoutMs = 15000)
    {
        int at = -1;
        const bool ok = waitUntil(
            [&] {
                QMutexLocker locker(&m_mutex);
                at = m_texts.indexOf(text);
                return at >= 0;
            },
            timeoutMs);
        if (ok && trap) {
            QMutexLocker locker(&m_mutex);
            *trap = m_traps.value(at);
        }
        return ok;
    }
    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_texts.clear();
        m_traps.clear();
    }
    void remove(const QString& text)
    {
        QMutexLocker locker(&m_mutex);
        for (int i = m_texts.indexOf(text); i >= 0; i = m_texts.indexOf(text)) {
            m_texts.removeAt(i);
            m_traps.removeAt(i);
        }
    }

private:
    mutable QMutex m_mutex;
    QStringList m_texts;
    QList<CSnmpTrapPtr> m_traps;
};

template <class F>
F* trapFilter(const std::function<void(F&)>& setUp = {})
{
    auto* f = new F;
    f->address = CIpAddressRange::fromHostName(QStringLiteral("127.0.0.1"), Optional<QHostAddress>());
    if (setUp)
        setUp(*f);
    return f;
}

CSnmpTrapFilter* oidFilter(const QString& oid, const QString& securityName = QString())
{
    return trapFilter<CSnmpGenTrapFilterEvent>([=](CSnmpGenTrapFilterEvent& f) {
        f.oid = oid;
        f.securityName = securityName;
    });
}

struct TrapReceiver
{
    explicit TrapReceiver(int port)
        : port(port), manager(new CSnmpTrapManager(nullptr, QStringLiteral("snmp trap manager"), 32, port))
    {
        manager->setHooks(events.hooks());
        runner = std::make_unique<ComponentRunner<CSnmpTrapManager>>(manager.get());
    }
    ~TrapReceiver() { runner->finish(); }
    bool start()
    {
        manager->setFilter(999, {oidFilter(kMarker)}, 0, 0, 0);
        runner->start();
        const bool started = events.waitFor(QStringLiteral("999 4 Message receiver was started"));
        events.clear();
        return started;
    }
    // Sends the marker trap until it arrives: everything sent before it has been handled.
    // Then forgets every event so far, or only the marker's.
    bool settled(bool clear = true)
    {
        const QByteArray marker = v2cMessage(0xA7, "public", kMarker.mid(1).toLatin1());
        const QString markerEvent = QStringLiteral("999 6 Received %1 trap").arg(kMarker);
        for (int i = 0; i < 20; ++i) {
            sendDatagram(port, marker);
            if (events.waitFor(markerEvent, nullptr, 500)) {
                if (clear)
                    events.clear();
                else
                    events.remove(markerEvent);
                return true;
            }
        }
        return false;
    }
    QStringList trapArgs(const QStringList& head, const QString& trapOid, const QStringList& bindings = {}) const
    {
        return head + QStringList{target(port), "", trapOid} + bindings;
    }

    int port;
    TrapEvents events;
    std::unique_ptr<CSnmpTrapManager> manager;
    std::unique_ptr<ComponentRunner<CSnmpTrapManager>> runner;
};

} // namespace

TEST(SnmpTrapReceiver, V1AndV2cTrapsAndInformsFromSnmptrap)
{
    TrapReceiver r(freeUdpPort());
    ASSERT_TRUE(r.start());
    auto ifFilter = [](int ifIndex) {
        return trapFilter<CSnmpGenTrapFilterIfaceEvent>([=](CSnmpGenTrapFilterIfaceEvent& f) {
            f.oid = kLinkDown;
            f.ifIndex = ifIndex;
        });
    };
    r.manager->setFilter(1, {ifFilter(3)}, 0, 0, 0);
    r.manager->setFilter(2, {ifFilter(4)}, 0, 0, 0);
    ASSERT_EQ(runPeer("snmptrap", {"-v", "1", "-c", "public", target(r.port), ".1.3.6.1.4.1.8072.9", "127.0.0.1", "2",
                                   "0", "", ".1.3.6.1.2.1.2.2.1.1.3", "i", "3"}),
              0);
    CSnmpTrapPtr trap;
    ASSERT_TRUE(r.events.waitFor("1 6 Received linkDown trap", &trap));
    ASSERT_TRUE(trap);
    EXPECT_EQ(trap->version, 1);
    EXPECT_EQ(trap->trapOid, kLinkDown);
    EXPECT_EQ(trap->enterprise, ".1.3.6.1.4.1.8072.9");
    EXPECT_EQ(trap->community, "public");
    EXPECT_EQ(trap->sender, "127.0.0.1");
    EXPECT_EQ(trap->payload.keys(), QStringList{".1.3.6.1.2.1.2.2.1.1.3"});
    EXPECT_EQ(r.events.texts(), QStringList{"1 6 Received linkDown trap"});   // not monitor 2

    // v2c with community "secret": "public" refuses it, an empty community accepts it.
    r.manager->removeFilter(1);
    r.manager->removeFilter(2);
    r.manager->setFilter(3, {trapFilter<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) { f.community = "public"; })}, 0, 0, 0);
    r.manager->setFilter(4, {oidFilter(kLinkDown)}, 0, 0, 0);
    ASSERT_TRUE(r.settled());
    ASSERT_EQ(runPeer("snmptrap", r.trapArgs({"-v", "2c", "-c", "secret"}, kLinkDown, {".1.3.6.1.2.1.2.2.1.1.3", "i", "3"})), 0);
    ASSERT_TRUE(r.events.waitFor("4 6 Received linkDown trap", &trap));
    EXPECT_EQ(trap->version, 2);
    EXPECT_EQ(trap->community, "secret");
    EXPECT_EQ(trap->payload.keys(), QStringList{".1.3.6.1.2.1.2.2.1.1.3"});   // no sysUpTime.0, snmpTrapOID.0
    EXPECT_EQ(r.events.texts(), QStringList{"4 6 Received linkDown trap"});

    // An inform is answered (exit 0) and delivered.
    r.events.clear();
    ASSERT_EQ(runPeer("snmpinform", r.trapArgs({"-v", "2c", "-c", "secret", "-r", "0", "-t", "5"}, kLinkDown)), 0);
    EXPECT_TRUE(r.events.waitFor("4 6 Received linkDown trap"));   // after the answer
}

TEST(SnmpTrapReceiver, V3TrapsAndInformsOfSubscribedUsers)
{
    TrapReceiver r(freeUdpPort());
    ASSERT_TRUE(r.start());
    r.manager->setFilter(1, {oidFilter(kLinkDown, "shaaes")}, 0, 0, 0);
    r.manager->updateCredentials({"shaaes", 1, ":shaauthpass", 2, ":aesprivpass"});
    r.manager->setFilter(2, {oidFilter(kLinkDown, "md5des")}, 0, 0, 0);
    r.manager->updateCredentials({"md5des", 0, ":md5authpass", 1, ":desprivpass"});
    r.manager->setFilter(3, {oidFilter(kLinkDown, "shaonly")}, 0, 0, 0);
    r.manager->updateCredentials({"shaonly", 1, ":shaonlypass", -1, ""});
    const QStringList shaAes = v3Args("shaaes", "SHA", "shaauthpass", "AES", "aesprivpass");
    const QStringList md5Des = v3Args("md5des", "MD5", "md5authpass", "DES", "desprivpass");

    struct Sent { QStringList args; QString event; } traps[] = {
        {QStringList{"-e", "0x8000000001020301"} + shaAes, "1 6 Received linkDown trap"},
        {QStringList{"-e", "0x8000000001020302"} + shaAes, "1 6 Received linkDown trap"},
        {QStringList{"-e", "0x8000000001020303"} + md5Des, "2 6 Received linkDown trap"},
        {QStringList{"-e", "0x8000000001020304"} + md5Des, "2 6 Received linkDown trap"},
    };
    for (const Sent& s : traps) {
        r.events.clear();
        ASSERT_EQ(runPeer("snmptrap", r.trapArgs(s.args, kLinkDown)), 0);
        CSnmpTrapPtr trap;
        ASSERT_TRUE(r.events.waitFor(s.event, &trap)) << qPrintable(s.args.join(' '));
        EXPECT_EQ(trap->version, 3);
        EXPECT_EQ(trap->community, "unknown");
        EXPECT_EQ(trap->securityName, s.args[s.args.indexOf("-u") + 1]);
        EXPECT_EQ(r.events.texts().size(), 1);
    }
    // Informs find the receiver's engine ID and are answered, with and without privacy.
    for (const QStringList& args : {shaAes, md5Des, v3Args("shaonly", "SHA", "shaonlypass", "", "")}) {
        r.events.clear();
        EXPECT_EQ(runPeer("snmpinform", r.trapArgs(QStringList{"-r", "0", "-t", "5"} + args, kLinkDown)), 0)
            << qPrintable(args.join(' '));
        // The answer goes out before the trap reaches the manager.
        EXPECT_TRUE(waitUntil([&] { return r.events.texts().size() == 1; })) << qPrintable(args.join(' '));
    }

    // A wrong pass phrase and an unknown user give nothing.
    r.events.clear();
    runPeer("snmptrap", r.trapArgs(QStringList{"-e", "0x8000000001020305"}
                                       + v3Args("shaaes", "SHA", "wrongpassword", "AES", "aesprivpass"),
                                   kLinkDown));
    runPeer("snmptrap", r.trapArgs(QStringList{"-e", "0x8000000001020305"}
                                       + v3Args("nobody", "SHA", "shaauthpass", "AES", "aesprivpass"),
                                   kLinkDown));
    EXPECT_NE(runPeer("snmpinform", r.trapArgs(QStringList{"-r", "0", "-t", "1"}
                                                   + v3Args("shaaes", "SHA", "wrongpassword", "AES", "aesprivpass"),
                                               kLinkDown)),
              0);
    ASSERT_TRUE(r.settled());
    EXPECT_EQ(r.events.texts(), QStringList());

    // A changed pass phrase replaces the user's keys, for engine IDs seen before too.
    r.manager->updateCredentials({"shaaes", 1, ":newauthpass", 2, ":aesprivpass"});
    ASSERT_EQ(runPeer("snmptrap", r.trapArgs(QStringList{"-e", "0x8000000001020301"} + shaAes, kLinkDown)), 0);
    ASSERT_EQ(runPeer("snmptrap", r.trapArgs(QStringList{"-e", "0x8000000001020301"}
                                                 + v3Args("shaaes", "SHA", "newauthpass", "AES", "aesprivpass"),
                                             kLinkDown)),
              0);
    ASSERT_TRUE(r.events.waitFor("1 6 Received linkDown trap"));
    ASSERT_TRUE(r.settled());
    EXPECT_EQ(r.events.texts(), QStringList());   // the old phrase's trap gave nothing
}

TEST(SnmpTrapReceiver, HostileDatagramsDeliverNothingAndBreakNothing)
{
    TrapReceiver r(freeUdpPort());
    ASSERT_TRUE(r.start());
    r.manager->setFilter(1, {oidFilter(QString())}, 0, 0, 0);   // every trap from 127.0.0.1
    const QByteArray valid = v2cMessage(0xA7, "public", "1.3.6.1.6.3.1.1.5.3",
                                        binding("1.3.6.1.2.1.2.2.1.1.3", integer(3)));
    QList<QByteArray> garbage = {
        QByteArray(),
        QByteArray::fromHex("30"),
        QByteArray::fromHex("3084ffffffff020101"),
        valid.left(valid.size() / 2),
        valid.left(valid.size() - 1),
        QByteArray(65507, '\0'),
        v2cMessage(0xA0, "public", "1.3.6.1.6.3.1.1.5.3"),   // GET
        v2cMessage(0xA2, "public", "1.3.6.1.6.3.1.1.5.3"),   // Response
        v2cMessage(0xA8, "public", "1.3.6.1.6.3.1.1.5.3"),   // Report
        v3Message("\x80\x00\x00\x00\x01\x02\x03\x09", "shaaes").left(30),
        v3Message(QByteArray(40, 'e'), "shaaes"),
        v3Message("\x80\x00\x00\x00\x01\x02\x03\x09", QByteArray(300, 'u')),
        v2cMessage(0xA7, "public", "1.3.6.1.6.3.1.1.5.3",
                   binding("1.3.6.1.4.1.9.1", octets(QByteArray(60000, 'x')))).left(40000),
    };
    for (const QByteArray& g : garbage)
        sendDatagram(r.port, g);
    ASSERT_TRUE(r.settled());
    EXPECT_EQ(r.events.texts(), QStringList());

    // Thousands of single-byte mutations of a valid trap: whatever still parses is a trap.
    QRandomGenerator rng(24);
    for (int i = 0; i < 3000; ++i) {
        QByteArray m = valid;
        m[rng.bounded(m.size())] = char(rng.bounded(256));
        sendDatagram(r.port, m);
        if (i % 200 == 0) {
            ASSERT_TRUE(r.settled());   // paced, so the socket buffer keeps up
        }
    }
    ASSERT_TRUE(r.settled());
    sendDatagram(r.port, valid);
    EXPECT_TRUE(r.events.waitFor("1 6 Received linkDown trap"));
}

TEST(SnmpTrapReceiver, InformsAreAnsweredFromTheAddressWrittenToAndOnlySubscribedSendersMakeEvents)
{
    TrapReceiver r(freeUdpPort());
    ASSERT_TRUE(r.start());
    r.manager->setFilter(1, {oidFilter(kLinkDown)}, 0, 0, 0);   // from 127.0.0.1 only
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    const QByteArray inform = v2cMessage(0xA6, "public", "1.3.6.1.6.3.1.1.5.3");
    for (const QString& to : {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.3")}) {
        ASSERT_EQ(peer.writeDatagram(inform, QHostAddress(to), r.port), inform.size());
        ASSERT_TRUE(peer.waitForReadyRead(5000)) << qPrintable(to);
        QByteArray answer(static_cast<int>(peer.pendingDatagramSize()), '\0');
        QHostAddress from;
        peer.readDatagram(answer.data(), answer.size(), &from);
        EXPECT_EQ(from.toString(), to);
        // The Response PDU (0xA2) with the inform's request id.
        EXPECT_EQ(pduTypeAndRequestId(answer), std::make_pair(0xA2, 77)) << answer.toHex().constData();
    }
    // The sender is named by no subscription: answered, but no event.
    ASSERT_TRUE(r.settled());
    EXPECT_EQ(r.events.texts(), QStringList());

    // Once a monitor names it, its traps reach that monitor.
    r.manager->setFilter(2, {trapFilter<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) {
                             f.address = CIpAddressRange::fromHostName(QStringLiteral("127.0.0.2"), Optional<QHostAddress>());
                             f.oid = kLinkDown;
                         })},
                         0, 0, 0);
    ASSERT_EQ(peer.writeDatagram(inform, QHostAddress::LocalHost, r.port), inform.size());
    CSnmpTrapPtr trap;
    ASSERT_TRUE(r.events.waitFor("2 6 Received linkDown trap", &trap));
    EXPECT_EQ(trap->sender, "127.0.0.2");
    ASSERT_TRUE(r.settled(false));
    EXPECT_EQ(r.events.texts(), QStringList{"2 6 Received linkDown trap"});
}

TEST(SnmpTrapReceiver, BusyPortIsReportedAndCredentialsWaitForNoListener)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QHostAddress::AnyIPv4), quint16(0)));
    TrapReceiver r(holder.localPort());
    r.runner->start();
    ASSERT_TRUE(waitUntil([&] { return !r.manager->lastError().isEmpty(); }));
    const QString listenError = r.manager->lastError();
    EXPECT_TRUE(listenError.startsWith("port listening initialization failed: ")) << qPrintable(listenError);
    // A credential now is dropped with a log line, and leaves the listen error as it was.
    r.manager->updateCredentials({"shaaes", 1, ":shaauthpass", 2, ":aesprivpass"});
    r.manager->setFilter(1, {oidFilter(kLinkDown)}, 0, 0, 0);
    EXPECT_TRUE(r.events.waitFor(QStringLiteral("1 5 The receiver is not ready (%1)").arg(listenError)));
    EXPECT_EQ(r.manager->lastError(), listenError);
}

TEST(SnmpV3Header, ReadsEngineIdAndUserWithinBounds)
{
    const QByteArray engine("\x80\x00\x00\x00\x01\x02\x03\x09", 8);
    const QByteArray good = v3Message(engine, "shaaes");
    SnmpV3Header h;
    ASSERT_TRUE(SnmpV3Header::read(reinterpret_cast<const uchar*>(good.constData()), good.size(), &h));
    EXPECT_EQ(h.engineId, engine);
    EXPECT_EQ(h.userName, "shaaes");
    // Empty engine ID and user: a discovery probe.
    const QByteArray probe = v3Message("", "");
    ASSERT_TRUE(SnmpV3Header::read(reinterpret_cast<const uchar*>(probe.constData()), probe.size(), &h));
    EXPECT_TRUE(h.engineId.isEmpty() && h.userName.isEmpty());

    // Every cut short of the user name's end is refused.
    const int userEnd = good.indexOf("shaaes") + 6;
    for (int cut = 0; cut < userEnd; ++cut)
        EXPECT_FALSE(SnmpV3Header::read(reinterpret_cast<const uchar*>(good.constData()), cut, &h)) << cut;
    QByteArray v2 = good;
    v2[4] = 1;   // version 2c
    QByteArray longForm = good;
    longForm[1] = char(0x85);   // five length octets
    QByteArray pastEnd = good;
    pastEnd[1] = char(pastEnd[1] + 1);
    const QList<QByteArray> bad = {v2, longForm, pastEnd, v3Message(QByteArray(33, 'e'), "u"),
                                   v3Message(engine, QByteArray(33, 'u')), QByteArray::fromHex("3080020103")};
    for (const QByteArray& b : bad)
        EXPECT_FALSE(SnmpV3Header::read(reinterpret_cast<const uchar*>(b.constData()), b.size(), &h)) << b.toHex().constData();

    // Which datagrams take Net-SNMP's v3 road (and so the shared lock): any that says version 3.
    auto isV3 = [](const QByteArray& b) { return SnmpV3Header::isVersion3(reinterpret_cast<const uchar*>(b.constData()), b.size()); };
    EXPECT_TRUE(isV3(good));
    EXPECT_TRUE(isV3(good.left(good.indexOf("shaaes"))));   // cut short: still v3
    EXPECT_TRUE(isV3(QByteArray::fromHex("3081ff020103")));   // the outer length runs past the end
    EXPECT_FALSE(isV3(v2));
    EXPECT_FALSE(isV3(v2cMessage(0xA7, "public", "1.3.6.1.6.3.1.1.5.3")));
    EXPECT_FALSE(isV3(QByteArray::fromHex("30")));
    EXPECT_FALSE(isV3(QByteArray::fromHex("30840201")));
}

TEST(SnmpTrapUsers, CappedPerNameAndReplacedWithTheCredential)
{
    NetSnmpLibrary::initOnce();
    pthread_mutex_lock(CPluginManager::snmpSharedMutex());
    {
        SnmpTrapUsers users;
        const SSnmpTrapCredential c{"capped", 1, ":authpass1", 2, ":privpass1"};
        auto engine = [](int i) { return QByteArray("\x80\x00\x00\x00\x05") + QByteArray::number(i); };
        for (int i = 0; i < SnmpTrapUsers::kMaxEngineIdsPerName + 10; ++i)
            users.ensure(engine(i), "capped", c, 1);
        EXPECT_EQ(users.count("capped"), SnmpTrapUsers::kMaxEngineIdsPerName);
        auto known = [&](int i) {
            const QByteArray e = engine(i);
            return usm_get_user(reinterpret_cast<const u_char*>(e.constData()), e.size(), const_cast<char*>("capped")) != nullptr;
        };
        EXPECT_FALSE(known(0));   // the oldest went first
        EXPECT_TRUE(known(10));
        EXPECT_TRUE(known(SnmpTrapUsers::kMaxEngineIdsPerName + 9));
        // A new credential drops the name's users; a phrase Net-SNMP refuses makes none.
        users.ensure(engine(1), "capped", {"capped", 1, ":short", 2, ":privpass1"}, 2);
        EXPECT_EQ(users.count("capped"), 0);
        EXPECT_FALSE(known(10));
        users.removeAll();
    }
    pthread_mutex_unlock(CPluginManager::snmpSharedMutex());
}

TEST(SnmpTrapReceiver, PayloadExpressionStatusGoesThroughTheMonitorsLimit)
{
    TrapReceiver r(freeUdpPort());
    ASSERT_TRUE(r.start());
    r.manager->setFilter(1, {trapFilter<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) {
                             f.oid = kLinkDown;
                             f.monitorId = 1;
                             f.encoding = kUndefinedTrapEncoding;
                             f.monitorRegExps[0] = QRegExp("^((?!error).)*$");
                         })},
                         1, 1, 60);
    const QByteArray withError = v2cMessage(0xA7, "public", "1.3.6.1.6.3.1.1.5.3",
                                            binding("1.3.6.1.2.1.2.2.1.2.3", octets("link error")));
    for (int i = 0; i < 3; ++i)
        sendDatagram(r.port, withError);
    // Unrelated traps from the host set nothing.
    sendDatagram(r.port, v2cMessage(0xA7, "public", "1.3.6.1.6.3.1.1.5.4",
                                    binding("1.3.6.1.2.1.2.2.1.2.3", octets("link error"))));
    ASSERT_TRUE(r.settled(false));
    const QStringList texts = r.events.texts();
    ASSERT_EQ(texts.size(), 2) << qPrintable(texts.join('\n'));
    EXPECT_EQ(texts[0], "1 3 Received 'linkDown' trap payload contains the forbidden regexp pattern: error");
    EXPECT_TRUE(texts[1].startsWith("1 8 Accepted messages limit has been exceeded.")) << qPrintable(texts[1]);
}
