#pragma once
#include "engine/CBoundedLookup.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <functional>

class CIpAddressRange;

// The IPv4 addresses a filter's sender host stands for, found before the filters reach the
// manager: an address is itself, a range of one address is that address, a wider range is
// nothing, a host name is looked up with a time limit. Answers are kept for a while (failures
// for a shorter while), so subscriptions do not each wait for the name service and no
// datagram ever does.
// Threads: resolve() is called on the agent link's threads, never with the manager mutex
// held; m_mutex serialises the lookups and guards the cache.
class FilterHostResolver
{
public:
    using LookupFn = std::function<QList<QHostAddress>(const QString& name)>;

    FilterHostResolver();
    FilterHostResolver(const FilterHostResolver&) = delete;
    FilterHostResolver& operator=(const FilterHostResolver&) = delete;

    // IPv4 addresses only, in lookup order; empty when the entry stands for none.
    QList<QHostAddress> resolve(const CIpAddressRange& host, qint64 nowMs);

    void setLookup(const LookupFn& fn);   // the blocking lookup (tests count calls)
    void setTimeoutMs(int ms);
    void setTtlMs(qint64 answerMs, qint64 failureMs);

    static constexpr int kMaxCachedNames = 4096;

private:
    struct Entry
    {
        QList<QHostAddress> addresses;
        qint64 expiresMs = 0;
    };

    QMutex m_mutex;
    CBoundedLookup m_lookup{4};
    LookupFn m_fn;
    int m_timeoutMs = 5000;
    qint64 m_answerTtlMs = 300000;
    qint64 m_failureTtlMs = 30000;
    QHash<QString, Entry> m_cache;
};
