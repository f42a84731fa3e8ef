#include "CSnmpRelayControl.h"

#include "AgentRelayMessages.h"

CSnmpRelayControl::CSnmpRelayControl(MessageSink sink, int port, int lookupTimeoutMs)
    : m_sink(std::move(sink)), m_port(port), m_lookupTimeoutMs(lookupTimeoutMs)
{
}

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
        m_lookupTicket = 0;
        if (!m_relay->hasSocket()) {
            if (m_sink)
                m_sink(CAgentMessagePtr(new CSnmpResp(request.relayId, 1, 5)));
        } else if (!m_relay->hostToResolve().isEmpty()) {
            if (!m_lookup)
                m_lookup.reset(new CRelayPeerLookup(
                    [this](quint64 ticket, const QHostAddress& address, const QString& error) {
                        onPeerResolved(ticket, address, error);
                    },
                    m_lookupTimeoutMs));
            m_lookupTicket = m_lookup->lookup(m_relay->hostToResolve());
        }
        break;
    case 1:
        if (m_relay && m_relay->relayId() == request.relayId)
            endRelay(CSnmpRedirBase::EndClosed);
        break;
    default:
        break;
    }
}

void CSnmpRelayControl::onPeerResolved(quint64 ticket, const QHostAddress& address, const QString& error)
{
    if (!m_relay || ticket != m_lookupTicket)
        return;   // the relay it was for has been replaced or closed
    m_lookupTicket = 0;
    m_relay->peerResolved(address, error);
    if (!m_relay->hasSocket() && m_sink)
        m_sink(CAgentMessagePtr(new CSnmpResp(m_relay->relayId(), 1, 5)));
}

bool CSnmpRelayControl::handleData(const CSnmpData& data)
{
    return m_relay && m_relay->sendToPeer(data.relayId, data.data);
}

void CSnmpRelayControl::linkClosed()
{
    endRelay(CSnmpRedirBase::EndLinkClosed);
}
