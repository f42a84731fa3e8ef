#pragma once
// A scripted UDP peer on 127.0.0.1 for datagram tests: binds a free port and, on its own
// thread, hands every datagram to the script with its number (0 for the first); a non-empty
// answer goes back to the sender, an empty one drops the datagram. With no script it is a sink.
// The destructor wakes the thread through a pipe and joins it; received() may be read from
// any thread.

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

class LoopbackUdpServer
{
public:
    using Script = std::function<std::string(const std::string& datagram, int index)>;

    explicit LoopbackUdpServer(Script script = Script());
    ~LoopbackUdpServer();
    LoopbackUdpServer(const LoopbackUdpServer&) = delete;
    LoopbackUdpServer& operator=(const LoopbackUdpServer&) = delete;

    quint16 port() const { return m_port; }
    bool ok() const { return m_fd >= 0; }
    int received() const { return m_received.load(); }

private:
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<int> m_received{0};
    std::thread m_thread;
};
