#pragma once

// Link housekeeping messages: pings, identification, versions, limits, upgrade,
// disconnect reason, mode and capabilities.

#include "CAgentMessage.h"

#include <QByteArray>
#include <QString>

// Messages without keys share this shape.
template <int TypeCode>
class CAgentEmptyMessage : public CAgentMessage
{
public:
    static constexpr int Type = TypeCode;
    explicit CAgentEmptyMessage(int id = -1) : CAgentMessage(Type, id) {}
    explicit CAgentEmptyMessage(const AgentMessageHeader& h) : CAgentMessage(h) {}
};

class CPingAgentReq : public CAgentEmptyMessage<1>
{
public:
    using CAgentEmptyMessage::CAgentEmptyMessage;
};

class CPingAgentResp : public CAgentEmptyMessage<2>
{
public:
    using CAgentEmptyMessage::CAgentEmptyMessage;
};

class CCheckConnectionAgentReq : public CAgentEmptyMessage<3>
{
public:
    using CAgentEmptyMessage::CAgentEmptyMessage;
};

class CCheckConnectionAgentResp : public CAgentEmptyMessage<4>
{
public:
    using CAgentEmptyMessage::CAgentEmptyMessage;
};

class CProtocolVersionAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 8;
    CProtocolVersionAgentNot(qint32 major, qint32 minor, int id = -1);
    explicit CProtocolVersionAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 major = 0;
    qint32 minor = 0;

protected:
    void bindFields() override;
};

class CProductVersionAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 9;
    explicit CProductVersionAgentNot(qint32 ver, int id = -1);
    explicit CProductVersionAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 ver = 0;

protected:
    void bindFields() override;
};

class CSelfIdentificationAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 10;
    CSelfIdentificationAgentNot(const QString& connectionId, const QString& hostname, const QString& ipRange,
                                int id = -1);
    explicit CSelfIdentificationAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QString connectionId;
    QString hostname;
    QString ipRange;

protected:
    void bindFields() override;
};

class CLocalhostInfoAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 14;
    CLocalhostInfoAgentNot(const QString& hostname, const QString& ip, const QString& domain, const QString& ips,
                           int id = -1);
    explicit CLocalhostInfoAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QString hostname;
    QString ip;
    QString domain;
    QString ips;

protected:
    void bindFields() override;
};

class CUpgradeAgentMessage : public CAgentMessage
{
public:
    static constexpr int Type = 15;
    explicit CUpgradeAgentMessage(const QByteArray& upgradeData, int id = -1);
    explicit CUpgradeAgentMessage(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QByteArray upgradeData;

protected:
    void bindFields() override;
};

class CAgentStatusMessage : public CAgentMessage
{
public:
    static constexpr int Type = 16;
    CAgentStatusMessage(qint32 statusCode, const QByteArray& data, int id = -1);
    explicit CAgentStatusMessage(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 statusCode = 0;
    QByteArray data;

protected:
    void bindFields() override;
};

class CDisconnectReason : public CAgentMessage
{
public:
    static constexpr int Type = 22;
    explicit CDisconnectReason(const QString& reason, int id = -1);
    explicit CDisconnectReason(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QString reason;

protected:
    void bindFields() override;
};

class CSendAgentOsVersionToService : public CAgentMessage
{
public:
    static constexpr int Type = 26;
    explicit CSendAgentOsVersionToService(qint32 osVersion, int id = -1);
    explicit CSendAgentOsVersionToService(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 osVersion = 0;

protected:
    void bindFields() override;
};

class CUpdateAgentLimits : public CAgentMessage
{
public:
    static constexpr int Type = 27;
    CUpdateAgentLimits(qint32 threadLimit, qint32 cpuLimit, qint32 tcpLimit, qint32 wtmLimit, int id = -1);
    explicit CUpdateAgentLimits(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 threadLimit = 0;
    qint32 cpuLimit = 0;
    qint32 tcpLimit = 0;
    qint32 wtmLimit = 0;

protected:
    void bindFields() override;
};

// Mode bits: one int32 in a QDataStream record. Bit 0: 64-bit status values in
// monitor events; bit 3: extended-capability messages.
class CAgentSetModeMessage : public CAgentMessage
{
public:
    static constexpr int Type = 35;
    static constexpr qint32 WideStatusValues = 1;
    static constexpr qint32 ExtendedCaps = 8;
    static constexpr qint32 KnownBits = 9;

    CAgentSetModeMessage(qint32 modeBits, int id);
    explicit CAgentSetModeMessage(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QByteArray mode;      // the raw record
    qint32 modeBits = 0;  // read from / written to the record

protected:
    void bindFields() override;
    void readRawData(bool flag) override;
};

class CAgentExtCapsMessage : public CAgentMessage
{
public:
    static constexpr int Type = 36;
    explicit CAgentExtCapsMessage(const QByteArray& extCaps, int id = -1);
    explicit CAgentExtCapsMessage(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QByteArray extCaps;  // UTF-8 JSON text

protected:
    void bindFields() override;
};

// The mode record: one int32 of mode bits.
QByteArray writeModeRecord(qint32 modeBits);
qint32 readModeRecord(const QByteArray& record);
