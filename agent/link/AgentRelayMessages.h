#pragma once

// SNMP datagram relay and name resolution messages.

#include "CAgentMessage.h"

#include <QByteArray>
#include <QString>

// The body keys "id" and "type" of these classes are not the header's id and type.
class CSnmpReq : public CAgentMessage
{
public:
    static constexpr int Type = 17;
    CSnmpReq(qint32 relayId, qint32 relayType, const QByteArray& host, int id = -1);
    explicit CSnmpReq(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 relayId = 0;    // "id"
    qint32 relayType = 0;  // "type": 0 open, 1 close
    QByteArray host;       // "host:port" in UTF-8

protected:
    void bindFields() override;
};

class CSnmpResp : public CAgentMessage
{
public:
    static constexpr int Type = 18;
    CSnmpResp(qint32 relayId, qint32 relayType, qint32 reason, int id = -1);
    explicit CSnmpResp(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 relayId = 0;
    qint32 relayType = 0;
    qint32 reason = 0;

protected:
    void bindFields() override;
};

class CSnmpData : public CAgentMessage
{
public:
    static constexpr int Type = 19;
    CSnmpData(qint32 relayId, const QByteArray& data, int id = -1);
    explicit CSnmpData(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 relayId = 0;
    QByteArray data;  // one UDP datagram

protected:
    void bindFields() override;
};

class CResolveReq : public CAgentMessage
{
public:
    static constexpr int Type = 20;
    CResolveReq(qint32 version, qint32 reqId, qint32 isIp, const QString& from, const QString& prev, int id = -1);
    explicit CResolveReq(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 version = 0;
    qint32 reqId = 0;
    qint32 isIp = 0;
    QString from;
    QString prev;

protected:
    void bindFields() override;
};

class CResolveResp : public CAgentMessage
{
public:
    static constexpr int Type = 21;
    CResolveResp(qint32 version, qint32 reqId, qint32 isOk, qint32 isIp, const QString& from, const QString& to,
                 int id);
    explicit CResolveResp(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 version = 0;
    qint32 reqId = 0;
    qint32 isOk = 0;
    qint32 isIp = 0;
    QString from;
    QString to;

protected:
    void bindFields() override;
};
