#pragma once
// Pieces the receiver tests share: a recorder of the monitor events a manager sends, a clock
// the test moves by hand, a UDP sender of raw bytes and a filter builder.
#include "engine/CMonitorEvent.h"
#include "receivers/SyslogLineFilter.h"
#include "support/HandClock.h"
#include "receivers/UdpReceiverHooks.h"

#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QUdpSocket>
#include <atomic>

// One event as "<monitor> <type id> <text>".
inline QString describeEvent(int monitorId, const CMonitorEventPtr& event)
{
    QString text;
    if (auto* on = dynamic_cast<const UdpReceiverIsOnMonitorEvent*>(event.data()))
        text = on->text;
    else if (auto* off = dynamic_cast<const UdpReceiverIsOffMonitorEvent*>(event.data()))
        text = off->text;
    else if (auto* limit = dynamic_cast<const CMonitorEventMessagesLimit*>(event.data()))
        text = limit->text;
    else if (auto* status = dynamic_cast<const CMonitorEventSetStatus*>(event.data()))
        text = status->status.secondText;
    return QStringLiteral("%1 %2 %3").arg(monitorId).arg(event ? event->typeId() : 0).arg(text);
}

// Records what a manager sends; any thread.
class EventRecorder
{
public:
    UdpReceiverHooks hooks()
    {
        UdpReceiverHooks h;
        h.sendMonitorEvent = [this](int id, const CMonitorEventPtr& e) { add(id, e); };
        h.engineReady = [] { return true; };
        return h;
    }
    void add(int id, const CMonitorEventPtr& e)
    {
        QMutexLocker locker(&m_mutex);
        m_events.append(describeEvent(id, e));
        m_last = e;
        ++m_count;
    }
    QStringList events() const
    {
        QMutexLocker locker(&m_mutex);
        return m_events;
    }
    int count() const { return m_count.load(); }
    CMonitorEventPtr last() const
    {
        QMutexLocker locker(&m_mutex);
        return m_last;
    }
    // Events whose text begins with the prefix.
    int countStarting(const QString& prefix) const
    {
        int n = 0;
        for (const QString& e : events())
            n += e.section(QLatin1Char(' '), 2).startsWith(prefix) ? 1 : 0;
        return n;
    }
    void clear()
    {
        QMutexLocker locker(&m_mutex);
        m_events.clear();
        m_count = 0;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_events;
    CMonitorEventPtr m_last;
    std::atomic<int> m_count{0};
};

inline bool sendDatagram(quint16 port, const QByteArray& bytes, const QHostAddress& to = QHostAddress::LocalHost)
{
    QUdpSocket s;
    return s.writeDatagram(bytes, to, port) == bytes.size();
}

// A filter for one sender host (an address text or a name) that accepts everything else.
inline SyslogLineFilter* hostFilter(const QString& host, int key = 1)
{
    auto* f = new SyslogLineFilter;
    f->address = CIpAddressRange::fromHostName(host, Optional<QHostAddress>());
    f->key = key;
    return f;
}
