#pragma once
#include <QObject>
#include <atomic>

// Notifier of a protected queue for consumers that run an event loop: newItem() once per
// pushed item and stopped() when the queue is stopped, each only while notify is set.
// Emitted on the producer's thread outside the queue mutex; connect queued.
class ProtectedQueueObject : public QObject
{
    Q_OBJECT
public:
    explicit ProtectedQueueObject(const QString& name, QObject* parent = nullptr);

    void setNotify(bool on) { m_notify = on; }
    bool notify() const { return m_notify; }

    void notifyNewItem();
    void notifyStopped();

signals:
    void newItem();
    void stopped();

private:
    std::atomic<bool> m_notify{false};
};
