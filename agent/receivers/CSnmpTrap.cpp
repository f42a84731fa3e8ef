#include "CSnmpTrap.h"

#include "common/DataStreamLimits.h"

QDataStream& operator<<(QDataStream& out, const QExplicitlySharedDataPointer<const CSnmpTrap>& trap)
{
    out << bool(trap);
    if (!trap)
        return out;
    out << qint32(trap->version) << trap->sender << trap->trapOid << qint32(trap->payload.size());
    for (auto it = trap->payload.constBegin(); it != trap->payload.constEnd(); ++it)
        out << it.key() << true << it.value().data;
    out << qint32(trap->timestamp) << trap->enterprise << trap->community << trap->securityName;
    return out;
}

QDataStream& operator>>(QDataStream& in, QExplicitlySharedDataPointer<const CSnmpTrap>& trap)
{
    trap.reset();
    bool present = false;
    in >> present;
    if (!present || in.status() != QDataStream::Ok)
        return in;
    QExplicitlySharedDataPointer<CSnmpTrap> t(new CSnmpTrap);
    qint32 version = 0, count = 0, timestamp = 0;
    in >> version >> t->sender >> t->trapOid >> count;
    t->version = version;
    // An entry takes at least its key length, its flag and its data length.
    if (!streamCountFits(in, count, 9)) {
        markStreamCorrupt(in);
        return in;
    }
    for (qint32 i = 0; i < count; ++i) {
        QString key;
        bool hasValue = false;
        in >> key >> hasValue;
        CSnmpTrapPayload value;
        // The writer always sets the flag; an entry without one carries no data.
        if (hasValue)
            in >> value.data;
        if (in.status() != QDataStream::Ok)
            return in;
        t->payload.insert(key, value);
    }
    in >> timestamp >> t->enterprise >> t->community >> t->securityName;
    t->timestamp = timestamp;
    if (in.status() == QDataStream::Ok)
        trap = t;
    return in;
}
