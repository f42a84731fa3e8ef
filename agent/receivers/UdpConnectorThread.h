#pragma once
#include "BaseUdpConnectorThread.h"
#include "UdpDataReceiverChangePortEvent.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <atomic>

// The thread a network server and its receiver live in: init builds the server (which opens
// the port) and then waits at the start gate until the manager's post-init opens it; the
// event loop then delivers the socket's activity; shutdown destroys the server.
//
// Requires of Server: a constructor (manager QObject*, port int) that opens the port.
// Threads: constructed, started, stopped on the manager's side; init, the loop and shutdown
// run here. changePort may come from any thread: the port is atomic, and m_serverMutex keeps
// the server alive while an event is posted to it.
// Ownership: the server belongs to this thread and is deleted in shutdown; the manager is
// the thread object's QObject parent.
template <class Server>
class UdpConnectorThread : public BaseUdpConnectorThread
{
public:
    UdpConnectorThread(QObject* manager, int port) : BaseUdpConnectorThread(manager), m_manager(manager), m_port(port) {}

    void releaseStart() { m_start.release(); }

    // Stores the port; a running server reopens its receiver there on its own thread.
    void changePort(int port)
    {
        m_port.store(port);
        QMutexLocker locker(&m_serverMutex);
        if (m_server)
            QCoreApplication::postEvent(m_server, new UdpDataReceiverChangePortEvent(port));
    }
    int port() const { return m_port.load(); }

protected:
    bool init() override
    {
        const int port = m_port.load();
        auto* server = new Server(m_manager, port);
        {
            QMutexLocker locker(&m_serverMutex);
            m_server = server;
            // A change that came while the server was being built found no server to tell.
            const int now = m_port.load();
            if (now != port)
                QCoreApplication::postEvent(server, new UdpDataReceiverChangePortEvent(now));
        }
        m_start.acquire();
        return true;
    }
    bool runStep() override
    {
        // An exit() that came before exec() still ends it at once.
        if (!isStopping())
            exec();
        return false;
    }
    void shutdown() override
    {
        Server* server = nullptr;
        {
            QMutexLocker locker(&m_serverMutex);
            server = m_server;
            m_server = nullptr;
        }
        delete server;
        m_end.release();
    }
    void onStop() override
    {
        // A start cut short never opens the gate; the thread must not wait for it.
        m_start.release();
        exit(0);
        // Returns once shutdown has destroyed the server, or at once for a thread that is
        // not running.
        while (!m_end.tryAcquire(1, 100)) {
            if (!isRunning())
                return;
        }
    }
    void onTerminate() override
    {
        m_start.release();
        exit(0);
        m_end.tryAcquire(1, 500);
    }

private:
    QObject* const m_manager;
    std::atomic<int> m_port;
    QMutex m_serverMutex;
    Server* m_server = nullptr;
    QSemaphore m_start{0};
    QSemaphore m_end{0};
};
