#pragma once
#include "CPendingConnectionSlot.h"
#include "IAgentConnectionEvent.h"
#include "SAgentConnectionSettings.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class QTcpSocket;

// One TCP or TLS byte stream between the agent and the service.
// Threads: belongs to the thread that created it; every call and slot runs there, no locks.
// Ownership: owns its socket; the event handler is not owned and is set before connect/accept.
// The first error is kept and reported once; close runs once; it never reconnects.
class CAgentConnection : public QObject
{
    Q_OBJECT
public:
    explicit CAgentConnection(QObject* parent = nullptr);
    ~CAgentConnection() override;

    void setEventHandler(IAgentConnectionEvent* handler) { m_handler = handler; }
    IAgentConnectionEvent* eventHandler() const { return m_handler; }
    QString errorString() const { return m_error; }
    const SAgentConnectionSettings& settings() const { return m_settings; }
    // A place in the accepting server's count of not yet established connections.
    void setPendingSlot(const CPendingConnectionSlotPtr& slot) { m_pendingSlot = slot; }
    // "[connection <this> from <thread>] <text>"
    void log(const QString& text) const;

    // Also true once the socket's descriptor has been closed under it (a peer's close being
    // reported): nothing may be written or closed through it any more.
    virtual bool isUnconnected() const;
    virtual void close();
    virtual void send(const char* data, unsigned int length);
    virtual void connectToPeer(const SAgentConnectionSettings& settings, const QString& preError);
    // socket: the QTcpSocket (TCP) or QSslSocket (TLS) made on an accepted descriptor; taken over.
    virtual void acceptPeer(QObject* socket, const SAgentConnectionSettings& settings, const QString& preError);
    virtual bool checkPeer(const QString& connectionId) const = 0;
    virtual bool isPlainTcp() const = 0;
    virtual bool isSsl() const = 0;
    virtual int transport() const { return m_settings.transport; }
    virtual QHostAddress peerAddress() const;

protected:
    bool descriptorGone() const;
    // The socket's error signal: its stream has ended, whatever its state still says.
    void markStreamFailed() { m_streamFailed = true; }

    virtual void doConnect(const SAgentConnectionSettings& settings, const QString& preError) = 0;
    virtual void doAccept(QObject* socket, const QString& preError) = 0;
    virtual QString closingText() const = 0;

    void setError(const QString& text);
    void releaseSocket();
    void releasePendingSlot() { m_pendingSlot.reset(); }

    QString m_error;
    IAgentConnectionEvent* m_handler = nullptr;
    SAgentConnectionSettings m_settings;
    QTcpSocket* m_socket = nullptr;
    bool m_closed = false;
    bool m_streamFailed = false;   // the socket reported an error: write nothing more
    qint64 m_lastFlushMs = 0;
    bool m_closeReported = false;   // connectionClosed goes out once
    bool m_destroying = false;      // in the destructor the socket is deleted at once

private:
    CPendingConnectionSlotPtr m_pendingSlot;
};

// Creates the connection of the settings' transport, sets the handler and connects. The
// connection is returned also when connecting failed at once (the handler has heard it).
CAgentConnection* createAgentConnection(const SAgentConnectionSettings& settings,
                                        IAgentConnectionEvent* handler, const QString& preError);
