#include "CServerErrorAgentLinkEvent.h"

#include "CAgentServer.h"

CServerErrorAgentLinkEvent::CServerErrorAgentLinkEvent(CAgentServer* server, QString error)
    : m_server(server), m_error(std::move(error))
{
}

CAgentServer* CServerErrorAgentLinkEvent::server() const { return m_server.data(); }
