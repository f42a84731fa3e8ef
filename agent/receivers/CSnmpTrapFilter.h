#pragma once

// Stream forms of the trap filters that a subscribe-SNMP message carries.

#include "common/IpAddressList.h"

#include <QDataStream>
#include <QMap>
#include <QRegExp>
#include <QString>

// One trap filter of a monitor. Built by fromStream on the link thread, then owned by
// the trap manager's matcher; never copied or changed after loading.
class CSnmpTrapFilter
{
public:
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
};

class CSnmpTrapFilterSimpleOID : public CSnmpTrapFilter
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    QString oid;
};

class CSnmpTrapFilterSimpleOIDRegexp : public CSnmpTrapFilter
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    QString oid;
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
    int ifIndex = 0;
};

class CSnmpGenTrapFilterIfaceState : public CSnmpGenTrapFilterIfaceEvent
{
public:
    void save(QDataStream& out) const override;
    void load(QDataStream& in) override;
    int typeId() const override { return 3; }
    int ifState = -1;  // 0..2, -1 for any other stored value
};

class CSnmpGenTrapFilterOIDRegexpEvent : public CSnmpTrapFilterSimpleOIDRegexp
{
public:
    int typeId() const override { return 4; }
};
