#pragma once

#include <QObject>
#include <atomic>

class QThread;

// Cache of SNMP tables shared by the polling threads; tidied by the maintenance thread.
// Threads: doMaintenance runs on the maintenance thread; the counters are atomics.
class CSnmpTableCache : public QObject
{
    Q_OBJECT
public:
    static CSnmpTableCache* instance();

    int maintenanceRuns() const { return m_runs.load(); }
    QThread* lastMaintenanceThread() const { return m_lastThread.load(); }

public slots:
    void doMaintenance();

private:
    CSnmpTableCache() = default;
    std::atomic<int> m_runs{0};
    std::atomic<QThread*> m_lastThread{nullptr};
};

// Registers the cache's maintenance with the maintenance thread, every 60000 ms.
void snmp_table_cache_init();
