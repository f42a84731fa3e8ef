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
// wake-all. Flags at construction: not stopping, not serving (closed for taking), accepting,
// so items pushed before the owner starts wait in the queue.
template <class T>
class ProtectedQueue
{
public:
    enum TakeResult { Taken = 0, TimedOut = 2, Closed = 3 };

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
            if (!m_accepting)
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
    int take(T& out, int timeoutMs = -1)
    {
        QMutexLocker locker(&m_mutex);
        QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
        for (;;) {
            if (!m_serving)
                return Closed;
            if (!m_items.empty()) {
                out = m_items.front();
                m_items.pop_front();
                if (m_frontCount > 0)
                    --m_frontCount;
                return Taken;
            }
            if (m_stopping)
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
            m_stopping = true;
            m_cond.wakeAll();
        }
        m_notifier->notifyStopped();
        if (wait) {
            QMutexLocker locker(&m_mutex);
            while (m_serving)
                m_cond.wait(&m_mutex);
        }
    }

    // The owner's onStop: stop, refuse further pushes, release what is still queued.
    // For good: a consumer that opens for taking afterwards (a stop that came before the owner
    // started serving) must not accept again, or a waiting requester would wait for ever.
    void stopAndDiscard()
    {
        stop(false);
        {
            QMutexLocker locker(&m_mutex);
            m_discarded = true;
        }
        setAccepting(false);
        clear();
    }

    // Opening for taking also accepts again, unless the queue was discarded; closing wakes a
    // waiting stop(true).
    void setServing(bool serving)
    {
        QMutexLocker locker(&m_mutex);
        m_serving = serving;
        if (serving && !m_discarded)
            m_accepting = true;
        m_cond.wakeAll();
    }
    void setAccepting(bool accepting)
    {
        QMutexLocker locker(&m_mutex);
        m_accepting = accepting;
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
    bool isStopping() const { QMutexLocker locker(&m_mutex); return m_stopping; }
    bool isServing() const { QMutexLocker locker(&m_mutex); return m_serving; }
    bool isAccepting() const { QMutexLocker locker(&m_mutex); return m_accepting; }

private:
    const QString m_label;
    std::unique_ptr<ProtectedQueueObject> m_notifier;
    mutable QMutex m_mutex;
    QWaitCondition m_cond;
    std::list<T> m_items;
    size_t m_frontCount = 0;
    bool m_stopping = false;
    bool m_serving = false;
    bool m_accepting = true;
    bool m_discarded = false;
};
