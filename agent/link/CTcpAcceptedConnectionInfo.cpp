#include "CTcpAcceptedConnectionInfo.h"

#include "common/CTcpAgentConnection.h"

#include <QTcpSocket>

CAgentConnection* CTcpAcceptedConnectionInfo::createConnection() const { return new CTcpAgentConnection(); }

QObject* CTcpAcceptedConnectionInfo::createSocket()
{
    const int fd = takeDescriptor();
    if (fd < 0)
        return nullptr;
    auto* socket = new QTcpSocket();
    socket->setSocketDescriptor(fd, QAbstractSocket::ConnectedState, QIODevice::ReadWrite);
    return socket;
}
