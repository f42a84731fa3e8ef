#include "CSslAgentServer.h"

#include "CAcceptedAgentLinkEvent.h"
#include "CSslAcceptedConnectionInfo.h"
#include "common/SslFileLoaders.h"

#include <unistd.h>

CSslAgentServer::~CSslAgentServer()
{
    delete m_certificate;
    delete m_key;
}

void CSslAgentServer::listen(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings)
{
    m_manager = manager;
    m_settings = settings;
    log(QStringLiteral("using ssl cert %1, priv key %2").arg(settings.certificatePath, settings.privateKeyPath));
    m_setupError.clear();
    delete m_certificate;
    delete m_key;
    m_key = nullptr;
    m_certificate = loadCertificate(settings.certificatePath, m_setupError);
    if (m_certificate) {
        m_key = loadPrivateKey(settings.privateKeyPath, settings.keyPassPhrase, m_setupError);
        if (m_key && !keyMatchesCertificate(*m_certificate, *m_key)) {
            m_setupError = keyMismatchText(settings.privateKeyPath, settings.certificatePath);
            delete m_key;
            m_key = nullptr;
        }
        if (!m_key) {
            delete m_certificate;
            m_certificate = nullptr;
        }
    }
    if (!m_certificate || !m_key) {
        postServerError(QStringLiteral("SSL server initialization failed: ") + m_setupError);
        return;
    }
    startListening("ssl");
}

void CSslAgentServer::takeConnection(int descriptor)
{
    if (!m_certificate || !m_key) {
        ::close(descriptor);
        postServerError(QStringLiteral("can't get connection since SSL server not initialized"));
        return;
    }
    CPendingConnectionSlotPtr slot = admitConnection(descriptor);
    if (!slot)
        return;
    CAcceptedConnectionInfoPtr info(
        new CSslAcceptedConnectionInfo(m_settings, descriptor, *m_certificate, *m_key, slot));
    postLinkEvent(CAgentLinkEventPtr(new CAcceptedAgentLinkEvent(info)));
}
