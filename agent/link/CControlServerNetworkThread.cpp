#include "CControlServerNetworkThread.h"
#include "CControlServerNetworkServer.h"

namespace {
constexpr int kEndPollMs = 100;
constexpr int kTerminateWaitMs = 500;
}

CControlServerNetworkThread::CControlServerNetworkThread(CControlServer* owner, int port)
    : CNetMonSysLight(nullptr, QStringLiteral("control server thread"))
    , m_owner(owner)
    , m_port(port)
{
}

bool CControlServerNetworkThread::init()
{
    m_server.store(new CControlServerNetworkServer(m_owner, m_port));
    // No client is served before every component has initialised.
    m_start.acquire();
    return m_server.load() != nullptr;
}

bool CControlServerNetworkThread::runStep()
{
    // exit() called before exec() still ends it at once; the flag covers the stop that came
    // while init was waiting.
    if (!isStopping())
        exec();
    return false;
}

void CControlServerNetworkThread::shutdown()
{
    if (CControlServerNetworkServer* server = m_server.exchange(nullptr)) {
        server->shutdown();
        delete server;
    }
    m_end.release();
}

void CControlServerNetworkThread::onStop()
{
    // A start-up cut short never opens the start semaphore; the loop must not wait for it.
    m_start.release();
    exit(0);
    // The end semaphore comes from this thread's shutdown; a thread that is not running
    // (never started, or gone) gives none.
    while (!m_end.tryAcquire(1, kEndPollMs)) {
        if (!isRunning())
            return;
    }
}

void CControlServerNetworkThread::onTerminate()
{
    m_start.release();
    exit(0);
    m_end.tryAcquire(1, kTerminateWaitMs);
}
