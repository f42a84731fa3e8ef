#pragma once
// A scripted TCP peer on 127.0.0.1 for socket tests: listens on a free port and, on its own
// thread, accepts one connection and runs the script on it. In the NoAccept mode it never
// accepts and fills its backlog, so that a further connect hangs unanswered (SYNs dropped).
// The script must not close the descriptor; the thread does after it. The destructor shuts
// the sockets down (which ends a blocked script) and joins the thread.

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class LoopbackServer
{
public:
    enum Mode { Accept, NoAccept };
    using Script = std::function<void(int fd)>;

    explicit LoopbackServer(Script script, Mode mode = Accept);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    quint16 port() const { return m_port; }
    bool ok() const { return m_listenFd >= 0; }

    // Helpers for scripts.
    static bool sendAll(int fd, const std::string& bytes);
    // Bytes up to and including "\n" (or what came before the peer closed).
    static std::string readLine(int fd);
    // Reads and drops everything until the peer closes.
    static void drain(int fd);
    // The close after the script ends sends a reset instead of a normal end.
    static void resetOnClose(int fd);
    // A free port on 127.0.0.1 with nothing listening (bound once, then closed).
    static quint16 closedPort();

private:
    int m_listenFd = -1;
    int m_fillerFd = -1;
    std::mutex m_peerMutex;
    int m_peerFd = -1;  // guarded by m_peerMutex
    quint16 m_port = 0;
    std::thread m_thread;
};
