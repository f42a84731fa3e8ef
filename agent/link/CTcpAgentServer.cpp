#include "CTcpAgentServer.h"

#include "CAcceptedAgentLinkEvent.h"
#include "CTcpAcceptedConnectionInfo.h"

void CTcpAgentServer::listen(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings)
{
    m_manager = manager;
    m_settings = settings;
    startListening("tcp");
}

void CTcpAgentServer::takeConnection(int descriptor)
{
    CPendingConnectionSlotPtr slot = admitConnection(descriptor);
    if (!slot)
        return;
    CAcceptedConnectionInfoPtr info(new CTcpAcceptedConnectionInfo(m_settings, descriptor, slot));
    postLinkEvent(CAgentLinkEventPtr(new CAcceptedAgentLinkEvent(info)));
}
