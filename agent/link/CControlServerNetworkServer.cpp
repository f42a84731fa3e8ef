#include "CControlServerNetworkServer.h"
#include "CControlServer.h"

#include "common/TestTimeScale.h"
#include "common/WebUtils.h"
#include "core/CNetworkMonitor.h"
#include "engine/CScheduleClock.h"

#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <exception>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kFlushIntervalMs = 999;
constexpr int kDisconnectWaitMs = 5000;

// Raw monotonic milliseconds: neither wall-clock changes nor clock slewing move it.
class RawMonotonicClock : public CScheduleClock
{
public:
    qint64 monotonicMs() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
        return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    }
};

const CScheduleClock* rawMonotonicClock()
{
    static const RawMonotonicClock clock;
    return &clock;
}

}

CControlServerNetworkServer::CControlServerNetworkServer(CControlServer* owner, int port)
    : m_name(QStringLiteral("control server network"))
    , m_owner(owner)
    , m_clock(owner && owner->clock() ? owner->clock() : rawMonotonicClock())
    , m_outNotifier(QStringLiteral("CSNT"))
{
    setObjectName(m_name);
    m_outNotifier.setNotify(true);
    m_listener = new QTcpServer(this);

    const bool fromSettings = port < 0;
    if (fromSettings)
        port = CControlServer::configuredPort();
    QString error;
    if (port != 0 && !WebUtils::checkServerPort(QHostAddress(QHostAddress::LocalHost), port, error))
        qWarning("control server: port %d already in use", port);

    // A configured port of 0 would listen where no client looks.
    const bool usable = !(fromSettings && port == 0);
    if (usable && listenOn(QHostAddress(QHostAddress::LocalHost), port)) {
        m_listeningPort.store(m_listener->serverPort());
        connect(m_listener, &QTcpServer::newConnection, this, &CControlServerNetworkServer::acceptConnection);
        connect(&m_outNotifier, &ProtectedQueueObject::newItem, this,
                &CControlServerNetworkServer::checkResponseQueue, Qt::QueuedConnection);
        return;
    }
    if (!usable)
        qWarning("can not bind socket to port");
    m_listener->close();
    {
        // Nothing would ever take them.
        QMutexLocker locker(&m_outMutex);
        m_outAccepting = false;
    }
    reportFatalError(QStringLiteral("%1: cannot listen for connections").arg(m_name));
}

CControlServerNetworkServer::~CControlServerNetworkServer() = default;

// Only the manager on this host is a client, so the port is bound to the loopback address.
bool CControlServerNetworkServer::listenOn(const QHostAddress& address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        qWarning("can not create socket");
        return false;
    }
    const int one = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0)
        qWarning("can not reuse socket");
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(quint16(port));
    sa.sin_addr.s_addr = htonl(address.toIPv4Address());
    if (port < 0 || port > 65535 || ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        qWarning("can not bind socket to port");
        ::close(fd);
        return false;
    }
    if (::listen(fd, 128) != 0) {
        qWarning("can not listen on port");
        ::close(fd);
        return false;
    }
    if (!m_listener->setSocketDescriptor(fd)) {
        qWarning("can not use socket descriptor");
        ::close(fd);
        return false;
    }
    return true;
}

void CControlServerNetworkServer::postResponse(const NotificationPtr& notification)
{
    if (!notification)
        return;
    if (NotificationBase::frameBytes(*notification).isEmpty()) {
        // It could never be written; kept pending it would block every later one.
        qWarning("%s: notification too long, dropped: %s", qPrintable(m_name),
                 qPrintable(notification->toString()));
        return;
    }
    {
        QMutexLocker locker(&m_outMutex);
        if (!m_outAccepting)
            return;
        m_outgoing.append(notification);
        m_outCond.wakeAll();
    }
    m_outNotifier.notifyNewItem();
}

void CControlServerNetworkServer::acceptConnection()
{
    QTcpSocket* socket = m_listener->nextPendingConnection();
    if (!socket) {
        qWarning("%s: cannot get connection", qPrintable(m_name));
        return;
    }
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater, Qt::QueuedConnection);
    connect(socket, &QAbstractSocket::disconnected, this, &CControlServerNetworkServer::removeConnection);
    connect(socket, &QIODevice::readyRead, this, &CControlServerNetworkServer::haveData);
    if (m_client) {
        qWarning("%s: duplicate client connection, disconnect", qPrintable(m_name));
        disconnectClient(socket);
        return;
    }
    m_client = socket;
    m_readPaused = false;
    // Room for the largest frame; beyond it the kernel holds the client back.
    socket->setReadBufferSize(2 * (NotificationBase::kHeaderSize + NotificationBase::kMaxPayload));
    connect(socket, &QIODevice::bytesWritten, this, &CControlServerNetworkServer::clientBytesWritten);
    if (socket->bytesAvailable() > 0)
        readAndHandleData(socket);
}

void CControlServerNetworkServer::removeConnection()
{
    if (sender() && sender() == m_client) {
        m_client = nullptr;
        m_readPaused = false;
    }
}

void CControlServerNetworkServer::haveData()
{
    if (auto* socket = qobject_cast<QTcpSocket*>(sender()))
        readAndHandleData(socket);
}

void CControlServerNetworkServer::readAndHandleData(QTcpSocket* socket)
{
    for (;;) {
        if (socket == m_client && socket->bytesToWrite() > kMaxUnsentBytes) {
            m_readPaused = true;   // resumed by clientBytesWritten
            return;
        }
        bool error = false;
        bool skipped = false;
        const NotificationPtr notification = NotificationBase::readFrom(socket, error, &skipped);
        if (error) {
            qWarning("%s: cannot read from socket", qPrintable(m_name));
            disconnectClient(socket);
            return;
        }
        if (notification) {
            if (m_owner)
                m_owner->postIncoming(notification);
        }
        else if (!skipped)
            return;   // the rest of a frame is still on its way
    }
}

void CControlServerNetworkServer::clientBytesWritten()
{
    if (m_readPaused && m_client && sender() == m_client && m_client->bytesToWrite() <= kMaxUnsentBytes / 2) {
        m_readPaused = false;
        readAndHandleData(m_client);
    }
}

void CControlServerNetworkServer::checkResponseQueue()
{
    for (;;) {
        NotificationPtr notification;
        {
            QMutexLocker locker(&m_outMutex);
            if (!m_outRunning || m_outgoing.isEmpty())
                return;
            notification = m_outgoing.takeFirst();
        }
        enqueueOutgoing(notification);
    }
}

void CControlServerNetworkServer::enqueueOutgoing(const NotificationPtr& notification)
{
    m_pending.push_back({notification, m_clock->monotonicMs() + zam::scaledMs(kPendingLifetimeMs)});
    sendPendingMessages();
    // Beyond the floor, entries that waited their lifetime for a client are given up.
    const qint64 now = m_clock->monotonicMs();
    while (m_pending.size() > size_t(kPendingFloor) && m_pending.front().expiresAtMs < now)
        m_pending.pop_front();
}

void CControlServerNetworkServer::sendPendingMessages()
{
    if (!m_client)
        return;
    while (!m_pending.empty()) {
        if (!NotificationBase::writeTo(m_pending.front().notification, m_client)) {
            qWarning("%s: cannot write to client", qPrintable(m_name));
            disconnectClient(m_client);
            return;
        }
        m_pending.pop_front();
    }
    const qint64 now = m_clock->monotonicMs();
    if (now - m_lastFlushMs > kFlushIntervalMs) {
        m_client->flush();
        m_lastFlushMs = now;
    }
}

void CControlServerNetworkServer::disconnectClient(QTcpSocket* socket)
{
    if (!socket)
        return;
    disconnect(socket, &QAbstractSocket::disconnected, this, &CControlServerNetworkServer::removeConnection);
    disconnect(socket, &QIODevice::readyRead, this, &CControlServerNetworkServer::haveData);
    disconnect(socket, &QIODevice::bytesWritten, this, &CControlServerNetworkServer::clientBytesWritten);
    try {
        if (socket->state() == QAbstractSocket::ConnectedState) {
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->waitForDisconnected(kDisconnectWaitMs);
        }
    } catch (const std::exception&) {
        qWarning("got exception while disconnecting client");
    }
    if (socket == m_client)
        m_client = nullptr;
    // Also when "disconnected" never comes (a socket that was closed already).
    socket->deleteLater();
}

void CControlServerNetworkServer::shutdown()
{
    disconnect(m_listener, &QTcpServer::newConnection, this, &CControlServerNetworkServer::acceptConnection);
    disconnect(&m_outNotifier, &ProtectedQueueObject::newItem, this,
               &CControlServerNetworkServer::checkResponseQueue);
    // What was posted before the stop still goes out.
    checkResponseQueue();
    sendPendingMessages();
    {
        QMutexLocker locker(&m_outMutex);
        m_outRunning = false;
        m_outAccepting = false;
        m_outgoing.clear();
        m_outCond.wakeAll();
    }
    disconnectClient(m_client);
    m_listener->close();
    delete m_listener;
    m_listener = nullptr;
    m_listeningPort.store(0);
}
