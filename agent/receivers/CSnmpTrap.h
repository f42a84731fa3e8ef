#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QExplicitlySharedDataPointer>
#include <QMap>
#include <QRegExp>
#include <QSharedData>
#include <QString>

// The encoding name that renders a value as ASCII text when every byte is printable, else as hex.
extern const QString kUndefinedTrapEncoding;

// "." before a text that starts with a digit; any other text unchanged.
QString normalizeOidText(const QString& text);
// The name of a generic trap OID ("linkDown"), of such an OID with one more component
// ("sysUpTime.0"), else the text unchanged.
QString genericTrapName(const QString& oidText);
// "Received <name> trap".
QString trapReceivedText(const QString& oidText);

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

    // The value as text: the undefined encoding gives escaped ASCII or lower-case hex, a codec
    // Qt knows converts, anything else reads UTF-8.
    QString toText(const QString& encoding) const;

    QByteArray data;
};

// The daemon's record of one received SNMP notification. Built once, then shared
// read-only between threads through QExplicitlySharedDataPointer<const CSnmpTrap>.
class CSnmpTrap : public QSharedData
{
public:
    CSnmpTrap() = default;
    virtual ~CSnmpTrap() = default;

    // The tests the trap filters make. A regexp accepts a text when it matches anywhere in
    // it; an empty regexp accepts everything. Not thread-safe: QRegExp keeps its last match.
    bool oidMatches(const QRegExp& include, const QRegExp& exclude) const;
    // Over "OID=value" texts; no entry at all tests the one empty text.
    bool payloadMatches(const QRegExp& include, const QRegExp& exclude, const QString& encoding) const;
    // Over the value texts alone.
    bool anyPayloadValueMatches(const QRegExp& re, const QString& encoding) const;

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
