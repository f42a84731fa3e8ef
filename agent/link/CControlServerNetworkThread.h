#pragma once
#include "core/CNetMonSysLight.h"

#include <QSemaphore>
#include <atomic>

class CControlServer;
class CControlServerNetworkServer;

// The control server's network thread ("control server thread"): builds the network server
// in its init, holds its event loop until the start semaphore opens (after every component
// has initialised), runs the loop, and deletes the network server after the loop.
// Threads: constructed, started, stopped and deleted by the control server; init, the loop
// and shutdown run here. m_server is set and cleared here and read from other threads.
class CControlServerNetworkThread : public CNetMonSysLight
{
    Q_OBJECT
public:
    CControlServerNetworkThread(CControlServer* owner, int port);

    CControlServerNetworkServer* networkServer() const { return m_server.load(); }
    // Lets the event loop start.
    void releaseStart() { m_start.release(); }
    void terminateThread() override { terminateNow(); }

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;

private:
    CControlServer* const m_owner;
    const int m_port;
    std::atomic<CControlServerNetworkServer*> m_server{nullptr};
    QSemaphore m_start{0};
    QSemaphore m_end{0};
};
