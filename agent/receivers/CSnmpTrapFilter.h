#pragma once

// The trap filters that a subscribe-SNMP message carries, and their test of a trap.

#include "CSnmpTrap.h"
#include "common/IpAddressList.h"

#include <QDataStream>
#include <QExplicitlySharedDataPointer>
#include <QMap>
#include <QRegExp>
#include <QString>
#include <QStringList>

class CMonitorEvent;

// One trap filter of a monitor. Built by fromStream on the link thread; its sender addresses
// are resolved before it reaches the trap manager's matcher, which owns it from then on.
// Threads: matched on the manager's thread under the manager mutex only (QRegExp keeps its
// last match inside); never copied or changed after it is filed.
//
// A filter accepts a trap when the sender, the trap OID, the payload test, the community and
// the security name all pass. The monitor's payload expressions are looked at only then: a
// failing one turns the accepted trap's event into the status that names the expression, so
// it goes through the monitor's limit like any other event, and unrelated traps never set it.
class CSnmpTrapFilter
{
public:
    using Message = CSnmpTrap;
    using EventPtr = QExplicitlySharedDataPointer<CMonitorEvent>;

    CSnmpTrapFilter();
    CSnmpTrapFilter(const CSnmpTrapFilter&) = delete;
    CSnmpTrapFilter& operator=(const CSnmpTrapFilter&) = delete;
    virtual ~CSnmpTrapFilter();

    virtual void save(QDataStream& out) const;
    virtual void load(QDataStream& in);
    virtual int typeId() const = 0;

    // Type id, then the body; null (with a warning) for an id outside 1..4.
    static CSnmpTrapFilter* fromStream(QDataStream& in);
    void toStream(QDataStream& out) const;

    // The IPv4 address texts the sender host stands for; a trap from any other sender fails.
    void setSenderAddresses(const QStringList& addresses) { m_senderAddresses = addresses; }
    QStringList senderAddresses() const { return m_senderAddresses; }

    virtual bool matches(const CSnmpTrap& trap) const;
    // For a trap this filter accepted: the failing payload expression's status, else the
    // filter's own event.
    EventPtr makeStatusEvent(const CSnmpTrapPtr& trap) const;
    // Null when the monitor's payload expressions pass (or the filter has no monitor); else
    // the status that names the first failing one.
    EventPtr checkMonitorRegExps(const CSnmpTrap& trap) const;

    CIpAddressRange address;
    QString community;
    QString securityName;
    int key = 1;
    QRegExp payloadInclude;
    QRegExp payloadExclude;
    bool checkPayload = false;
    int monitorId = -1;
    QString encoding;
    QMap<int, QRegExp> monitorRegExps;

protected:
    // Sender, community and security name, then the payload test: the payload's texts and
    // expressions are made and run only for a trap the plain comparisons let through.
    bool matchesBase(const CSnmpTrap& trap) const { return matchesPlain(trap) && matchesPayload(trap); }
    bool matchesPlain(const CSnmpTrap& trap) const;
    bool matchesPayload(const CSnmpTrap& trap) const;
    virtual EventPtr makeAcceptedEvent(const CSnmpTrapPtr& trap) const;

private:
    QStringList m_senderAddresses;
};

class CSnmpTrapFilterSimpleOID : public CSnmpTrapFilter
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    bool matches(const CSnmpTrap& trap) const override;
    QString oid;
};

class CSnmpTrapFilterSimpleOIDRegexp : public CSnmpTrapFilter
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    bool matches(const CSnmpTrap& trap) const override;
    QString oid;   // carried, not matched
    QRegExp oidInclude;
    QRegExp oidExclude;
};

class CSnmpGenTrapFilterEvent : public CSnmpTrapFilterSimpleOID
{
public:
    int typeId() const override { return 1; }
};

class CSnmpGenTrapFilterIfaceEvent : public CSnmpGenTrapFilterEvent
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    int typeId() const override { return 2; }
    // The trap must also carry ifIndex (the column itself or one instance of it) with this value.
    bool matches(const CSnmpTrap& trap) const override;
    int ifIndex = 0;
};

class CSnmpGenTrapFilterIfaceState : public CSnmpGenTrapFilterIfaceEvent
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    int typeId() const override { return 3; }
    int ifState = -1;  // 0..2, -1 for any other stored value

protected:
    // A plain status whose third number is ifState; it carries no trap.
    EventPtr makeAcceptedEvent(const CSnmpTrapPtr& trap) const override;
};

class CSnmpGenTrapFilterOIDRegexpEvent : public CSnmpTrapFilterSimpleOIDRegexp
{
public:
    int typeId() const override { return 4; }
};
