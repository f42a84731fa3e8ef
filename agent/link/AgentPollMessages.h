#pragma once

// Poll requests and responses, poll aborts, plug-in and monitor notifications and
// monitor events.

#include "CAgentMessage.h"
#include "SPollOutcome.h"
#include "engine/CMonitorEvent.h"

#include <QByteArray>
#include <QString>

class CPollWithSettingsAgentReq : public CAgentMessage
{
public:
    static constexpr int Type = 5;
    CPollWithSettingsAgentReq(const QByteArray& monitorData, qint32 hasTemplateId, qint32 templateId, int id);
    explicit CPollWithSettingsAgentReq(const AgentMessageHeader& h) : CAgentMessage(h) {}
    QByteArray monitorData;  // the monitor record stream (version 7)
    qint32 hasTemplateId = 0;
    qint32 templateId = 0;

protected:
    void bindFields() override;
};

class CPollAgentReq : public CAgentMessage
{
public:
    static constexpr int Type = 6;
    CPollAgentReq(qint32 monId, qint32 hasTemplateId, qint32 templateId, int id);
    explicit CPollAgentReq(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 monId = 0;
    qint32 hasTemplateId = 0;
    qint32 templateId = 0;

protected:
    void bindFields() override;
};

class CPollAgentResp : public CAgentMessage
{
public:
    static constexpr int Type = 7;
    // The id is the poll's transaction id.
    CPollAgentResp(const SPollOutcome& outcome, int transactionId);
    explicit CPollAgentResp(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 status = 0;
    qint32 result = 0;
    qint32 printTimeoutReason = 0;
    qint32 inDiscovery = -1;
    QByteArray duration;
    QByteArray failedReason;
    QByteArray hostName;
    QByteArray ip;
    QByteArray newMonitors;

protected:
    void bindFields() override;
};

class CAbortPollAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 11;
    explicit CAbortPollAgentNot(qint32 abortTransaction, int id = -1);
    explicit CAbortPollAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 abortTransaction = 0;

protected:
    void bindFields() override;
};

class CPluginDataAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 12;
    CPluginDataAgentNot(qint32 pluginId, const QString& pluginName, int id = -1);
    explicit CPluginDataAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 pluginId = 0;
    QString pluginName;

protected:
    void bindFields() override;
};

class CDeleteMonitorAgentNot : public CAgentMessage
{
public:
    static constexpr int Type = 13;
    explicit CDeleteMonitorAgentNot(qint32 monId, int id = -1);
    explicit CDeleteMonitorAgentNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 monId = 0;

protected:
    void bindFields() override;
};

// event_data: int32 monitor id, int32 valid, then (when valid) the event.
class CMonitorEventNot : public CAgentMessage
{
public:
    static constexpr int Type = 25;
    // wide: the link's value form flag (mode bit 0).
    CMonitorEventNot(qint32 monitorId, const CMonitorEventPtr& event, bool wide);
    explicit CMonitorEventNot(const AgentMessageHeader& h) : CAgentMessage(h) {}
    qint32 monitorId = 0;
    qint32 isValid_ = 0;  // the "is_valid" key
    QByteArray eventData;
    CMonitorEventPtr event;  // rebuilt by readRawData; null when absent or unreadable

protected:
    void bindFields() override;
    void readRawData(bool flag) override;
};

QByteArray writeMonitorEventRecord(qint32 monitorId, const CMonitorEventPtr& event, bool wide);
