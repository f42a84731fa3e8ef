#include "CControlServer.h"
#include "CAgentAgentManager.h"
#include "CControlServerNetworkServer.h"
#include "CControlServerNetworkThread.h"

#include "common/AgentSettings.h"
#include "common/NotificationFixedSize.h"
#include "common/NotificationIntStr.h"
#include "core/CNetworkMonitor.h"

#include <QMutexLocker>
#include <exception>

namespace {
constexpr unsigned long kNetworkThreadJoinMs = 5000;
}

CControlServer::CControlServer(QObject* parent, const QString& name, int subsystemBit, int port)
    : CNetMonSysHeavy(parent, name, subsystemBit)
    , m_inNotifier(QStringLiteral("CS"))
{
    m_networkThread = new CControlServerNetworkThread(this, port);
}

CControlServer::~CControlServer()
{
    // Normally gone with shutdown; here only when the component thread never got that far.
    if (CControlServerNetworkThread* thread = takeNetworkThread()) {
        if (thread->isRunning()) {
            thread->stop();
            thread->wait(kNetworkThreadJoinMs);
        }
        if (!thread->isRunning())
            delete thread;
    }
}

int CControlServer::configuredPort()
{
    return readSettingPort(QStringLiteral("AgentControlServer/Port"), kDefaultPort);
}

CControlServerNetworkThread* CControlServer::takeNetworkThread()
{
    QMutexLocker locker(&m_netMutex);
    CControlServerNetworkThread* thread = m_networkThread;
    m_networkThread = nullptr;
    return thread;
}

bool CControlServer::init()
{
    QMutexLocker locker(&m_netMutex);
    if (!m_networkThread) {
        reportFatalError(QStringLiteral("%1: cannot start server").arg(name()));
        return false;
    }
    m_networkThread->start(QThread::InheritPriority);
    m_networkStarted = true;
    return true;
}

void CControlServer::postInit()
{
    {
        QMutexLocker locker(&m_netMutex);
        if (m_networkThread)
            m_networkThread->releaseStart();
    }
    QMutexLocker locker(&m_inMutex);
    if (!m_inStop) {
        m_inRunning = true;
        m_inAccepting = true;
    }
}

bool CControlServer::runStep()
{
    QMutexLocker locker(&m_inMutex);
    while (m_inRunning) {
        if (!m_incoming.isEmpty()) {
            const NotificationPtr notification = m_incoming.takeFirst();
            locker.unlock();
            notification->dispatchTo(*this);
            locker.relock();
            continue;
        }
        if (m_inStop)
            return false;
        m_inCond.wait(&m_inMutex);
    }
    return false;
}

void CControlServer::onStop()
{
    QMutexLocker locker(&m_inMutex);
    m_inStop = true;
    m_inCond.wakeAll();
    m_inAccepting = false;
    m_incoming.clear();
}

void CControlServer::shutdown()
{
    {
        QMutexLocker locker(&m_inMutex);
        m_inRunning = false;
        m_inCond.wakeAll();
    }
    bool started;
    {
        QMutexLocker locker(&m_netMutex);
        started = m_networkStarted;
    }
    CControlServerNetworkThread* thread = takeNetworkThread();
    if (!thread)
        return;
    if (started) {
        thread->stop();
        if (!thread->wait(kNetworkThreadJoinMs)) {
            qWarning("%s: network thread did not finish", qPrintable(name()));
            return;   // a running thread must not be deleted
        }
    }
    delete thread;
}

void CControlServer::onTerminate()
{
    if (CControlServerNetworkThread* thread = takeNetworkThread()) {
        thread->terminateThread();
        if (thread->isFinished())
            delete thread;
    }
}

void CControlServer::sendNotification(const NotificationPtr& notification)
{
    if (!notification)
        return;
    QMutexLocker locker(&m_netMutex);
    if (!m_networkThread)
        return;
    if (CControlServerNetworkServer* server = m_networkThread->networkServer())
        server->postResponse(notification);
}

void CControlServer::postIncoming(const NotificationPtr& notification)
{
    if (!notification)
        return;
    QMutexLocker locker(&m_inMutex);
    if (!m_inAccepting)
        return;
    m_incoming.append(notification);
    m_inCond.wakeAll();
}

quint16 CControlServer::serverPort() const
{
    QMutexLocker locker(&m_netMutex);
    if (!m_networkThread)
        return 0;
    CControlServerNetworkServer* server = m_networkThread->networkServer();
    return server ? server->listeningPort() : 0;
}

void CControlServer::handleFixedSize(const NotificationFixedSize& notification)
{
    switch (notification.code()) {
    case NotificationFixedSize::EchoRequest:
        sendNotification(NotificationPtr(new NotificationFixedSize(
            NotificationFixedSize::EchoReply, notification.value1(), notification.value2(), 0)));
        break;
    case NotificationFixedSize::EchoReply:
    case NotificationFixedSize::Reserved10003:
    case NotificationFixedSize::Reserved10004:
        break;
    case NotificationFixedSize::LinkStatusRequest:
        try {
            agentManager()->onLinkStatusRequest();
        } catch (const std::exception& e) {
            // Late in the shutdown the agent manager may be gone; the request stays unanswered.
            qWarning("%s: %s", qPrintable(name()), e.what());
        }
        break;
    default:
        qWarning("%s: unknown FS message type %d", qPrintable(name()), int(notification.code()));
        break;
    }
}

void CControlServer::handleIntStr(const NotificationIntStr& notification)
{
    qWarning("%s: unknown IS message type %d", qPrintable(name()), int(notification.code()));
}
