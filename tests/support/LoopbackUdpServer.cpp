#include "LoopbackUdpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

LoopbackUdpServer::LoopbackUdpServer(Script script)
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0
        || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_port = ntohs(sa.sin_port);
    m_thread = std::thread([this, script] {
        std::vector<char> buffer(65536);
        for (;;) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0)
                return;
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (n < 0)
                continue;
            const int index = m_received.fetch_add(1);
            if (!script)
                continue;
            const std::string answer = script(std::string(buffer.data(), static_cast<size_t>(n)), index);
            if (!answer.empty())
                ::sendto(m_fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
        }
    });
}

LoopbackUdpServer::~LoopbackUdpServer()
{
    if (m_thread.joinable()) {
        const char stop = 1;
        (void)!::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_fd, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}
