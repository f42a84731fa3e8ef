#pragma once

#include "CAgentMessage.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class CUpgradeTimer;

// Upgrades over the link: stores and starts a package (type 15), answers with a status
// (type 16), and keeps the agent "upgrading" until the package replaces it or the timer ends.
// The state and the timer belong to the agent, not to a session, so an upgrade whose session
// has ended still times out.
// Threads: handleUpgrade and isUpgrading from any thread (a session's); the timer lives on
// the thread that owns this object (the agent manager's), which runs an event loop.
// m_state is the only shared field (atomic). Ownership: owns the timer; the sink is called on
// the owner's thread and must outlive this object.
class CAgentUpgrade : public QObject
{
    Q_OBJECT
public:
    using MessageSink = std::function<void(const CAgentMessagePtr&)>;
    static constexpr int kUpgradeTimeoutMs = 150000;

    // timeoutSink: where the "timeout" status goes (the current session, if any).
    explicit CAgentUpgrade(MessageSink timeoutSink, QObject* parent = nullptr);
    ~CAgentUpgrade() override;

    // Folder the package goes to; QDir::tempPath() unless set (tests).
    void setTempDir(const QString& folder);
    bool isUpgrading() const { return m_state.load() == Upgrading; }

    // The answer to send at once (CAgentStatusMessage, id -1: 1 started, 2 and the error
    // text), or null when an upgrade is already running (logged, no answer).
    CAgentMessagePtr handleUpgrade(const QByteArray& package);
    // The package did not replace the agent in time: status 2 "timeout" through the sink.
    void onUpgradeTimerTimeout();
    // On the owner's thread, before it ends: no time-out follows.
    void stopTimer();

private:
    enum State { Idle = 0, Writing = 1, Upgrading = 2 };
    std::atomic<int> m_state{Idle};
    MessageSink m_timeoutSink;
    CUpgradeTimer* m_timer;
    QString m_tempDir;   // set before use
};
