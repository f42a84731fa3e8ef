#include "CReuseAddrTcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

CReuseAddrTcpServer::CReuseAddrTcpServer(QObject* owner, TakeConnection take)
    : QTcpServer(owner), m_take(std::move(take))
{
}

void CReuseAddrTcpServer::incomingConnection(qintptr descriptor)
{
    if (m_take)
        m_take(int(descriptor));
    else
        ::close(int(descriptor));
}

namespace {
sockaddr_in ipv4SocketAddress(const QHostAddress& address, int port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(quint16(port));
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    sa.sin_addr.s_addr = isV4 ? htonl(v4) : htonl(INADDR_ANY);
    return sa;
}
}

bool listenWithReuseAddress(QTcpServer* listener, const QHostAddress& address, int port, QString& error)
{
    error.clear();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = QStringLiteral("invalid socket");
        return false;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in sa = ipv4SocketAddress(address, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = QStringLiteral("can not bind socket to port");
        ::close(fd);
        return false;
    }
    if (::listen(fd, 128) != 0) {
        error = QStringLiteral("can not listen %1 interface on %2 port").arg(address.toString()).arg(port);
        ::close(fd);
        return false;
    }
    if (!listener->setSocketDescriptor(fd)) {
        error = QStringLiteral("can not use socket descriptor");
        ::close(fd);
        return false;
    }
    return true;
}

