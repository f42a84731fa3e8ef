#pragma once
#include "IAgentLinkEventSink.h"
#include "common/CPendingConnectionSlot.h"
#include "common/SAgentConnectionSettings.h"

#include <QHostAddress>
#include <QObject>

class CReuseAddrTcpServer;

// Listens on one configured endpoint in passive mode and turns each accepted descriptor into
// an accepted link event for the agent manager; setup and listen failures become server-error
// events. Threads: the server, its listener and the accept hook live on the agent manager's
// thread (a Qt event loop); nothing here is locked. Ownership: owns the listener; the agent
// manager is not owned and is cleared by stop, after which nothing is posted.
class CAgentServer : public QObject
{
    Q_OBJECT
public:
    // Accepted connections that are not yet established; more are closed at once.
    static constexpr int DefaultMaxPendingConnections = 16;

    explicit CAgentServer(QObject* parent = nullptr);
    ~CAgentServer() override;

    virtual void listen(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings) = 0;
    virtual void stop();
    virtual void takeConnection(int descriptor) = 0;

    bool isListening() const { return m_listener != nullptr; }
    // The port actually listened on (useful with port 0); 0 when not listening.
    quint16 listeningPort() const;
    void setMaxPendingConnections(int count) { m_maxPending = count; }
    int pendingConnections() const { return m_pendingCount->loadAcquire(); }
    void log(const QString& text) const;

protected:
    // Shared listen steps; kind is "tcp" or "ssl".
    void startListening(const char* kind);
    void postServerError(const QString& text);
    void postLinkEvent(const CAgentLinkEventPtr& event);
    // A new place in the pending count, or null (descriptor closed, logged) when all are taken.
    CPendingConnectionSlotPtr admitConnection(int descriptor);

    IAgentLinkEventSink* m_manager = nullptr;
    SAgentConnectionSettings m_settings;
    CReuseAddrTcpServer* m_listener = nullptr;

private:
    QSharedPointer<QAtomicInt> m_pendingCount;
    int m_maxPending = DefaultMaxPendingConnections;
};

// Creates the server of the settings' transport and runs listen; the server is returned also
// when listening failed (the failure has been posted).
CAgentServer* createAgentServer(IAgentLinkEventSink* manager, const SAgentConnectionSettings& settings);
