#pragma once
#include "CAgentLinkEvent.h"
#include "IAgentLinkEventSink.h"
#include "core/ProtectedQueue.h"

#include <QThread>

class CAgentAgentManagerSlots;

// Base of the agent manager: a QThread (not a root component) that the super agent manager
// starts and stops. It serves a queue of link events ("<ALE>") from its own event loop.
// Threads: postLinkEvent from any thread (the queue has its own mutex); the events are
// handled on the manager thread, one per newItem. stopAndWait returns once run has ended,
// whichever way it ended.
class CAgentManager : public QThread, public IAgentLinkEventSink
{
    Q_OBJECT
public:
    CAgentManager(QObject* parent, const QString& name);
    ~CAgentManager() override;

    virtual void start();        // QThread::start at inherited priority
    virtual void stopAndWait();  // returns when the manager thread has left its run
    void postLinkEvent(const CAgentLinkEventPtr& event) override;

    // Manager thread: one queued event.
    void processLinkEvents();
    virtual void onStopped();
    virtual void onAgentLinkThreadFinished(QObject* link);

protected:
    void run() override;
    // Start of run, on the manager thread; false ends the run at once.
    virtual bool startRun() { return true; }
    // End of run, on the manager thread, after the event loop.
    virtual void endRun() {}
    // Event handlers by type; the base ignores them all.
    virtual void onAcceptedEvent(const CAgentLinkEventPtr&) {}
    virtual void onAuthenticatedEvent(const CAgentLinkEventPtr&) {}
    virtual void onServerErrorEvent(const CAgentLinkEventPtr&) {}
    virtual void onDisconnectedEvent(const CAgentLinkEventPtr&) {}
    virtual void onReconnectEvent(const CAgentLinkEventPtr&) {}
    CAgentAgentManagerSlots* slotObject() const { return m_slots; }
    bool isStopping() const { return m_queue.isStopping(); }

private:
    ProtectedQueue<CAgentLinkEventPtr> m_queue{QStringLiteral("ALE")};
    CAgentAgentManagerSlots* m_slots = nullptr;
};
