#include "CSnmpTrapFilter.h"

#include "common/DataStreamLimits.h"
#include "engine/CMonitorEvent.h"

#include <QtDebug>

CSnmpTrapFilter::CSnmpTrapFilter()
    : address(CIpAddressRange::fromHostName(QString(), Optional<QHostAddress>(QHostAddress())))
{
    monitorRegExps.insert(0, QRegExp());
    monitorRegExps.insert(1, QRegExp());
}

CSnmpTrapFilter::~CSnmpTrapFilter() = default;

void CSnmpTrapFilter::save(QDataStream& out) const
{
    out << address << community << qint32(key) << payloadInclude << payloadExclude << checkPayload << securityName
        << qint32(monitorId) << encoding << monitorRegExps;
}

void CSnmpTrapFilter::load(QDataStream& in)
{
    qint32 k = 0, mon = 0;
    in >> address >> community >> k >> payloadInclude >> payloadExclude >> checkPayload >> securityName >> mon
        >> encoding;
    key = k;
    monitorId = mon;
    // Qt's map form, with the count checked before anything is read.
    quint32 n = 0;
    in >> n;
    monitorRegExps.clear();
    // A pair takes at least the key, an empty pattern and three option bytes.
    if (!streamCountFits(in, n, 11)) {
        markStreamCorrupt(in);
        return;
    }
    for (quint32 i = 0; i < n; ++i) {
        qint32 mk = 0;
        QRegExp re;
        in >> mk >> re;
        if (in.status() != QDataStream::Ok) {
            monitorRegExps.clear();
            return;
        }
        monitorRegExps.insert(mk, re);
    }
}

void CSnmpTrapFilter::toStream(QDataStream& out) const
{
    out << qint32(typeId());
    save(out);
}

CSnmpTrapFilter* CSnmpTrapFilter::fromStream(QDataStream& in)
{
    qint32 id = 0;
    in >> id;
    if (in.status() != QDataStream::Ok)
        return nullptr;
    CSnmpTrapFilter* filter = nullptr;
    switch (id) {
    case 1: filter = new CSnmpGenTrapFilterEvent; break;
    case 2: filter = new CSnmpGenTrapFilterIfaceEvent; break;
    case 3: filter = new CSnmpGenTrapFilterIfaceState; break;
    case 4: filter = new CSnmpGenTrapFilterOIDRegexpEvent; break;
    default:
        qWarning().noquote() << QStringLiteral("cannot parse snmp filter with ID=%1").arg(id);
        return nullptr;
    }
    filter->load(in);
    return filter;
}

void CSnmpTrapFilterSimpleOID::save(QDataStream& out) const
{
    CSnmpTrapFilter::save(out);
    out << oid;
}

void CSnmpTrapFilterSimpleOID::load(QDataStream& in)
{
    CSnmpTrapFilter::load(in);
    in >> oid;
}

void CSnmpTrapFilterSimpleOIDRegexp::save(QDataStream& out) const
{
    CSnmpTrapFilter::save(out);
    out << oid << oidInclude << oidExclude;
}

void CSnmpTrapFilterSimpleOIDRegexp::load(QDataStream& in)
{
    CSnmpTrapFilter::load(in);
    in >> oid >> oidInclude >> oidExclude;
}

void CSnmpGenTrapFilterIfaceEvent::save(QDataStream& out) const
{
    CSnmpGenTrapFilterEvent::save(out);
    out << qint32(ifIndex);
}

void CSnmpGenTrapFilterIfaceEvent::load(QDataStream& in)
{
    CSnmpGenTrapFilterEvent::load(in);
    qint32 v = 0;
    in >> v;
    ifIndex = v;
}

void CSnmpGenTrapFilterIfaceState::save(QDataStream& out) const
{
    CSnmpGenTrapFilterIfaceEvent::save(out);
    out << qint32(ifState);
}

void CSnmpGenTrapFilterIfaceState::load(QDataStream& in)
{
    CSnmpGenTrapFilterIfaceEvent::load(in);
    qint32 v = 0;
    in >> v;
    ifState = (v >= 0 && v <= 2) ? v : -1;
}

namespace {

const QString kIfIndexOid = QStringLiteral(".1.3.6.1.2.1.2.2.1.1");
const QLatin1String kNotContainHead("^((?!");
const QLatin1String kNotContainTail(").)*$");

SMonitorStatus trapStatus(int third, const QString& text)
{
    return SMonitorStatus(1, 0, third, SStatusValue(), QString(), text, QStringList(), QDateTime(), 0);
}

// The ifIndex column itself, or it with one more component.
bool isIfIndexKey(const QString& key)
{
    if (!key.startsWith(kIfIndexOid))
        return false;
    if (key.size() == kIfIndexOid.size())
        return true;
    if (key.at(kIfIndexOid.size()) != QLatin1Char('.') || key.size() == kIfIndexOid.size() + 1)
        return false;
    return key.indexOf(QLatin1Char('.'), kIfIndexOid.size() + 1) < 0;
}

} // namespace

bool CSnmpTrapFilter::matchesPlain(const CSnmpTrap& trap) const
{
    if (!m_senderAddresses.contains(trap.sender))
        return false;
    if (!community.isEmpty() && community != trap.community)
        return false;
    return securityName == trap.securityName;
}

bool CSnmpTrapFilter::matchesPayload(const CSnmpTrap& trap) const
{
    return !checkPayload || trap.payloadMatches(payloadInclude, payloadExclude, encoding);
}

bool CSnmpTrapFilter::matches(const CSnmpTrap& trap) const
{
    return matchesBase(trap);
}

CSnmpTrapFilter::EventPtr CSnmpTrapFilter::checkMonitorRegExps(const CSnmpTrap& trap) const
{
    if (monitorId < 0)
        return EventPtr();
    for (int k = 0; k <= 1; ++k) {
        // Looked at in place: a copy of a QRegExp allocates, and most monitors have none.
        const auto it = monitorRegExps.constFind(k);
        if (it == monitorRegExps.constEnd() || it->isEmpty() || trap.anyPayloadValueMatches(*it, encoding))
            continue;
        const QRegExp& re = *it;
        const QString pattern = re.pattern();
        QString inner = pattern, word = QStringLiteral("doesn't contain"), extra;
        if (pattern.startsWith(kNotContainHead) && pattern.endsWith(kNotContainTail)
            && pattern.size() >= kNotContainHead.size() + kNotContainTail.size()) {
            inner = pattern.mid(kNotContainHead.size(), pattern.size() - kNotContainHead.size() - kNotContainTail.size());
            word = QStringLiteral("contains");
            extra = QStringLiteral(" forbidden");
        }
        const QString text = QStringLiteral("Received '%1' trap payload %2 the%3 regexp pattern: %4")
                                 .arg(genericTrapName(trap.trapOid), word, extra, inner);
        return EventPtr(new CMonitorEventSetStatus(trapStatus(k == 0 ? 2 : 1, text), SMonitorStatusDetails()));
    }
    return EventPtr();
}

CSnmpTrapFilter::EventPtr CSnmpTrapFilter::makeStatusEvent(const CSnmpTrapPtr& trap) const
{
    if (!trap)
        return EventPtr();
    if (EventPtr failed = checkMonitorRegExps(*trap))
        return failed;
    return makeAcceptedEvent(trap);
}

CSnmpTrapFilter::EventPtr CSnmpTrapFilter::makeAcceptedEvent(const CSnmpTrapPtr& trap) const
{
    return EventPtr(new CSnmpMonitorEventSetStatus(trapStatus(0, trapReceivedText(trap->trapOid)), trap));
}

bool CSnmpTrapFilterSimpleOID::matches(const CSnmpTrap& trap) const
{
    return (oid.isEmpty() || trap.trapOid == oid) && matchesBase(trap);
}

bool CSnmpTrapFilterSimpleOIDRegexp::matches(const CSnmpTrap& trap) const
{
    return matchesPlain(trap) && trap.oidMatches(oidInclude, oidExclude) && matchesPayload(trap);
}

bool CSnmpGenTrapFilterIfaceEvent::matches(const CSnmpTrap& trap) const
{
    if (!CSnmpGenTrapFilterEvent::matches(trap))
        return false;
    for (auto it = trap.payload.constBegin(); it != trap.payload.constEnd(); ++it) {
        if (!isIfIndexKey(it.key()))
            continue;
        bool ok = false;
        const int value = it.value().toText(kUndefinedTrapEncoding).toInt(&ok);
        return ok && value == ifIndex;
    }
    return false;
}

CSnmpTrapFilter::EventPtr CSnmpGenTrapFilterIfaceState::makeAcceptedEvent(const CSnmpTrapPtr& trap) const
{
    return EventPtr(new CMonitorEventSetStatus(trapStatus(ifState, trapReceivedText(trap->trapOid)), SMonitorStatusDetails()));
}
