#include "CAgentServer.h"

#include "CServerErrorAgentLinkEvent.h"
#include "CSslAgentServer.h"
#include "CTcpAgentServer.h"
#include "common/AgentLinkLog.h"
#include "common/CReuseAddrTcpServer.h"
#include "common/WebUtils.h"

#include <QDebug>
#include <unistd.h>

CAgentServer::CAgentServer(QObject* parent)
    : QObject(parent), m_pendingCount(QSharedPointer<QAtomicInt>::create(0))
{
}

CAgentServer::~CAgentServer()
{
    if (m_listener) {
        m_listener->blockSignals(true);
        delete m_listener;
        m_listener = nullptr;
    }
}

void CAgentServer::log(const QString& text) const
{
    agentLinkLog(agentLinkLogLine("server", this, text));
}

quint16 CAgentServer::listeningPort() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

void CAgentServer::postLinkEvent(const CAgentLinkEventPtr& event)
{
    if (m_manager)
        m_manager->postLinkEvent(event);
}

void CAgentServer::postServerError(const QString& text)
{
    if (m_manager)
        postLinkEvent(CAgentLinkEventPtr(new CServerErrorAgentLinkEvent(this, text)));
}

void CAgentServer::startListening(const char* kind)
{
    const QString kindText = QLatin1String(kind);
    // Only an IPv4 address is a listening address; anything else would silently mean "all".
    QHostAddress address;
    if (m_settings.host == QLatin1String("0.0.0.0")) {
        address = QHostAddress(QHostAddress::Any);
    } else if (!address.setAddress(m_settings.host) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        log(QStringLiteral("%1 agent server cannot listen on %2:%3").arg(kindText, m_settings.host).arg(m_settings.port));
        postServerError(QStringLiteral("invalid server address '%1', an IPv4 address is expected").arg(m_settings.host));
        return;
    }
    const QString addressText = address == QHostAddress(QHostAddress::Any) ? m_settings.host : address.toString();

    QString portError;
    if (!WebUtils::checkServerPort(address, m_settings.port, portError))
        qWarning().noquote() << QStringLiteral("%1 agent server on %2:%3: port already in use")
                                    .arg(kindText, addressText).arg(m_settings.port);

    m_listener = new CReuseAddrTcpServer(this, [this](int descriptor) { takeConnection(descriptor); });
    QString error;
    if (listenWithReuseAddress(m_listener, address, m_settings.port, error)) {
        log(QStringLiteral("%1 agent server listening on %2:%3").arg(kindText, addressText).arg(m_settings.port));
        return;
    }
    log(QStringLiteral("%1 agent server cannot listen on %2:%3").arg(kindText, addressText).arg(m_settings.port));
    postServerError(error);
    delete m_listener;
    m_listener = nullptr;
}

CPendingConnectionSlotPtr CAgentServer::admitConnection(int descriptor)
{
    if (m_pendingCount->loadAcquire() >= m_maxPending) {
        log(QStringLiteral("too many pending connections, connection refused"));
        ::close(descriptor);
        return {};
    }
    return CPendingConnectionSlotPtr::create(m_pendingCount);
}

void CAgentServer::stop()
{
    if (m_listener) {
        log(QStringLiteral("stopped"));
        m_listener->blockSignals(true);
        m_listener->setParent(nullptr);
        delete m_listener;
        m_listener = nullptr;
    }
    m_manager = nullptr;
}

CAgentServer* createAgentServer(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings)
{
    CAgentServer* server = settings.transport != 0 ? static_cast<CAgentServer*>(new CSslAgentServer())
                                                   : static_cast<CAgentServer*>(new CTcpAgentServer());
    server->listen(manager, settings);
    return server;
}
