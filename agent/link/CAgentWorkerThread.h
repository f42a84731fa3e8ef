#pragma once
#include "CAcceptedConnectionInfo.h"
#include "CAgentMessage.h"
#include "common/IAgentConnectionEvent.h"
#include "common/SAgentConnectionSettings.h"
#include "core/TaskAliases.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThread>
#include <memory>

class CAgentConnection;
class CAgentWorkerThreadSlots;

// The thread of one session with the service. It owns the session's connection, cuts the
// received bytes into frames, decodes them and hands each message to processMessage.
// Threads: everything that touches the connection (sending included) runs on this thread;
// other threads reach it only through enqueueTask (the "<AWT>" queue, its own mutex). The
// receive buffer, the connection, the timers and the flags are used on this thread only;
// the peer address and the disconnect reason are also read by the agent manager after the
// thread has finished (m_infoMutex). The thread object itself lives on its creator's thread.
// Ownership: owns the connection (made in run, deleted at its end) and the slot object.
class CAgentWorkerThread : public QThread, public IAgentConnectionEvent
{
    Q_OBJECT
public:
    using TaskPtr = BasicTaskPtr<CAgentWorkerThread>;
    // How long a started close may take before the session ends without it.
    static constexpr int kCloseWaitMs = 5000;

    explicit CAgentWorkerThread(QObject* parent = nullptr);
    ~CAgentWorkerThread() override;

    // Before start: an outgoing session (active) or an accepted one (passive).
    void setConnectionSettings(const SAgentConnectionSettings& settings);
    void setAcceptedConnection(const CAcceptedConnectionInfoPtr& info);

    // Any thread. False when the queue no longer accepts (the task is dropped).
    bool enqueueTask(const TaskPtr& task);
    void postSendMessage(const CAgentMessagePtr& message);
    void postDisconnect(const QString& reason);

    // Link thread.
    void sendMessageNow(const CAgentMessagePtr& message);
    // Stores the first non-empty reason; logs "disconnecting: %1" when asked and it is new.
    void setDisconnectReason(const QString& text, bool log);
    void startDisconnect(const QString& text);
    void runNextTask();
    void stopTaskQueue();

    void handleTask(SSendAgentMessageTask, const CAgentMessagePtr& message) { sendMessageNow(message); }
    void handleTask(StartDisconnectProcessTask, const QString& reason) { startDisconnect(reason); }

    QString peerAddressText() const;
    QString disconnectReason() const;
    bool wideValues() const { return m_wideValues; }

protected:
    void run() override;

    void connectionEstablished() override { onLinkConnected(); }
    void connectionClosed() override { onLinkClosed(); }
    void dataArrived(const char* data, unsigned int count) override { onLinkData(data, count); }
    void connectionError(const QString& error) override { onLinkError(error); }
    void connectionLog(const QString& text) override { onLinkLog(text); }

    virtual void onLinkConnected();
    virtual void onLinkClosed();
    virtual void onLinkData(const char* data, unsigned int count);
    virtual void onLinkError(const QString& error);
    virtual void onLinkLog(const QString& text);
    virtual QString linkName() const { return QString(); }
    virtual void createTimers() {}
    virtual void destroyTimers() {}
    virtual bool canSend() const { return true; }
    virtual void processMessage(const CAgentMessagePtr& message) = 0;
    virtual void checkPing() {}

    // Cuts and handles one frame from the front of the receive buffer; true when it did.
    bool readFrame();
    void markConnected();
    bool isConnected() const { return m_connected; }
    void setConnected(bool connected) { m_connected = connected; }
    void setWideValues(bool wide) { m_wideValues = wide; }
    bool hasConnection() const { return m_connection != nullptr; }
    CAgentWorkerThreadSlots* slotObject() const { return m_slots; }
    ProtectedQueue<TaskPtr>* taskQueue() { return &m_queue; }
    // 0 TCP, 1 TLS: of the connection, else of the settings it is made from.
    int connectionTransport() const;
    // Whether the socket is still there and not unconnected (not the connected flag).
    bool socketIsUp() const;
    void logLine(const QString& text) const;

    friend class CAgentWorkerThreadSlots;

private:
    void stopReading(const QString& error);

    ProtectedQueue<TaskPtr> m_queue{QStringLiteral("AWT")};
    CAgentWorkerThreadSlots* m_slots = nullptr;
    std::unique_ptr<SAgentConnectionSettings> m_settings;
    CAcceptedConnectionInfoPtr m_accepted;
    CAgentConnection* m_connection = nullptr;
    QByteArray m_buffer;
    int m_readPos = 0;          // bytes at the front of m_buffer already handled
    bool m_readFailed = false;  // a framing error ends reading for good
    bool m_connected = false;
    bool m_closeWatchArmed = false;
    bool m_wideValues = false;
    mutable QMutex m_infoMutex;
    QString m_peerAddress = QStringLiteral("undefined");
    QString m_disconnectReason;
};
