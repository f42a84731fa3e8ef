#include "CSshClientPool.h"

#include "CSshClient.h"
#include "CTimerThread.h"
#include "common/TestTimeScale.h"

#include <QThread>

#include <algorithm>
#include <time.h>

namespace {

// 64-bit monotonic milliseconds: no wrap for the life of any host.
qint64 tickMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

struct CSshClientPool::Entry
{
    enum State { Idle = 0, InUse = 1, Dead = 2 };
    bool testHostKey = false;
    QByteArray fingerprint;
    CSshClientAuth auth;
    std::unique_ptr<CSshClient> client;
    int state = InUse;
    qint64 releasedAt = 0;
};

struct CSshClientPool::Entries
{
    QMutex mutex;
    std::vector<std::unique_ptr<Entry>> list;
};

CSshClientPool::CSshClientPool() = default;

CSshClientPool::~CSshClientPool() { shutdownAll(); }

CSshClientPool* CSshClientPool::instance()
{
    static CSshClientPool* pool = new CSshClientPool; // lives for the whole process
    return pool;
}

CSshClientPool::Entries* CSshClientPool::entriesFor(const Key& key, bool create)
{
    auto it = m_entries.find(key);
    if (it != m_entries.end())
        return it.value();
    if (!create)
        return nullptr;
    return m_entries.insert(key, new Entries).value();
}

CSshClient* CSshClientPool::acquireClient(const QHostAddress& address, int port, bool testHostKey, const QByteArray& fingerprint,
                                          const CSshClientAuth& auth, bool noReuse, int timeoutMs)
{
    const Key key(address, port);
    const qint64 start = tickMs();
    for (;;) {
        m_mutex.lock();
        Entries* entries = entriesFor(key, true);
        QMutexLocker keyLock(&entries->mutex);
        m_mutex.unlock();

        auto& list = entries->list;
        // dead clients go now, so their slots are free for this acquire
        list.erase(std::remove_if(list.begin(), list.end(), [](const std::unique_ptr<Entry>& e) { return e->state == Entry::Dead; }),
                   list.end());
        const bool evict = noReuse && static_cast<int>(list.size()) >= kMaxPerServer;
        for (auto it = list.begin(); it != list.end(); ++it) {
            Entry& e = **it;
            if (e.state != Entry::Idle)
                continue;
            if (!e.client->isConnected() || !e.client->hasSession() || e.client->sendKeepAlive() != 0) {
                e.client->markNotConnected();
                e.state = Entry::Dead;
                continue;
            }
            const bool matches = !noReuse && e.testHostKey == testHostKey && (!testHostKey || e.fingerprint == fingerprint)
                                 && e.auth == auth;
            if (matches) {
                e.state = Entry::InUse;
                return e.client.get();
            }
            if (evict) {
                list.erase(it);
                break;
            }
        }
        list.erase(std::remove_if(list.begin(), list.end(), [](const std::unique_ptr<Entry>& e) { return e->state == Entry::Dead; }),
                   list.end());
        if (static_cast<int>(list.size()) < kMaxPerServer) {
            auto entry = std::make_unique<Entry>();
            entry->testHostKey = testHostKey;
            entry->fingerprint = fingerprint;
            entry->auth = auth;
            entry->client = std::make_unique<CSshClient>(address, port);
            entry->client->setTestHostKey(testHostKey, fingerprint);
            entry->client->setAuth(auth);
            CSshClient* client = entry->client.get();
            list.push_back(std::move(entry));
            return client;
        }
        keyLock.unlock();
        qint64 remaining = 100;
        if (timeoutMs >= 1) {
            remaining = timeoutMs - (tickMs() - start);
            if (remaining <= 0)
                return nullptr;
        }
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(remaining, 100)));
    }
}

void CSshClientPool::releaseClient(const QHostAddress& address, int port, const CSshClient* client, bool drop)
{
    m_mutex.lock();
    Entries* entries = entriesFor(Key(address, port), false);
    if (entries == nullptr) {
        m_mutex.unlock();
        return;
    }
    QMutexLocker keyLock(&entries->mutex);
    m_mutex.unlock();
    auto& list = entries->list;
    auto it = std::find_if(list.begin(), list.end(), [client](const std::unique_ptr<Entry>& e) { return e->client.get() == client; });
    if (it == list.end())
        return;
    if (drop) {
        // closed while still bound: a stop from the service also cuts its closing short
        list.erase(it);
        return;
    }
    (*it)->client->detach();
    (*it)->state = Entry::Idle;
    (*it)->releasedAt = tickMs();
}

int CSshClientPool::clientCount(const QHostAddress& address, int port)
{
    QMutexLocker lock(&m_mutex);
    Entries* entries = entriesFor(Key(address, port), false);
    if (entries == nullptr)
        return 0;
    QMutexLocker keyLock(&entries->mutex);
    return static_cast<int>(entries->list.size());
}

void CSshClientPool::doMaintenance()
{
    m_lastThread.store(QThread::currentThread());
    ++m_runs;
    const qint64 now = tickMs();
    const qint64 idleLimit = zam::scaledMs(kIdleLimitMs);
    QMutexLocker lock(&m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        Entries* entries = it.value();
        {
            QMutexLocker keyLock(&entries->mutex);
            auto& list = entries->list;
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&](const std::unique_ptr<Entry>& e) {
                                          return e->state == Entry::Dead || (e->state == Entry::Idle && now - e->releasedAt > idleLimit);
                                      }),
                       list.end());
            if (!list.empty()) {
                ++it;
                continue;
            }
        }
        delete entries;
        it = m_entries.erase(it);
    }
}

void CSshClientPool::shutdownAll()
{
    QMutexLocker lock(&m_mutex);
    for (Entries* entries : qAsConst(m_entries)) {
        {
            QMutexLocker keyLock(&entries->mutex);
            entries->list.clear();
        }
        delete entries;
    }
    m_entries.clear();
}

void ssh_client_pool_init()
{
    if (CTimerThread* thread = CTimerThread::instance())
        thread->addPeriodicJob(CTimerThread::maintenanceIntervalMs(), CSshClientPool::instance(), "1doMaintenance()");
}
