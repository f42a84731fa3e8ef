#include "CSslAcceptedConnectionInfo.h"

#include "common/CSecureSocket.h"
#include "common/CSslAgentConnection.h"

CSslAcceptedConnectionInfo::CSslAcceptedConnectionInfo(const SAgentConnectionSettings& settings, int descriptor,
                                                       const QSslCertificate& certificate, const QSslKey& key,
                                                       CPendingConnectionSlotPtr pendingSlot)
    : CAcceptedConnectionInfo(settings, descriptor, std::move(pendingSlot)), m_certificate(certificate), m_key(key)
{
}

CAgentConnection* CSslAcceptedConnectionInfo::createConnection() const { return new CSslAgentConnection(); }

QObject* CSslAcceptedConnectionInfo::createSocket()
{
    const int fd = takeDescriptor();
    if (fd < 0)
        return nullptr;
    auto* socket = new CSecureSocket();
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    socket->setPeerVerifyMode(QSslSocket::QueryPeer);
    socket->setSocketDescriptor(fd, QAbstractSocket::ConnectedState, QIODevice::ReadWrite);
    return socket;
}
