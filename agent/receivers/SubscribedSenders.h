#pragma once
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QString>
#include <atomic>

// The sender addresses some monitor's filters are filed under, published by the manager when
// its subscriptions change and asked by the connector thread for every datagram. The reader
// keeps its own copy and takes the lock only when a newer set was published, and keeps its
// last answer.
// Threads: publish on any thread (the manager calls it under its mutex); contains on one
// reader thread only.
class SubscribedSenders
{
public:
    void publish(const QSet<QString>& senders)
    {
        QMutexLocker locker(&m_mutex);
        m_published = senders;
        m_generation.fetch_add(1, std::memory_order_release);
    }

    bool contains(const QString& sender)
    {
        const quint64 generation = m_generation.load(std::memory_order_acquire);
        if (generation != m_seen) {
            QMutexLocker locker(&m_mutex);
            m_local = m_published;
            m_seen = generation;
            m_lastSender = QString();
        }
        // Datagrams come in runs from one sender: the last answer stands until the set changes.
        if (m_lastSender.isNull() || m_lastSender != sender) {
            m_lastSender = sender;
            m_lastAnswer = m_local.contains(sender);
        }
        return m_lastAnswer;
    }

private:
    QMutex m_mutex;
    QSet<QString> m_published;
    std::atomic<quint64> m_generation{1};
    // the reader's own
    quint64 m_seen = 0;
    QSet<QString> m_local;
    QString m_lastSender;   // null: none asked since the set changed
    bool m_lastAnswer = false;
};
