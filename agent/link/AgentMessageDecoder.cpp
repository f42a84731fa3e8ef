#include "AgentMessageDecoder.h"

#include "AgentMessages.h"

CAgentMessage* createAgentMessage(const AgentMessageHeader& h)
{
    switch (h.type) {
    case 1: return new CPingAgentReq(h);
    case 2: return new CPingAgentResp(h);
    case 3: return new CCheckConnectionAgentReq(h);
    case 4: return new CCheckConnectionAgentResp(h);
    case 5: return new CPollWithSettingsAgentReq(h);
    case 6: return new CPollAgentReq(h);
    case 7: return new CPollAgentResp(h);
    case 8: return new CProtocolVersionAgentNot(h);
    case 9: return new CProductVersionAgentNot(h);
    case 10: return new CSelfIdentificationAgentNot(h);
    case 11: return new CAbortPollAgentNot(h);
    case 12: return new CPluginDataAgentNot(h);
    case 13: return new CDeleteMonitorAgentNot(h);
    case 14: return new CLocalhostInfoAgentNot(h);
    case 15: return new CUpgradeAgentMessage(h);
    case 16: return new CAgentStatusMessage(h);
    case 17: return new CSnmpReq(h);
    case 18: return new CSnmpResp(h);
    case 19: return new CSnmpData(h);
    case 20: return new CResolveReq(h);
    case 21: return new CResolveResp(h);
    case 22: return new CDisconnectReason(h);
    case 23: return new CSubscribeSnmp(h);
    case 24: return new CUnsubscribeSnmp(h);
    case 25: return new CMonitorEventNot(h);
    case 26: return new CSendAgentOsVersionToService(h);
    case 27: return new CUpdateAgentLimits(h);
    case 28: return new CSubscribeSyslog(h);
    case 29: return new CUnsubscribeSyslog(h);
    case 30: return new CCheckAttachmentsReq(h);
    case 31: return new CCheckAttachmentsResp(h);
    case 32: return new CCreateAttachmentsReq(h);
    case 33: return new CCreateAttachmentsResp(h);
    case 34: return new CDeleteAttachmentsNot(h);
    case 35: return new CAgentSetModeMessage(h);
    case 36: return new CAgentExtCapsMessage(h);
    default: return nullptr;
    }
}

CAgentMessagePtr decodeAgentMessage(const char* frame, int frameSize, QString& errorText, bool wide)
{
    AgentMessageHeader header;
    if (!frame || header.read(frame, frameSize) != AgentMessageHeader::Size) {
        errorText = QStringLiteral("frame too short (%1 bytes)").arg(frameSize);
        return {};
    }
    if (header.type == 0) {
        errorText = QStringLiteral("invalid message type %1").arg(header.type);
        return {};
    }
    CAgentMessagePtr message(createAgentMessage(header));
    if (!message) {
        errorText = QStringLiteral("invalid message type %1").arg(header.type);
        return {};
    }
    message->parseBody(frame + AgentMessageHeader::Size, frameSize - AgentMessageHeader::Size,
                       header.type == CMonitorEventNot::Type ? wide : false);
    if (!message->isValid()) {
        errorText = QStringLiteral("wrong message data (msg_type=%1), errmsg: %2")
                        .arg(header.type)
                        .arg(message->errorString());
        return {};
    }
    return message;
}
