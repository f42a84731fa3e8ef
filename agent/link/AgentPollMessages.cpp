#include "AgentPollMessages.h"

#include <QDataStream>

CPollWithSettingsAgentReq::CPollWithSettingsAgentReq(const QByteArray& monitorData_, qint32 hasTemplateId_,
                                                     qint32 templateId_, int id)
    : CAgentMessage(Type, id), monitorData(monitorData_), hasTemplateId(hasTemplateId_), templateId(templateId_)
{
}

void CPollWithSettingsAgentReq::bindFields()
{
    bindBytes("monitor_data", &monitorData);
    bindInt("has_template_id", &hasTemplateId);
    bindInt("template_id", &templateId);
}

CPollAgentReq::CPollAgentReq(qint32 monId_, qint32 hasTemplateId_, qint32 templateId_, int id)
    : CAgentMessage(Type, id), monId(monId_), hasTemplateId(hasTemplateId_), templateId(templateId_)
{
}

void CPollAgentReq::bindFields()
{
    bindInt("mon_id", &monId);
    bindInt("has_template_id", &hasTemplateId);
    bindInt("template_id", &templateId);
}

CPollAgentResp::CPollAgentResp(const SPollOutcome& o, int transactionId)
    : CAgentMessage(Type, transactionId), status(o.status), result(o.result),
      printTimeoutReason(o.printTimeoutReason), inDiscovery(o.inDiscovery), duration(writePollDurationRecord(o)),
      failedReason(o.failReason), hostName(o.hostName), ip(o.hostAddress),
      newMonitors(writeNewMonitorsRecord(o.newMonitors))
{
}

void CPollAgentResp::bindFields()
{
    bindInt("status", &status);
    bindInt("result", &result);
    bindInt("print_timeout_reason", &printTimeoutReason);
    bindInt("inDiscovery", &inDiscovery);
    bindBytes("duration", &duration);
    bindBytes("failed_reason", &failedReason);
    bindBytes("host_name", &hostName);
    bindBytes("ip", &ip);
    bindBytes("new_monitors", &newMonitors);
}

CAbortPollAgentNot::CAbortPollAgentNot(qint32 abortTransaction_, int id)
    : CAgentMessage(Type, id), abortTransaction(abortTransaction_)
{
}

void CAbortPollAgentNot::bindFields()
{
    bindInt("abort_transaction", &abortTransaction);
}

CPluginDataAgentNot::CPluginDataAgentNot(qint32 pluginId_, const QString& pluginName_, int id)
    : CAgentMessage(Type, id), pluginId(pluginId_), pluginName(pluginName_)
{
}

void CPluginDataAgentNot::bindFields()
{
    bindInt("plugin_id", &pluginId);
    bindString("plugin_name", &pluginName);
}

CDeleteMonitorAgentNot::CDeleteMonitorAgentNot(qint32 monId_, int id) : CAgentMessage(Type, id), monId(monId_) {}

void CDeleteMonitorAgentNot::bindFields()
{
    bindInt("mon_id", &monId);
}

QByteArray writeMonitorEventRecord(qint32 monitorId, const CMonitorEventPtr& event, bool wide)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(7);
    out << monitorId << qint32(event ? 1 : 0);
    if (event)
        event->write(out, wide);
    return record;
}

CMonitorEventNot::CMonitorEventNot(qint32 monitorId_, const CMonitorEventPtr& event_, bool wide)
    : CAgentMessage(Type, -1), monitorId(monitorId_), isValid_(event_ ? 1 : 0),
      eventData(writeMonitorEventRecord(monitorId_, event_, wide)), event(event_)
{
}

void CMonitorEventNot::bindFields()
{
    bindInt("monitor_id", &monitorId);
    bindInt("is_valid", &isValid_);
    bindBytes("event_data", &eventData);
}

void CMonitorEventNot::readRawData(bool flag)
{
    event.reset();
    if (eventData.isEmpty())
        return;  // no record: the body's own keys stand
    QDataStream in(eventData);
    in.setVersion(7);
    qint32 id = 0, valid = 0;
    in >> id >> valid;
    monitorId = id;
    isValid_ = valid;
    if (valid != 0 && in.status() == QDataStream::Ok)
        event = CMonitorEvent::fromStream(in, flag);
}
