#include "CSnmpRelayControl.h"

#include "AgentRelayMessages.h"

CSnmpRelayControl::CSnmpRelayControl(MessageSink sink, int port) : m_sink(std::move(sink)), m_port(port) {}

CSnmpRelayControl::~CSnmpRelayControl()
{
    linkClosed();
}

void CSnmpRelayControl::endRelay(int code)
{
    if (!m_relay)
        return;
    m_relay->setEndCode(code);
    m_relay.reset();   // its destructor reports the end
}

void CSnmpRelayControl::handleRequest(const CSnmpReq& request)
{
    switch (request.relayType) {
    case 0:
        endRelay(CSnmpRedirBase::EndReplaced);
        if (m_port < 0)
            m_relay.reset(new CSnmpRedirAgent(request.relayId, m_sink, request.host));
        else
            m_relay.reset(new CSnmpRedirAgent(request.relayId, m_sink, request.host, quint16(m_port)));
        if (!m_relay->hasSocket() && m_sink)
            m_sink(CAgentMessagePtr(new CSnmpResp(request.relayId, 1, 5)));
        break;
    case 1:
        if (m_relay && m_relay->relayId() == request.relayId)
            endRelay(CSnmpRedirBase::EndClosed);
        break;
    default:
        break;
    }
}

bool CSnmpRelayControl::handleData(const CSnmpData& data)
{
    return m_relay && m_relay->sendToPeer(data.relayId, data.data);
}

void CSnmpRelayControl::linkClosed()
{
    endRelay(CSnmpRedirBase::EndLinkClosed);
}
