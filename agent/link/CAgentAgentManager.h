#pragma once
#include "engine/IEngineOutput.h"
#include "CAgentAgentLinkPtr.h"
#include "CAgentManager.h"
#include "CAgentMessage.h"
#include "CLinkPoll.h"
#include "LinkLocalIdentity.h"
#include "common/SAgentConnectionSettings.h"
#include "common/TemplateAttachment.h"
#include "engine/CMonitorEvent.h"

#include <QDateTime>
#include <QExplicitlySharedDataPointer>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <memory>

class CAgentServer;
class CAgentUpgrade;
class CAcceptedConnectionInfo;
class ILinkEngine;
class QTimer;

// How the agent reaches the service: read from the agent settings file at the start of the
// run, or given before the start.
struct SAgentLinkConfig
{
    bool passive = false;
    SAgentConnectionSettings active;   // active mode: the service's endpoint
    SAgentConnectionSettings server;   // passive mode: the agent server's endpoint
    QString connectionId;
};

// The agent manager of the agent link (name "agent manager", bit 16): keeps the agent's one
// session with the service. Active mode opens sessions and reopens them after a drop;
// passive mode listens and turns accepted connections into sessions. At most one session
// is current; the others are refused with a reason. The single entry point through which
// the rest of the daemon reaches the service.
// Threads: link events are handled on the manager thread; the send operations are called
// from any thread. m_mutex guards the current, pending and closing links and the server;
// it is taken before a link's queue mutex, never the reverse. Ownership: owns the server
// and holds every session until its thread has finished; the engine is shared.
class CAgentAgentManager : public CAgentManager, public ILinkPollSink, public IEngineOutput
{
    Q_OBJECT
public:
    static constexpr int kAgentId = 1;
    // How long a stop waits for the sessions to send "agent was stopped" and close.
    static constexpr int kStopWaitMs = 2000;

    CAgentAgentManager(QObject* parent, const QString& name, int subsystemBit);
    ~CAgentAgentManager() override;

    int subsystemBit() const { return m_bit; }

    // Before start. Without an engine the link answers polls with a clear failure.
    void setEngine(std::shared_ptr<ILinkEngine> engine);
    // Before start: skip the settings file and use this configuration.
    void setConfiguration(const SAgentLinkConfig& config);
    ILinkEngine& engine() const { return *m_engine; }

    // Any thread.
    // Answers true when the result was not sent: its session is gone.
    bool sendPollResult(const CLinkPollPtr& poll) override;
    // A result known only by its transaction id cannot be matched to the session that asked
    // (ids repeat across sessions): it is dropped with a warning. Poll tasks report through
    // CLinkPoll::complete (see ILinkEngine).
    bool sendPollResult(int transactionId) override;
    void sendMonitorEvent(int monitorId, const CMonitorEventPtr& event) override;
    void sendExtendedCaps(int requestId) override;
    // Type 21 with header id = the request's header id (the link value; -1 for a background
    // lookup), version 1 and the service's reqId.
    void sendResolveResponse(int linkValue, int requestId, bool addressFlag, const QString& text,
                             const QString& result) override;
    // The answers of the attachment tasks (on their task threads), for the session that asked
    // (current or not yet current; dropped with a warning once it has ended): a check answers
    // with the missing files and frees the template when none is missing; a create answers
    // with the failed files and frees the template in any case.
    void onAttachmentsChecked(int linkId, int requestId, int templateId, const QList<STemplateAttachment>& missing);
    void onAttachmentsCreated(int linkId, int requestId, int templateId, const QList<STemplateAttachment>& failed);
    void requestReconnect() override;
    QString connectionId() const;
    // What sessions tell the service about this host; looked up once when the run starts,
    // so that no session waits for name lookups before it identifies itself.
    SLinkLocalIdentity localIdentity() const;
    bool isUpgrading() const;
    // A package from the service (any thread): the status answer to send at once, or null
    // when an upgrade is already running.
    CAgentMessagePtr handleUpgrade(const QByteArray& package);
    // An attachment request (30, 32, 34) from a session: carried out on the attachment
    // threads; check and create answers come back through onAttachmentsChecked/Created.
    void postAttachmentsRequest(int linkId, const CAgentMessagePtr& request);
    void setUpgrading(bool upgrading);
    // 1 while a session is current, else 0.
    int linkStatus() const { return hasCurrentLink() ? 1 : 0; }
    // For observers: the current session's link id (0 without one), the sessions held.
    int currentLinkId() const;
    int pendingLinkCount() const;
    int closingLinkCount() const;
    // Passive mode: the port the agent server listens on (0 when not listening).
    quint16 serverPort() const { return m_serverPort.load(); }

    // Manager thread: a new active session after the delay (one pending at a time).
    void scheduleReconnect(int agentId, int delayMs);

    void onStopped() override;
    void onAgentLinkThreadFinished(QObject* link) override;

    // Link status on the control port. Any thread.
    // Answers a status request (code 10001) with code 10002 through the control server.
    void onLinkStatusRequest();
    // Whether a link to the central service is current.
    bool hasCurrentLink() const;
    // Called where a link becomes current (true) and where the current link is dropped
    // (false); a change is pushed to the control port as code 10002.
    void setLinkStatus(bool linkExists);

protected:
    bool startRun() override;
    void endRun() override;
    void onAcceptedEvent(const CAgentLinkEventPtr& event) override;
    void onAuthenticatedEvent(const CAgentLinkEventPtr& event) override;
    void onServerErrorEvent(const CAgentLinkEventPtr& event) override;
    void onDisconnectedEvent(const CAgentLinkEventPtr& event) override;
    void onReconnectEvent(const CAgentLinkEventPtr& event) override;

protected:
    // Sends code 10002 with the current status; called with m_linkStatusMutex held.
    void broadcastLinkStatus();

private:
    bool readConfiguration();
    // The rest with m_mutex held.
    CAgentAgentLinkPtr openActiveLink();
    CAgentAgentLinkPtr createAcceptedLink(const QExplicitlySharedDataPointer<CAcceptedConnectionInfo>& info,
                                          const QString& reason);
    int nextLinkId();
    void registerLink(const CAgentAgentLinkPtr& link);
    void dropLink(CAgentAgentLinkPtr link, const QString& reason);   // by value: it may clear the caller's holder
    void stopAllLinks();
    void waitForClosingLinks();
    CAgentAgentLinkPtr linkById(int linkId) const;   // with the mutex held
    CAgentAgentLinkPtr attachmentAnswerLink(int linkId, int requestId) const;   // with the mutex held

    const int m_bit;
    std::shared_ptr<ILinkEngine> m_engine;
    std::unique_ptr<SAgentLinkConfig> m_givenConfig;
    SAgentLinkConfig m_config;
    SLinkLocalIdentity m_localIdentity;   // written before the first session exists
    const int m_agentId = kAgentId;
    QDateTime m_created;
    mutable QMutex m_mutex;
    QMap<int, CAgentAgentLinkPtr> m_pendingLinks;
    CAgentAgentLinkPtr m_currentLink;
    CAgentServer* m_server = nullptr;
    QMap<CAgentAgentLink*, CAgentAgentLinkPtr> m_closingLinks;
    int m_lastLinkId = 1;
    QString m_stopReason;
    QTimer* m_reconnectTimer = nullptr;
    std::atomic<bool> m_upgrading{false};
    CAgentUpgrade* m_upgrade = nullptr;   // lives on the manager thread; made in the constructor
    QThreadPool m_attachmentPool;         // attachment work, off the session threads
    std::atomic<quint16> m_serverPort{0};
    // Guards m_linkExists; held while the status goes to the control server, so pushes and
    // answers leave in the order of the changes.
    mutable QMutex m_linkStatusMutex;
    bool m_linkExists = false;
};
