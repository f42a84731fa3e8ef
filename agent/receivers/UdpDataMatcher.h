#pragma once
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// The subscribed filters of every monitor, filed by sender address, and the question which
// monitors accept one received message and through which filter.
//
// Requires of Filter:
//   Filter::Message                      the message record type, with a QString sender
//   int key                              order of one monitor's filters (highest tried first)
//   QStringList senderAddresses() const  the sender host's IPv4 address texts, resolved
//                                        before the filters arrive here (no lookup here)
//   bool matches(const Message&) const
//
// All filters of a monitor are filed under the first address of its first filter. A monitor
// with no such address keeps its filters unfiled (they match nothing) until its next
// subscription or removal frees them.
// Threads: no lock of its own; its owner (the manager) calls it under the manager mutex.
// Ownership: every filter handed to addFilters belongs to the matcher until it deletes it.
template <class Filter>
class UdpDataMatcher
{
public:
    using FilterType = Filter;
    using Message = typename Filter::Message;
    using KeyMap = QMap<int, Filter*>;

    UdpDataMatcher() = default;
    UdpDataMatcher(const UdpDataMatcher&) = delete;
    UdpDataMatcher& operator=(const UdpDataMatcher&) = delete;
    ~UdpDataMatcher() { clear(); }

    // Replaces the monitor's filters; false when they could be filed under no address.
    bool addFilters(int monitorId, const QList<Filter*>& filters)
    {
        removeMonitor(monitorId);
        QString host;
        for (Filter* f : filters) {
            if (f) {
                const QStringList addresses = f->senderAddresses();
                if (!addresses.isEmpty())
                    host = addresses.first();
                break;
            }
        }
        KeyMap byKey;
        for (Filter* f : filters) {
            if (!f)
                continue;
            auto old = byKey.find(f->key);
            if (old != byKey.end()) {
                // Only the later of two filters with one key is ever tried.
                delete old.value();
                old.value() = f;
            } else {
                byKey.insert(f->key, f);
            }
        }
        if (host.isEmpty()) {
            if (!byKey.isEmpty())
                m_unfiled.insert(monitorId, byKey);
            return false;
        }
        m_byHost[host].insert(monitorId, byKey);
        m_hostOfMonitor.insert(monitorId, host);
        return true;
    }

    void removeMonitor(int monitorId)
    {
        auto unfiled = m_unfiled.find(monitorId);
        if (unfiled != m_unfiled.end()) {
            qDeleteAll(*unfiled);
            m_unfiled.erase(unfiled);
        }
        auto hostIt = m_hostOfMonitor.find(monitorId);
        if (hostIt == m_hostOfMonitor.end())
            return;
        const QString host = hostIt.value();
        m_hostOfMonitor.erase(hostIt);
        auto byHost = m_byHost.find(host);
        if (byHost == m_byHost.end())
            return;
        auto mon = byHost->find(monitorId);
        if (mon != byHost->end()) {
            qDeleteAll(*mon);
            byHost->erase(mon);
        }
        if (byHost->isEmpty())
            m_byHost.erase(byHost);
    }

    void clear()
    {
        for (const QMap<int, KeyMap>& monitors : qAsConst(m_byHost))
            for (const KeyMap& filters : monitors)
                qDeleteAll(filters);
        for (const KeyMap& filters : qAsConst(m_unfiled))
            qDeleteAll(filters);
        m_byHost.clear();
        m_hostOfMonitor.clear();
        m_unfiled.clear();
    }

    // Adds to result every monitor filed under the message's sender that accepts it, with
    // the accepting filter, in ascending monitor id.
    void match(const Message& message, QMap<int, Filter*>& result) const
    {
        forEachAccepting(message, [&](int monitorId, Filter* f) { result.insert(monitorId, f); });
    }

    // As above, into a list in ascending monitor id (cleared first): no map is built per message.
    void match(const Message& message, std::vector<std::pair<int, Filter*>>& result) const
    {
        result.clear();
        forEachAccepting(message, [&](int monitorId, Filter* f) { result.emplace_back(monitorId, f); });
    }

    bool hasMonitor(int monitorId) const { return m_hostOfMonitor.contains(monitorId) || m_unfiled.contains(monitorId); }
    QString hostOfMonitor(int monitorId) const { return m_hostOfMonitor.value(monitorId); }
    int hostCount() const { return m_byHost.size(); }
    // The sender addresses monitors are filed under: a message from any other matches nothing.
    QSet<QString> hosts() const
    {
        QSet<QString> set;
        set.reserve(m_byHost.size());
        for (auto it = m_byHost.constBegin(); it != m_byHost.constEnd(); ++it)
            set.insert(it.key());
        return set;
    }

private:
    // Calls take(monitor id, filter) for each monitor filed under the message's sender that
    // accepts it, with its accepting filter of the highest key, in ascending monitor id.
    template <class Take>
    void forEachAccepting(const Message& message, Take take) const
    {
        auto byHost = m_byHost.constFind(message.sender);
        if (byHost == m_byHost.constEnd())
            return;
        for (auto mon = byHost->constBegin(); mon != byHost->constEnd(); ++mon) {
            const KeyMap& filters = mon.value();
            for (auto f = filters.constEnd(); f != filters.constBegin();) {
                --f;
                if (f.value()->matches(message)) {
                    take(mon.key(), f.value());
                    break;
                }
            }
        }
    }

    QHash<QString, QMap<int, KeyMap>> m_byHost;
    QHash<int, QString> m_hostOfMonitor;
    QHash<int, KeyMap> m_unfiled;
};
