#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int listenOnLoopback(int backlog, quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(sa.sin_port);
    return fd;
}

} // namespace

LoopbackServer::LoopbackServer(Script script, Mode mode)
{
    m_listenFd = listenOnLoopback(mode == NoAccept ? 0 : 8, &m_port);
    if (m_listenFd < 0)
        return;
    if (mode == NoAccept) {
        // one connection fills a backlog of 0; later SYNs are dropped and connects hang
        m_fillerFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(m_port);
        ::connect(m_fillerFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        return;
    }
    m_thread = std::thread([this, script] {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        {
            std::lock_guard<std::mutex> lock(m_peerMutex);
            m_peerFd = fd;
        }
        if (script)
            script(fd);
        std::lock_guard<std::mutex> lock(m_peerMutex);
        ::close(fd);
        m_peerFd = -1;
    });
}

LoopbackServer::~LoopbackServer()
{
    if (m_listenFd >= 0)
        ::shutdown(m_listenFd, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> lock(m_peerMutex);
        if (m_peerFd >= 0)
            ::shutdown(m_peerFd, SHUT_RDWR);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_fillerFd >= 0)
        ::close(m_fillerFd);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

bool LoopbackServer::sendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string LoopbackServer::readLine(int fd)
{
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return line;
        line += c;
        if (c == '\n')
            return line;
    }
}

void LoopbackServer::drain(int fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
    }
}

void LoopbackServer::resetOnClose(int fd)
{
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

quint16 LoopbackServer::closedPort()
{
    quint16 port = 0;
    const int fd = listenOnLoopback(1, &port);
    if (fd >= 0)
        ::close(fd);
    return port;
}
