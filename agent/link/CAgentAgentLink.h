#pragma once
#include "CAgentAgentLinkPtr.h"
#include "CAgentLink.h"
#include "CBusyTemplates.h"
#include "CLinkPoll.h"
#include "CSnmpRelayControl.h"
#include "engine/CMonitorEvent.h"

#include <QElapsedTimer>
#include <QMap>
#include <atomic>
#include <memory>

class CAgentAgentManager;
class ILinkEngine;
class QTimer;

// One session of the agent with the central service over one connection: identifies the
// agent when the connection comes up, watches the peer with pings and time-outs, handles
// every received message and sends poll results, monitor events and capabilities back.
// Threads: runs on its own worker thread; the session state (timers, times, counts, flags,
// open transactions) is used there only. Exceptions: the busy templates (their own lock),
// the reconnect flag (manager thread only), the extended-capabilities flag (atomic, read by
// the manager). Ownership: the agent manager and the engine are not owned; open transactions
// are shared with the engine's tasks.
class CAgentAgentLink : public CAgentLink
{
    Q_OBJECT
public:
    // Session timing as specified; every value goes through zam::scaledMs.
    static constexpr int kPingCheckMs = 5000;
    static constexpr int kSilenceMs = 60000;
    static constexpr int kFirstMessageMs = 180000;
    static constexpr int kReconnectMs = 60000;
    static constexpr int kMaxUnansweredPings = 3;

    CAgentAgentLink(CAgentAgentManager* manager, int linkId);
    ~CAgentAgentLink() override;

    int linkId() const { return m_linkId; }
    int agentId() const { return m_agentId; }
    void setAgentId(int agentId) { m_agentId = agentId; }
    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }
    // Before start: a reason stored without logging (a refused passive session).
    void presetDisconnectReason(const QString& reason) { setDisconnectReason(reason, false); }
    bool extendedCapsEnabled() const { return m_extendedCaps.load(); }
    CBusyTemplates& busyTemplates() { return m_busyTemplates; }

    // Any thread: queue work onto this session.
    void postPollResult(const CLinkPollPtr& poll);
    void postMonitorEvent(int monitorId, const CMonitorEventPtr& event);
    void postExtendedCaps(int requestId);
    void disconnectAgent();
    // Manager thread: one reconnect per session.
    void scheduleReconnect();

    using CAgentWorkerThread::handleTask;
    void handleTask(SSendPollResultTask, const CLinkPollPtr& poll);
    void handleTask(SSendMonitorEventTask, int monitorId, const CMonitorEventPtr& event);
    void handleTask(SSendExtendedCapsTask, int requestId);

protected:
    void onLinkConnected() override;
    void onLinkClosed() override;
    void onLinkError(const QString& error) override;
    void createTimers() override;
    void destroyTimers() override;
    void processMessage(const CAgentMessagePtr& message) override;
    void checkPing() override;

private:
    qint64 nowMs() const { return m_clock.elapsed(); }
    ILinkEngine& engine() const;
    void reportDisconnected(const QString& reason);
    void answerPoll(int transactionId, const SPollOutcome& outcome);
    void handlePoll(const CAgentMessagePtr& message);
    void handleAbort(int transactionId);
    void handleLimits(const CAgentMessagePtr& message);
    void handleSetMode(const CAgentMessagePtr& message);
    void handleSubscription(const CAgentMessagePtr& message);
    void handleAttachments(const CAgentMessagePtr& message);
    void handleUpgrade(const CAgentMessagePtr& message);
    void handleRelay(const CAgentMessagePtr& message);

    CAgentAgentManager* const m_manager;
    const int m_linkId;
    int m_agentId = 0;
    bool m_active = false;
    QMap<int, CLinkPollPtr> m_transactions;   // open polls of this session by transaction id
    CBusyTemplates m_busyTemplates;
    QElapsedTimer m_clock;                    // monotonic
    bool m_messageReceived = false;
    qint64 m_lastReceivedMs = 0;
    qint64 m_connectedMs = 0;
    int m_unansweredPings = 0;
    QTimer* m_pingTimer = nullptr;
    std::unique_ptr<CSnmpRelayControl> m_relay;   // the session's SNMP relay; link thread only
    bool m_reconnectRequested = false;
    bool m_disconnectReported = false;
    std::atomic<bool> m_extendedCaps{false};
};
