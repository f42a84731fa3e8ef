#pragma once
// Connected and authenticated SSH clients kept between polls, at most 8 per server address and
// port, so monitors of the same server and credentials share one session. Task threads acquire
// and release clients; the maintenance thread closes dead clients and ones idle too long.
// Threads: any poll thread, and the maintenance thread for doMaintenance. Locks: the pool mutex
// first, then one key's mutex; nobody waits for a slot while holding either. A client handed
// out is touched only by its caller until released.

#include "CSshClientAuth.h"

#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QPair>

#include <atomic>
#include <memory>
#include <vector>

class CSshClient;
class QThread;

class CSshClientPool : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxPerServer = 8;
    static constexpr int kIdleLimitMs = 299999;

    static CSshClientPool* instance();

    // An idle matching client, or a new unconnected one, marked in use; null when no slot
    // came free within the time-out (below 1: no limit).
    CSshClient* acquireClient(const QHostAddress& address, int port, bool testHostKey, const QByteArray& fingerprint,
                              const CSshClientAuth& auth, bool noReuse, int timeoutMs);
    // Back to idle, or (drop) closed and removed. Unknown keys or clients: nothing.
    void releaseClient(const QHostAddress& address, int port, const CSshClient* client, bool drop);
    // Closes every client (the library is unloading).
    void shutdownAll();

    int clientCount(const QHostAddress& address, int port);
    int maintenanceRuns() const { return m_runs.load(); }
    QThread* lastMaintenanceThread() const { return m_lastThread.load(); }

public slots:
    void doMaintenance();

private:
    struct Entry;
    struct Entries;
    using Key = QPair<QHostAddress, int>;

    CSshClientPool();
    ~CSshClientPool() override;
    Entries* entriesFor(const Key& key, bool create);

    QMutex m_mutex;
    QHash<Key, Entries*> m_entries; // owned
    std::atomic<int> m_runs{0};
    std::atomic<QThread*> m_lastThread{nullptr};
};

// Registers the pool's maintenance with the maintenance thread, every 60000 ms.
void ssh_client_pool_init();
