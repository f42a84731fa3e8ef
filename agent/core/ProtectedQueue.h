#pragma once
#include "ProtectedQueueObject.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QWaitCondition>
#include <list>
#include <memory>

// The queue through which work reaches a component thread. Any thread pushes; exactly one
// consumer takes. Everything is guarded by the queue's own mutex; waiters are woken with
// wake-all. Its state is one of State: at construction it waits for its consumer (pushes are
// kept, nothing is taken), so items pushed before the owner starts wait in the queue.
template <class T>
class ProtectedQueue
{
public:
    enum TakeResult { Taken = 0, TimedOut = 2, Closed = 3 };
    // Whether the consumer serves crossed with how far the queue is from its end.
    enum class State {
        Waiting,           // not served (yet, or any more): pushes are kept, take answers Closed
        Serving,           // pushes are kept, take hands them out and waits for more
        StopAsked,         // stopped while not served: as Waiting; serving drains and closes
        Draining,          // stopped while served: take hands out what is queued, then Closed
        Discarded,         // for good, not served: pushes refused, nothing is kept
        DiscardedServing,  // for good while the consumer still serves: take answers Closed
    };

    // label "<shortName>"; the notifier's object name is shortName.
    explicit ProtectedQueue(const QString& shortName)
        : m_label(QStringLiteral("<%1>").arg(shortName))
        , m_notifier(new ProtectedQueueObject(shortName))
    {
    }
    ProtectedQueue(const ProtectedQueue&) = delete;
    ProtectedQueue& operator=(const ProtectedQueue&) = delete;

    QString label() const { return m_label; }
    ProtectedQueueObject* notifier() const { return m_notifier.get(); }

    // Appends (or puts ahead of the ordinary items, after earlier front pushes); false when
    // the queue no longer accepts and the item was dropped.
    bool push(const T& item, bool toFront = false)
    {
        {
            QMutexLocker locker(&m_mutex);
            if (!accepting(m_state))
                return false;
            if (toFront) {
                auto pos = m_items.begin();
                std::advance(pos, m_frontCount);
                m_items.insert(pos, item);
                ++m_frontCount;
            } else {
                m_items.push_back(item);
            }
            m_cond.wakeAll();
        }
        m_notifier->notifyNewItem();
        return true;
    }

    // Taken with the front item while serving and not empty; waits while serving, empty and
    // not stopping (timeoutMs < 0: no limit); Closed when not serving or empty and stopping.
    TakeResult take(T& out, int timeoutMs = -1)
    {
        QMutexLocker locker(&m_mutex);
        QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
        for (;;) {
            if (!serving(m_state))
                return Closed;
            if (!m_items.empty()) {
                out = m_items.front();
                m_items.pop_front();
                if (m_frontCount > 0)
                    --m_frontCount;
                return Taken;
            }
            if (stopping(m_state))
                return Closed;
            if (!m_cond.wait(&m_mutex, deadline) && deadline.hasExpired())
                return TimedOut;
        }
    }

    // Tells the consumer to end: stopping, waiters woken, stopped() emitted. With wait the
    // call returns only when the consumer has closed the queue (setServing(false)).
    void stop(bool wait = false)
    {
        {
            QMutexLocker locker(&m_mutex);
            if (m_state == State::Waiting)
                m_state = State::StopAsked;
            else if (m_state == State::Serving)
                m_state = State::Draining;
            m_cond.wakeAll();
        }
        m_notifier->notifyStopped();
        if (wait) {
            QMutexLocker locker(&m_mutex);
            while (serving(m_state))
                m_cond.wait(&m_mutex);
        }
    }

    // The owner's onStop (or its last step): stop, refuse further pushes, release what is
    // still queued. For good: a consumer that opens for taking afterwards (a stop that came
    // before the owner started serving) must not accept again, or a waiting requester would
    // wait for ever.
    void stopAndDiscard()
    {
        stop(false);
        {
            QMutexLocker locker(&m_mutex);
            m_state = serving(m_state) ? State::DiscardedServing : State::Discarded;
        }
        clear();
    }

    // The consumer opens or closes for taking; closing wakes a waiting stop(true).
    void setServing(bool on)
    {
        QMutexLocker locker(&m_mutex);
        m_state = on ? served(m_state) : unserved(m_state);
        m_cond.wakeAll();
    }
    void clear()
    {
        std::list<T> dropped;
        {
            QMutexLocker locker(&m_mutex);
            dropped.swap(m_items);
            m_frontCount = 0;
        }
    }

    int size() const { QMutexLocker locker(&m_mutex); return static_cast<int>(m_items.size()); }
    State state() const { QMutexLocker locker(&m_mutex); return m_state; }
    bool isStopping() const { return stopping(state()); }
    bool isServing() const { return serving(state()); }
    bool isAccepting() const { return accepting(state()); }

private:
    static bool serving(State s) { return s == State::Serving || s == State::Draining || s == State::DiscardedServing; }
    static bool stopping(State s) { return s != State::Waiting && s != State::Serving; }
    static bool accepting(State s) { return s != State::Discarded && s != State::DiscardedServing; }
    static State served(State s)
    {
        switch (s) {
        case State::Waiting: return State::Serving;
        case State::StopAsked: return State::Draining;
        case State::Discarded: return State::DiscardedServing;
        default: return s;
        }
    }
    static State unserved(State s)
    {
        switch (s) {
        case State::Serving: return State::Waiting;
        case State::Draining: return State::StopAsked;
        case State::DiscardedServing: return State::Discarded;
        default: return s;
        }
    }

    const QString m_label;
    std::unique_ptr<ProtectedQueueObject> m_notifier;
    mutable QMutex m_mutex;
    QWaitCondition m_cond;
    std::list<T> m_items;
    size_t m_frontCount = 0;
    State m_state = State::Waiting;
};
