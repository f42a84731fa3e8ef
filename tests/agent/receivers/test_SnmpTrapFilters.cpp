// Which traps each kind of trap filter accepts, and the event an accepted trap makes.
#include "engine/CMonitorEvent.h"
#include "receivers/CSnmpTrapFilter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString kHost = "192.168.1.10";
const QString kLinkDown = ".1.3.6.1.6.3.1.1.5.3";
const QString kLinkUp = ".1.3.6.1.6.3.1.1.5.4";
const QString kIfIndex = ".1.3.6.1.2.1.2.2.1.1";

CSnmpTrapPtr trap(const QString& oid, const QMap<QString, QByteArray>& payload = {}, const QString& community = "public",
                  const QString& securityName = "", const QString& sender = kHost)
{
    auto* t = new CSnmpTrap;
    t->version = securityName.isEmpty() ? 2 : 3;
    t->sender = sender;
    t->trapOid = oid;
    t->community = community;
    t->securityName = securityName;
    for (auto it = payload.constBegin(); it != payload.constEnd(); ++it)
        t->payload.insert(it.key(), CSnmpTrapPayload(it.value()));
    return CSnmpTrapPtr(t);
}

template <class F>
std::shared_ptr<CSnmpTrapFilter> make(const std::function<void(F&)>& setUp = {})
{
    auto f = std::make_shared<F>();
    f->setSenderAddresses({kHost});
    if (setUp)
        setUp(*f);
    return f;
}

// "<type id> <third> <text>" of the event a filter makes for a trap it accepted.
QString eventText(const CSnmpTrapFilter& f, const CSnmpTrapPtr& t)
{
    const CSnmpTrapFilter::EventPtr e = f.makeStatusEvent(t);
    auto* s = dynamic_cast<CMonitorEventSetStatus*>(e.data());
    if (!s)
        return "none";
    if (auto* withTrap = dynamic_cast<CSnmpMonitorEventSetStatus*>(s)) {
        EXPECT_EQ(withTrap->payload, t);
    }
    return QStringLiteral("%1 %2 %3").arg(e->typeId()).arg(s->status.third).arg(s->status.secondText);
}

struct Row
{
    const char* name;
    std::shared_ptr<CSnmpTrapFilter> filter;
    CSnmpTrapPtr trap;
    bool accepted;
    QString event;   // when accepted
};

} // namespace

TEST(SnmpTrapFilter, WhichTrapsEachKindAccepts)
{
    auto oidFilter = [](const QString& oid) {
        return make<CSnmpGenTrapFilterEvent>([oid](CSnmpGenTrapFilterEvent& f) { f.oid = oid; });
    };
    auto ifFilter = [](int ifIndex) {
        return make<CSnmpGenTrapFilterIfaceEvent>([ifIndex](CSnmpGenTrapFilterIfaceEvent& f) {
            f.oid = kLinkDown;
            f.ifIndex = ifIndex;
        });
    };
    auto regexpFilter = make<CSnmpGenTrapFilterOIDRegexpEvent>([](CSnmpGenTrapFilterOIDRegexpEvent& f) {
        f.oidInclude = QRegExp("^\\.1\\.3\\.6\\.1\\.4\\.1\\.9\\.");
        f.oidExclude = QRegExp("^\\.1\\.3\\.6\\.1\\.4\\.1\\.9\\.0\\.2$");
    });
    const Row rows[] = {
        {"any v2c trap from the host", oidFilter(""), trap(kLinkUp), true, "6 0 Received linkUp trap"},
        {"another sender", oidFilter(""), trap(kLinkUp, {}, "public", "", "192.168.1.11"), false, ""},
        {"no v3 trap without a security name", oidFilter(""), trap(kLinkUp, {}, "unknown", "user"), false, ""},
        {"v3 trap of the named user", make<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) { f.securityName = "user"; }),
         trap(kLinkUp, {}, "unknown", "user"), true, "6 0 Received linkUp trap"},
        {"community refused", make<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) { f.community = "public"; }),
         trap(kLinkUp, {}, "secret"), false, ""},
        {"community equal", make<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) { f.community = "secret"; }),
         trap(kLinkUp, {}, "secret"), true, "6 0 Received linkUp trap"},
        {"linkDown filter, linkUp trap", oidFilter(kLinkDown), trap(kLinkUp), false, ""},
        {"linkDown filter, linkDown trap", oidFilter(kLinkDown), trap(kLinkDown), true, "6 0 Received linkDown trap"},
        {"ifIndex instance 3", ifFilter(3), trap(kLinkDown, {{kIfIndex + ".3", "3"}}), true, "6 0 Received linkDown trap"},
        {"ifIndex column itself", ifFilter(3), trap(kLinkDown, {{kIfIndex, "3"}}), true, "6 0 Received linkDown trap"},
        {"ifIndex value 4", ifFilter(3), trap(kLinkDown, {{kIfIndex + ".3", "4"}}), false, ""},
        {"no ifIndex binding", ifFilter(3), trap(kLinkDown, {{".1.3.6.1.2.1.2.2.1.2.3", "3"}}), false, ""},
        {"ifInOctets column is not ifIndex", ifFilter(3), trap(kLinkDown, {{".1.3.6.1.2.1.2.2.1.10", "3"}}), false, ""},
        {"ifInOctets instance is not ifIndex", ifFilter(3), trap(kLinkDown, {{".1.3.6.1.2.1.2.2.1.10.3", "3"}}), false, ""},
        {"two components past ifIndex", ifFilter(3), trap(kLinkDown, {{kIfIndex + ".3.1", "3"}}), false, ""},
        {"ifIndex not a number", ifFilter(3), trap(kLinkDown, {{kIfIndex + ".3", "three"}}), false, ""},
        {"state filter", make<CSnmpGenTrapFilterIfaceState>([](CSnmpGenTrapFilterIfaceState& f) {
             f.oid = kLinkDown;
             f.ifIndex = 3;
             f.ifState = 2;
         }),
         trap(kLinkDown, {{kIfIndex + ".3", "3"}}), true, "3 2 Received linkDown trap"},
        {"OID regexp include", regexpFilter, trap(".1.3.6.1.4.1.9.0.1"), true, "6 0 Received .1.3.6.1.4.1.9.0.1 trap"},
        {"OID regexp exclude", regexpFilter, trap(".1.3.6.1.4.1.9.0.2"), false, ""},
        {"OID regexp outside the prefix", regexpFilter, trap(".1.3.6.1.4.1.90.0.1"), false, ""},
        {"payload include", make<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) {
             f.checkPayload = true;
             f.payloadInclude = QRegExp("=up$");
         }),
         trap(kLinkUp, {{".1.3.6.1.4.1.9.1", "up"}}), true, "6 0 Received linkUp trap"},
        {"payload exclude", make<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) {
             f.checkPayload = true;
             f.payloadExclude = QRegExp("=up$");
         }),
         trap(kLinkUp, {{".1.3.6.1.4.1.9.1", "up"}}), false, ""},
        {"payload expressions unused while checkPayload is off", make<CSnmpGenTrapFilterEvent>([](CSnmpGenTrapFilterEvent& f) {
             f.payloadExclude = QRegExp("=up$");
         }),
         trap(kLinkUp, {{".1.3.6.1.4.1.9.1", "up"}}), true, "6 0 Received linkUp trap"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.filter->matches(*r.trap), r.accepted) << r.name;
        if (r.accepted) {
            EXPECT_EQ(eventText(*r.filter, r.trap), r.event) << r.name;
        }
    }
}

TEST(SnmpTrapFilter, MonitorExpressionsNameTheFailingPattern)
{
    auto monitor = [](const QString& oid, const QString& key0, const QString& key1) {
        return make<CSnmpGenTrapFilterEvent>([=](CSnmpGenTrapFilterEvent& f) {
            f.oid = oid;
            f.monitorId = 12;
            f.encoding = kUndefinedTrapEncoding;
            f.monitorRegExps[0] = QRegExp(key0);
            f.monitorRegExps[1] = QRegExp(key1);
        });
    };
    const QMap<QString, QByteArray> withError{{".1.3.6.1.2.1.2.2.1.2.3", "eth0 error"}};
    const QMap<QString, QByteArray> clean{{".1.3.6.1.2.1.2.2.1.2.3", "eth0"}};
    // An expression passes when any one value matches it.
    const QMap<QString, QByteArray> mixed{{kIfIndex + ".3", "3"}, {".1.3.6.1.2.1.2.2.1.2.3", "eth0 error"}};
    const Row rows[] = {
        {"forbidden word present", monitor(kLinkDown, "^((?!error).)*$", ""), trap(kLinkDown, withError), true,
         "3 2 Received 'linkDown' trap payload contains the forbidden regexp pattern: error"},
        {"forbidden word absent", monitor(kLinkDown, "^((?!error).)*$", ""), trap(kLinkDown, clean), true,
         "6 0 Received linkDown trap"},
        {"required word absent, key 1", monitor(kLinkDown, "", "eth1"), trap(kLinkDown, clean), true,
         "3 1 Received 'linkDown' trap payload doesn't contain the regexp pattern: eth1"},
        {"key 0 is tested first", monitor(kLinkDown, "^((?!error).)*$", "eth1"), trap(kLinkDown, withError), true,
         "3 2 Received 'linkDown' trap payload contains the forbidden regexp pattern: error"},
        {"one value without the word", monitor(kLinkDown, "^((?!error).)*$", ""), trap(kLinkDown, mixed), true,
         "6 0 Received linkDown trap"},
        // The expressions are looked at only for a trap the filter accepted.
        {"unrelated trap sets nothing", monitor(kLinkDown, "^((?!error).)*$", ""), trap(kLinkUp, withError), false, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.filter->matches(*r.trap), r.accepted) << r.name;
        if (r.accepted) {
            EXPECT_EQ(eventText(*r.filter, r.trap), r.event) << r.name;
        }
    }
    // No monitor: the expressions are not used.
    auto none = monitor(kLinkDown, "^((?!error).)*$", "");
    none->monitorId = -1;
    EXPECT_EQ(eventText(*none, trap(kLinkDown, withError)), "6 0 Received linkDown trap");
}
