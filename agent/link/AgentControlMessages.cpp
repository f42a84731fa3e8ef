#include "AgentControlMessages.h"

#include <QDataStream>

CProtocolVersionAgentNot::CProtocolVersionAgentNot(qint32 major_, qint32 minor_, int id)
    : CAgentMessage(Type, id), major(major_), minor(minor_)
{
}

void CProtocolVersionAgentNot::bindFields()
{
    bindInt("major", &major);
    bindInt("minor", &minor);
}

CProductVersionAgentNot::CProductVersionAgentNot(qint32 ver_, int id) : CAgentMessage(Type, id), ver(ver_) {}

void CProductVersionAgentNot::bindFields()
{
    bindInt("ver", &ver);
}

CSelfIdentificationAgentNot::CSelfIdentificationAgentNot(const QString& connectionId_, const QString& hostname_,
                                                         const QString& ipRange_, int id)
    : CAgentMessage(Type, id), connectionId(connectionId_), hostname(hostname_), ipRange(ipRange_)
{
}

void CSelfIdentificationAgentNot::bindFields()
{
    bindString("connection_id", &connectionId);
    bindString("hostname", &hostname);
    bindString("ip_range", &ipRange);
}

CLocalhostInfoAgentNot::CLocalhostInfoAgentNot(const QString& hostname_, const QString& ip_, const QString& domain_,
                                               const QString& ips_, int id)
    : CAgentMessage(Type, id), hostname(hostname_), ip(ip_), domain(domain_), ips(ips_)
{
}

void CLocalhostInfoAgentNot::bindFields()
{
    bindString("hostname", &hostname);
    bindString("ip", &ip);
    bindString("domain", &domain);
    bindString("ips", &ips);
}

CUpgradeAgentMessage::CUpgradeAgentMessage(const QByteArray& upgradeData_, int id)
    : CAgentMessage(Type, id), upgradeData(upgradeData_)
{
}

void CUpgradeAgentMessage::bindFields()
{
    bindBytes("upgrade_data", &upgradeData);
}

CAgentStatusMessage::CAgentStatusMessage(qint32 statusCode_, const QByteArray& data_, int id)
    : CAgentMessage(Type, id), statusCode(statusCode_), data(data_)
{
}

void CAgentStatusMessage::bindFields()
{
    bindInt("status_code", &statusCode);
    bindBytes("data", &data);
}

CDisconnectReason::CDisconnectReason(const QString& reason_, int id) : CAgentMessage(Type, id), reason(reason_) {}

void CDisconnectReason::bindFields()
{
    bindString("reason", &reason);
}

CSendAgentOsVersionToService::CSendAgentOsVersionToService(qint32 osVersion_, int id)
    : CAgentMessage(Type, id), osVersion(osVersion_)
{
}

void CSendAgentOsVersionToService::bindFields()
{
    bindInt("os_version", &osVersion);
}

CUpdateAgentLimits::CUpdateAgentLimits(qint32 threadLimit_, qint32 cpuLimit_, qint32 tcpLimit_, qint32 wtmLimit_,
                                       int id)
    : CAgentMessage(Type, id), threadLimit(threadLimit_), cpuLimit(cpuLimit_), tcpLimit(tcpLimit_),
      wtmLimit(wtmLimit_)
{
}

void CUpdateAgentLimits::bindFields()
{
    bindInt("thread_limit", &threadLimit);
    bindInt("cpu_limit", &cpuLimit);
    bindInt("tcp_limit", &tcpLimit);
    bindInt("wtm_limit", &wtmLimit);
}

QByteArray writeModeRecord(qint32 modeBits)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(7);
    out << modeBits;
    return record;
}

qint32 readModeRecord(const QByteArray& record)
{
    QDataStream in(record);
    in.setVersion(7);
    qint32 bits = 0;
    in >> bits;
    return in.status() == QDataStream::Ok ? bits : 0;
}

CAgentSetModeMessage::CAgentSetModeMessage(qint32 modeBits_, int id)
    : CAgentMessage(Type, id), mode(writeModeRecord(modeBits_)), modeBits(modeBits_)
{
}

void CAgentSetModeMessage::bindFields()
{
    bindBytes("mode", &mode);
}

void CAgentSetModeMessage::readRawData(bool)
{
    modeBits = readModeRecord(mode);
}

CAgentExtCapsMessage::CAgentExtCapsMessage(const QByteArray& extCaps_, int id)
    : CAgentMessage(Type, id), extCaps(extCaps_)
{
}

void CAgentExtCapsMessage::bindFields()
{
    bindBytes("extCaps", &extCaps);
}
