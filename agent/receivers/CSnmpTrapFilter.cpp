#include "CSnmpTrapFilter.h"

#include "common/DataStreamLimits.h"

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
