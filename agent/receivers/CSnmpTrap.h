#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QExplicitlySharedDataPointer>
#include <QMap>
#include <QSharedData>
#include <QString>

// One variable-binding value of a received trap.
class CSnmpTrapPayload : public QSharedData
{
public:
    CSnmpTrapPayload() = default;
    explicit CSnmpTrapPayload(const QByteArray& d) : data(d) {}
    // Held by value in the payload map; a copy starts with its own reference count.
    CSnmpTrapPayload(const CSnmpTrapPayload& o) : QSharedData(), data(o.data) {}
    CSnmpTrapPayload& operator=(const CSnmpTrapPayload& o)
    {
        data = o.data;
        return *this;
    }
    virtual ~CSnmpTrapPayload() = default;

    QByteArray data;
};

// The daemon's record of one received SNMP notification. Built once, then shared
// read-only between threads through QExplicitlySharedDataPointer<const CSnmpTrap>.
class CSnmpTrap : public QSharedData
{
public:
    CSnmpTrap() = default;
    virtual ~CSnmpTrap() = default;

    int version = 0;
    QString sender;
    QString trapOid;
    int timestamp = 0;
    QString enterprise;
    QString community;
    QString securityName;
    QMap<QString, CSnmpTrapPayload> payload;
};

using CSnmpTrapPtr = QExplicitlySharedDataPointer<const CSnmpTrap>;

// Stream form: present flag, then version, sender, trap OID, the payload entries
// (count, then key, present flag, bytes), time stamp, enterprise, community, security name.
QDataStream& operator<<(QDataStream& out, const QExplicitlySharedDataPointer<const CSnmpTrap>& trap);
QDataStream& operator>>(QDataStream& in, QExplicitlySharedDataPointer<const CSnmpTrap>& trap);
