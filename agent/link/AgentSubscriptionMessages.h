#pragma once

// Trap and syslog subscriptions of monitors.

#include "CAgentMessage.h"
#include "receivers/SSnmpTrapCredential.h"

#include <QByteArray>
#include <QList>
#include <QString>

class CSnmpTrapFilter;
class SyslogLineFilter;

// The accepted-messages limit of a subscription, in record order.
struct SUdpMessagesLimit
{
    qint32 on = 0;
    qint32 value1 = 0;
    qint32 value2 = 0;
};

// snmp_mon_data: int32 monitor id, int32 filter count, the filters, three limit words,
// then the SNMPv3 user. The message owns its filters until takeFilters().
class CSubscribeSnmp : public CAgentMessage
{
public:
    static constexpr int Type = 23;
    explicit CSubscribeSnmp(const QByteArray& snmpMonData, int id = -1);
    explicit CSubscribeSnmp(const AgentMessageHeader& h) : CAgentMessage(h) {}
    ~CSubscribeSnmp() override;

    QByteArray snmpMonData;
    qint32 monitorId = 0;
    SUdpMessagesLimit limit;
    SSnmpTrapCredential user;
    // Empty when the record read cleanly; else why it did not (the filters are then dropped).
    QString recordError;
    bool monitorIdRead = false;

    const QList<CSnmpTrapFilter*>& filters() const { return m_filters; }
    // Hands the filters to the caller, who then owns and deletes them.
    QList<CSnmpTrapFilter*> takeFilters();

protected:
    void bindFields() override;
    void readRawData(bool flag) override;

private:
    void clearFilters();
    QList<CSnmpTrapFilter*> m_filters;
};

class CUnsubscribeSnmp : public CAgentMessage
{
public:
    static constexpr int Type = 24;
    explicit CUnsubscribeSnmp(qint32 monId, int id = -1);
    explicit CUnsubscribeSnmp(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 monId = 0;

protected:
    void bindFields() override;
};

// syslog_mon_data: int32 monitor id, int32 filter count, the filters, three limit words
// (0, 1, 0 before the record is read).
class CSubscribeSyslog : public CAgentMessage
{
public:
    static constexpr int Type = 28;
    explicit CSubscribeSyslog(const QByteArray& syslogMonData, int id = -1);
    explicit CSubscribeSyslog(const AgentMessageHeader& h) : CAgentMessage(h) {}
    ~CSubscribeSyslog() override;

    QByteArray syslogMonData;
    qint32 monitorId = 0;
    SUdpMessagesLimit limit{0, 1, 0};
    QString recordError;
    bool monitorIdRead = false;

    const QList<SyslogLineFilter*>& filters() const { return m_filters; }
    QList<SyslogLineFilter*> takeFilters();

protected:
    void bindFields() override;
    void readRawData(bool flag) override;

private:
    void clearFilters();
    QList<SyslogLineFilter*> m_filters;
};

class CUnsubscribeSyslog : public CAgentMessage
{
public:
    static constexpr int Type = 29;
    explicit CUnsubscribeSyslog(qint32 monId, int id = -1);
    explicit CUnsubscribeSyslog(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 monId = 0;

protected:
    void bindFields() override;
};

// Writers of both records (the service's side; used by tools and tests). The filters
// are written with their own stream forms.
QByteArray writeTrapSubscriptionRecord(qint32 monitorId, const QList<const CSnmpTrapFilter*>& filters,
                                       const SUdpMessagesLimit& limit, const SSnmpTrapCredential& user);
QByteArray writeSyslogSubscriptionRecord(qint32 monitorId, const QList<const SyslogLineFilter*>& filters,
                                         const SUdpMessagesLimit& limit);
