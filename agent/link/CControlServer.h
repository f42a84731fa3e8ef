#pragma once
#include "common/NotificationBase.h"
#include "common/NotificationParser.h"
#include "core/CNetMonSysHeavy.h"
#include "core/ProtectedQueueObject.h"

#include <QList>
#include <QMutex>
#include <QWaitCondition>

class CControlServerNetworkThread;
class CScheduleClock;

// The local control port's server (name "control server", bit 2). Notifications read by the
// network thread arrive on the incoming queue and are answered on this component's thread:
// echo (1 -> 2), link status request (10001 -> the agent manager answers 10002).
// Threads: the incoming queue is guarded by m_inMutex/m_inCond; m_netMutex guards the
// network-thread pointer, so sendNotification (any thread) never meets a network side that
// is being torn down. Lock order: m_netMutex, then the network server's queue mutex.
// Owns the network thread and deletes it once it has finished.
class CControlServer : public CNetMonSysHeavy, public NotificationParser
{
    Q_OBJECT
public:
    static constexpr int kPortFromSettings = -1;
    static constexpr int kDefaultPort = 3456;

    // port: kPortFromSettings for "AgentControlServer/Port", 0 for any free port.
    CControlServer(QObject* parent, const QString& name, int subsystemBit, int port = kPortFromSettings);
    ~CControlServer() override;

    // "AgentControlServer/Port" of the agent settings file, kDefaultPort without the key.
    static int configuredPort();

    // Any thread: queues the notification for the client; dropped when the network side is
    // not (or no longer) there.
    void sendNotification(const NotificationPtr& notification);
    // Network thread: a notification read from the client.
    void postIncoming(const NotificationPtr& notification);
    // The port the network side listens on; 0 before it listens or when listening failed.
    quint16 serverPort() const;
    // The clock the network side ages waiting notifications by; the raw monotonic clock unless
    // set (tests). Set before start; it must outlive the component.
    void setClock(const CScheduleClock* clock) { m_clock = clock; }
    const CScheduleClock* clock() const { return m_clock; }

    void handleFixedSize(const NotificationFixedSize& notification) override;
    void handleIntStr(const NotificationIntStr& notification) override;

protected:
    bool init() override;
    bool runStep() override;
    void shutdown() override;
    void onStop() override;
    void onTerminate() override;
    void postInit() override;

private:
    // Takes the network thread out of reach of sendNotification; the caller then owns it.
    CControlServerNetworkThread* takeNetworkThread();

    // Incoming queue.
    bool m_inStop = false;
    bool m_inRunning = false;
    bool m_inAccepting = true;
    QList<NotificationPtr> m_incoming;
    QMutex m_inMutex;
    QWaitCondition m_inCond;
    ProtectedQueueObject m_inNotifier;

    mutable QMutex m_netMutex;
    CControlServerNetworkThread* m_networkThread = nullptr;
    bool m_networkStarted = false;
    const CScheduleClock* m_clock = nullptr;
};
