#pragma once
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <utility>
#include <vector>

// The queue between a receiver's connector thread and its manager thread, bounded by the
// number of items and by the bytes they hold: a push over either bound is dropped and
// counted, so a flood costs bounded memory. Flags as the manager's protocol wants them:
// accepting (pushes are kept), serving (takes are answered) and stopping.
// Threads: any thread pushes; one consumer takes. Everything is guarded by m_mutex; the
// consumer is woken only while it waits, so a busy consumer costs the producer no wake-up.
// The consumer's emptied vector becomes the queue's storage at its next take, so a steady
// flow allocates nothing.
template <class T>
class BoundedEventQueue
{
public:
    enum PushResult { Pushed, Full, NotAccepting };
    enum TakeResult { Taken = 0, Closed = 3 };

    BoundedEventQueue(int maxItems, qint64 maxBytes) : m_maxItems(maxItems), m_maxBytes(maxBytes) {}
    BoundedEventQueue(const BoundedEventQueue&) = delete;
    BoundedEventQueue& operator=(const BoundedEventQueue&) = delete;

    void setBounds(int maxItems, qint64 maxBytes)
    {
        QMutexLocker locker(&m_mutex);
        m_maxItems = maxItems;
        m_maxBytes = maxBytes;
    }

    PushResult push(const T& item, int cost)
    {
        QMutexLocker locker(&m_mutex);
        if (!m_accepting)
            return NotAccepting;
        if (static_cast<int>(m_items.size()) >= m_maxItems || m_bytes + cost > m_maxBytes) {
            ++m_dropped;
            return Full;
        }
        m_items.push_back(item);
        m_bytes += cost;
        if (m_waiting)
            m_cond.wakeOne();
        return Pushed;
    }

    // Pushes each of items in order as push would, under one lock and with at most one
    // wake-up; entry(item) is what is queued and cost(item) its bytes. Answers how many were
    // kept.
    template <class Items, class Entry, class Cost>
    int pushAll(const Items& items, Entry entry, Cost cost)
    {
        QMutexLocker locker(&m_mutex);
        if (!m_accepting)
            return 0;
        int kept = 0;
        for (const auto& item : items) {
            const int bytes = cost(item);
            if (static_cast<int>(m_items.size()) >= m_maxItems || m_bytes + bytes > m_maxBytes) {
                ++m_dropped;
                continue;
            }
            m_items.push_back(entry(item));
            m_bytes += bytes;
            ++kept;
        }
        if (kept > 0 && m_waiting)
            m_cond.wakeOne();
        return kept;
    }

    // Pushes a run of items that share what they hold (sharedBytes, charged once, and
    // itemCost each), under one lock and with at most one wake-up: when the bytes do not fit
    // all are dropped, otherwise each is kept while the item bound allows. The items are moved
    // from and items is left empty. Answers how many were kept.
    int pushShared(std::vector<T>& items, int itemCost, qint64 sharedBytes)
    {
        QMutexLocker locker(&m_mutex);
        int kept = 0;
        if (m_accepting) {
            const qint64 bytes = sharedBytes + qint64(itemCost) * qint64(items.size());
            if (m_bytes + bytes > m_maxBytes) {
                m_dropped += items.size();
            } else {
                for (T& item : items) {
                    if (static_cast<int>(m_items.size()) >= m_maxItems) {
                        ++m_dropped;
                        continue;
                    }
                    m_items.push_back(std::move(item));
                    ++kept;
                }
                if (kept > 0)
                    m_bytes += bytes;
                if (kept > 0 && m_waiting)
                    m_cond.wakeOne();
            }
        }
        locker.unlock();
        items.clear();
        return kept;
    }

    // Moves every queued item into out (appended). Waits while serving, empty and not
    // stopping; Closed when not serving, or when empty and stopping.
    int takeAll(std::vector<T>& out)
    {
        QMutexLocker locker(&m_mutex);
        for (;;) {
            if (!m_serving)
                return Closed;
            if (!m_items.empty()) {
                if (out.empty()) {
                    out.swap(m_items);
                } else {
                    out.reserve(out.size() + m_items.size());
                    for (T& item : m_items)
                        out.push_back(std::move(item));
                    m_items.clear();
                }
                m_bytes = 0;
                return Taken;
            }
            if (m_stopping)
                return Closed;
            m_waiting = true;
            m_cond.wait(&m_mutex);
            m_waiting = false;
        }
    }

    // Accepting and serving: the consumer's start.
    void open()
    {
        QMutexLocker locker(&m_mutex);
        if (!m_discarded)
            m_accepting = true;
        m_serving = true;
        m_cond.wakeAll();
    }
    // Stopping for good: waiters woken, further pushes refused, queued items released.
    void stopAndDiscard()
    {
        std::vector<T> dropped;
        QMutexLocker locker(&m_mutex);
        m_stopping = true;
        m_discarded = true;
        m_accepting = false;
        dropped.swap(m_items);
        m_bytes = 0;
        m_cond.wakeAll();
        locker.unlock();
    }
    // No more takes; a waiting consumer returns Closed.
    void close()
    {
        QMutexLocker locker(&m_mutex);
        m_serving = false;
        m_cond.wakeAll();
    }

    // Pushes dropped for lack of room since the queue was made.
    quint64 droppedCount() const
    {
        QMutexLocker locker(&m_mutex);
        return m_dropped;
    }
    int size() const
    {
        QMutexLocker locker(&m_mutex);
        return static_cast<int>(m_items.size());
    }
    bool isAccepting() const
    {
        QMutexLocker locker(&m_mutex);
        return m_accepting;
    }

private:
    mutable QMutex m_mutex;
    QWaitCondition m_cond;
    std::vector<T> m_items;
    int m_maxItems;
    qint64 m_maxBytes;
    qint64 m_bytes = 0;
    quint64 m_dropped = 0;
    bool m_accepting = true;
    bool m_serving = false;
    bool m_stopping = false;
    bool m_discarded = false;
    bool m_waiting = false;
};
