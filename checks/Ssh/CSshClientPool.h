#pragma once

#include <QObject>
#include <atomic>

class QThread;

// Pool of SSH connections shared by the polling threads; tidied by the maintenance thread.
// Threads: doMaintenance runs on the maintenance thread; the counters are atomics.
class CSshClientPool : public QObject
{
    Q_OBJECT
public:
    static CSshClientPool* instance();

    int maintenanceRuns() const { return m_runs.load(); }
    QThread* lastMaintenanceThread() const { return m_lastThread.load(); }

public slots:
    void doMaintenance();

private:
    CSshClientPool() = default;
    std::atomic<int> m_runs{0};
    std::atomic<QThread*> m_lastThread{nullptr};
};

// Registers the pool's maintenance with the maintenance thread, every 60000 ms.
void ssh_client_pool_init();
