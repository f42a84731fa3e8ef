#include "AgentRelayMessages.h"

CSnmpReq::CSnmpReq(qint32 relayId_, qint32 relayType_, const QByteArray& host_, int id)
    : CAgentMessage(Type, id), relayId(relayId_), relayType(relayType_), host(host_)
{
}

void CSnmpReq::bindFields()
{
    bindInt("id", &relayId);
    bindInt("type", &relayType);
    bindBytes("host", &host);
}

CSnmpResp::CSnmpResp(qint32 relayId_, qint32 relayType_, qint32 reason_, int id)
    : CAgentMessage(Type, id), relayId(relayId_), relayType(relayType_), reason(reason_)
{
}

void CSnmpResp::bindFields()
{
    bindInt("id", &relayId);
    bindInt("type", &relayType);
    bindInt("reason", &reason);
}

CSnmpData::CSnmpData(qint32 relayId_, const QByteArray& data_, int id)
    : CAgentMessage(Type, id), relayId(relayId_), data(data_)
{
}

void CSnmpData::bindFields()
{
    bindInt("id", &relayId);
    bindBytes("data", &data);
}

CResolveReq::CResolveReq(qint32 version_, qint32 reqId_, qint32 isIp_, const QString& from_, const QString& prev_,
                         int id)
    : CAgentMessage(Type, id), version(version_), reqId(reqId_), isIp(isIp_), from(from_), prev(prev_)
{
}

void CResolveReq::bindFields()
{
    bindInt("version", &version);
    bindInt("reqId", &reqId);
    bindInt("isIp", &isIp);
    bindString("from", &from);
    bindString("prev", &prev);
}

CResolveResp::CResolveResp(qint32 version_, qint32 reqId_, qint32 isOk_, qint32 isIp_, const QString& from_,
                           const QString& to_, int id)
    : CAgentMessage(Type, id), version(version_), reqId(reqId_), isOk(isOk_), isIp(isIp_), from(from_), to(to_)
{
}

void CResolveResp::bindFields()
{
    bindInt("version", &version);
    bindInt("reqId", &reqId);
    bindInt("isOk", &isOk);
    bindInt("isIp", &isIp);
    bindString("from", &from);
    bindString("to", &to);
}
