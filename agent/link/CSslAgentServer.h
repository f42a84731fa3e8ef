#pragma once
#include "CAgentServer.h"

class QSslCertificate;
class QSslKey;

// Loads its certificate and key once at listen and gives every accepted connection copies.
class CSslAgentServer : public CAgentServer
{
    Q_OBJECT
public:
    using CAgentServer::CAgentServer;
    ~CSslAgentServer() override;
    void listen(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings) override;
    void takeConnection(int descriptor) override;
    QString lastSetupError() const { return m_setupError; }

private:
    QString m_setupError;
    QSslCertificate* m_certificate = nullptr;
    QSslKey* m_key = nullptr;
};
