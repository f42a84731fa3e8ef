#pragma once
#include "engine/CBoundedLookup.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Resolves relay peer names away from the session's thread, so that a resolver that hangs
// never holds up the session's dispatch and pings. One lookup runs at a time on a thread of
// this object, bounded by CBoundedLookup; a newer request replaces one still waiting to start.
// The answer is delivered through the owner thread's event loop.
// Threads: lookup() and the destructor on the owner thread (the one that made the object);
// the answer callback runs there too. The lookup thread only runs lookups and posts answers.
// Ownership: owns its thread; the destructor abandons a hung lookup and joins the thread, and
// no answer is delivered after it.
class CRelayPeerLookup
{
public:
    static constexpr int kDefaultTimeoutMs = 5000;
    // ticket: the one lookup() returned; address null when the name did not resolve in time.
    using AnswerFn = std::function<void(quint64 ticket, const QHostAddress& address, const QString& error)>;

    explicit CRelayPeerLookup(AnswerFn answer, int timeoutMs = kDefaultTimeoutMs);
    ~CRelayPeerLookup();
    CRelayPeerLookup(const CRelayPeerLookup&) = delete;
    CRelayPeerLookup& operator=(const CRelayPeerLookup&) = delete;

    // Starts (or queues) the lookup of host; the answer names the returned ticket.
    quint64 lookup(const QString& host);

private:
    void serve();
    void resolveOne(quint64 ticket, const QString& host);

    AnswerFn m_answer;
    const int m_timeoutMs;
    QObject m_receiver;   // owner thread; answers are posted to it
    CBoundedLookup m_lookup{4};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_pendingHost;       // guarded by m_mutex
    quint64 m_pendingTicket = 0; // 0: nothing waiting
    quint64 m_lastTicket = 0;    // owner thread
    bool m_stop = false;
    std::thread m_thread;        // started with the first lookup
};
