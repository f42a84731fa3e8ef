#pragma once
#include "common/NotificationBase.h"
#include "core/ProtectedQueueObject.h"

#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

#include <atomic>
#include <deque>

class CControlServer;
class CScheduleClock;
class QTcpServer;
class QTcpSocket;

// Network side of the control server (name "control server network"): the listener on the
// loopback address, the one client socket and the outgoing queue with its pending list.
// Threads: built, used and deleted on the network thread; only postResponse and
// listeningPort are called from other threads. The outgoing queue is guarded by m_outMutex;
// its newItem() reaches checkResponseQueue() queued. The owner outlives this object.
class CControlServerNetworkServer : public QObject
{
    Q_OBJECT
public:
    // port < 0: "AgentControlServer/Port" of the agent settings file; 0: any free port.
    // Without an owner, what the client sends is read and dropped.
    CControlServerNetworkServer(CControlServer* owner, int port);
    ~CControlServerNetworkServer() override;

    // Any thread: queues a notification for the client, only while the queue accepts.
    void postResponse(const NotificationPtr& notification);
    // The port listened on; 0 when listening failed.
    quint16 listeningPort() const { return m_listeningPort.load(); }
    // Network thread, after its event loop has ended.
    void shutdown();

    // How long a notification waits for a client once more than kPendingFloor are pending.
    static constexpr int kPendingLifetimeMs = 60000;
    static constexpr int kPendingFloor = 1000;
    // Reading from the client pauses while this much of its answers is still unsent, so a
    // client that writes without reading cannot grow the daemon's buffers without end.
    static constexpr qint64 kMaxUnsentBytes = 256 * 1024;

public slots:
    void acceptConnection();
    void removeConnection();
    void haveData();
    void readAndHandleData(QTcpSocket* socket);
    void checkResponseQueue();
    void sendPendingMessages();
    void clientBytesWritten();

private:
    bool listenOn(const QHostAddress& address, int port);
    void enqueueOutgoing(const NotificationPtr& notification);
    void disconnectClient(QTcpSocket* socket);

    struct Pending
    {
        NotificationPtr notification;
        qint64 expiresAtMs;   // on m_clock
    };

    const QString m_name;
    CControlServer* const m_owner;
    const CScheduleClock* const m_clock;   // the owner's, or the raw monotonic clock
    QTcpServer* m_listener = nullptr;
    QTcpSocket* m_client = nullptr;
    std::atomic<quint16> m_listeningPort{0};

    // Outgoing queue.
    bool m_outStop = false;
    bool m_outRunning = true;
    bool m_outAccepting = true;
    QList<NotificationPtr> m_outgoing;
    QMutex m_outMutex;
    QWaitCondition m_outCond;
    ProtectedQueueObject m_outNotifier;

    std::deque<Pending> m_pending;   // network thread only, oldest first
    qint64 m_lastFlushMs = 0;
    bool m_readPaused = false;   // network thread only
};
