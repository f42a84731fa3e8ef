#pragma once
#include "CAgentServer.h"

class CTcpAgentServer : public CAgentServer
{
    Q_OBJECT
public:
    using CAgentServer::CAgentServer;
    void listen(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings) override;
    void takeConnection(int descriptor) override;
};
