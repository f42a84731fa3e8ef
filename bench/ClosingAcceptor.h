#pragma once
// A loopback listener whose thread accepts every connection and hands it to serve, which
// closes it; by default it closes it at once: a TCP check's own cost without a web server's
// limits. Listens from construction; the destructor shuts the socket down and joins the thread.
#include <arpa/inet.h>
#include <cerrno>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class ClosingAcceptor
{
public:
    explicit ClosingAcceptor(std::function<void(int connection)> serve = [](int c) { ::close(c); })
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(m_fd, 4096);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
        m_port = ntohs(sa.sin_port);
        m_thread = std::thread([this, serve] {
            for (;;) {
                const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0)
                    serve(c);
                else if (errno != EINTR && errno != ECONNABORTED)
                    return;
            }
        });
    }
    ~ClosingAcceptor()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    ClosingAcceptor(const ClosingAcceptor&) = delete;
    ClosingAcceptor& operator=(const ClosingAcceptor&) = delete;

    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
};
