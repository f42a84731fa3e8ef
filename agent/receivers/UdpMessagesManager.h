#pragma once
#include "BoundedEventQueue.h"
#include "FilterHostResolver.h"
#include "IServerEventSink.h"
#include "NetworkMsgServerEvent.h"
#include "common/RateLimitedLog.h"
#include "SMessagesLimit.h"
#include "SubscribedSenders.h"
#include "UdpReceiverHooks.h"

#include "core/CNetMonSysHeavy.h"
#include "core/CNetworkMonitor.h"
#include "core/LogFile.h"
#include "engine/CMonitorEvent.h"
#include "engine/CScheduleClock.h"

#include <QHostAddress>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QStringList>
#include <atomic>
#include <vector>

// A receiving component of the daemon: holds the filters the service subscribed for its
// monitors, takes the events its network server posts, matches each received message to
// the monitors whose filters accept it, applies each monitor's accepted-messages limit and
// hands the resulting monitor events on through its hooks.
//
// Requires of Thread: the connector thread protocol of UdpConnectorThread (start, stop,
// terminateThread, releaseStart, changePort). Matcher is UdpDataMatcher<Filter>; Filter adds
// to the matcher's needs makeStatusEvent(const MessagePtr&) and setSenderAddresses(QStringList).
// A server may post a message ready made (an event) or as a datagram still to be read; a
// manager whose server posts datagrams reads them in handleDatagram.
//
// Threads: the manager's own thread runs the steps, the events and the reading of posted
// datagrams; the connector thread posts events and datagram batches (the bounded queue,
// one entry per event or datagram, has its own lock); the agent link's threads call
// setFilter, removeFilter and clearFilters; the root's thread calls stop. m_mutex guards the
// matcher, the monitors, the limits, the listening flag and the last error, and is held
// while events go to hooks.sendMonitorEvent: callers must not hold the link's mutex.
// Sender hosts are resolved before m_mutex is taken. The senders the matcher files monitors
// under are published to the connector thread (m_senders), which drops other datagrams early.
// Ownership: the matcher owns the filters; the connector thread is a QObject child.
template <class Thread, class Matcher>
class UdpMessagesManager : public CNetMonSysHeavy, public IServerEventSink
{
public:
    using Filter = typename Matcher::FilterType;
    using Message = typename Matcher::Message;
    using MessagePtr = QExplicitlySharedDataPointer<const Message>;
    using DataEvent = NetworkMsgServerDataReceivedEvent<MessagePtr>;

    static constexpr int kDefaultMaxQueuedEvents = 65536;
    static constexpr qint64 kDefaultMaxQueuedBytes = 64 * 1024 * 1024;
    static constexpr qint64 kDropLogIntervalMs = 10000;
    // What a queued datagram holds on to besides the bytes of its batch: its entry and its
    // share of the batch's index.
    static constexpr int kDatagramOverhead = 64;

    UdpMessagesManager(QObject* parent, const QString& name, int subsystemBit)
        : CNetMonSysHeavy(parent, name, subsystemBit)
        , m_queue(kDefaultMaxQueuedEvents, kDefaultMaxQueuedBytes)
        , m_clock(CScheduleClock::system())
    {
    }
    ~UdpMessagesManager() override = default;

    // Before start.
    void setHooks(const UdpReceiverHooks& hooks) { m_hooks = hooks; }
    void setClock(CScheduleClock* clock) { m_clock = clock ? clock : CScheduleClock::system(); }
    void setQueueBounds(int maxEvents, qint64 maxBytes) { m_queue.setBounds(maxEvents, maxBytes); }
    FilterHostResolver& hostResolver() { return m_resolver; }

    // The agent link's subscription: the filters (owned from here on) replace the monitor's.
    void setFilter(int monitorId, const QList<Filter*>& filters, int limitEnabled, int maxMessages, int windowSeconds)
    {
        const qint64 nowMs = m_clock->monotonicMs();
        for (Filter* f : filters) {
            if (!f)
                continue;
            QStringList texts;
            for (const QHostAddress& a : m_resolver.resolve(f->address, nowMs))
                texts.append(a.toString());
            f->setSenderAddresses(texts);
        }
        QMutexLocker locker(&m_mutex);
        const bool filed = m_matcher.addFilters(monitorId, filters);
        m_senders.publish(m_matcher.hosts());
        if (!filed)
            send(monitorId, new UdpReceiverIsOffMonitorEvent(QStringLiteral("cannot resolve hostname to IP")));
        m_monitors.insert(monitorId);
        if (limitEnabled) {
            SMessagesLimit& limit = m_limits[monitorId];   // a new one starts with no window
            limit.maxMessages = maxMessages;
            limit.windowSeconds = windowSeconds;
        } else {
            m_limits.remove(monitorId);
        }
        if (!m_listening) {
            const QString detail = m_lastError.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_lastError);
            send(monitorId, new UdpReceiverIsOffMonitorEvent(QStringLiteral("The receiver is not ready%1").arg(detail)));
        }
    }

    void removeFilter(int monitorId)
    {
        QMutexLocker locker(&m_mutex);
        m_matcher.removeMonitor(monitorId);
        m_senders.publish(m_matcher.hosts());
        m_limits.remove(monitorId);
        m_monitors.remove(monitorId);
    }

    void clearFilters()
    {
        QMutexLocker locker(&m_mutex);
        m_matcher.clear();
        m_senders.publish(m_matcher.hosts());
        m_limits.clear();
        m_monitors.clear();
    }

    // Moves the receiver to another port (the daemon reads its port once and never calls this).
    void changePort(int port)
    {
        if (Thread* thread = m_thread.load())
            thread->changePort(port);
    }

    void postServerEvent(const NetworkMsgServerEventPtr& event) override
    {
        if (event)
            m_queue.push(Queued{event, DatagramBatchPtr(), nullptr, 0}, event->cost);
    }
    void postServerEvents(const std::vector<NetworkMsgServerEventPtr>& events) override
    {
        m_queue.pushAll(
            events, [](const NetworkMsgServerEventPtr& e) { return Queued{e, DatagramBatchPtr(), nullptr, 0}; },
            [](const NetworkMsgServerEventPtr& e) { return e ? e->cost : 0; });
    }
    void postDatagrams(const DatagramBatchPtr& batch) override
    {
        if (!batch)
            return;
        m_posting.push_back(Queued{NetworkMsgServerEventPtr(), batch, batch.data(), 0});
        for (int i = 1; i < batch->count(); ++i)
            m_posting.push_back(Queued{NetworkMsgServerEventPtr(), DatagramBatchPtr(), batch.data(), i});
        // Any datagram kept holds the whole batch: its bytes count once, whole.
        m_queue.pushShared(m_posting, kDatagramOverhead, batch->bufferBytes());
    }
    // The connector thread's question, answered without the manager mutex.
    bool acceptsSender(const QString& sender) override { return m_senders.contains(sender); }

    void handleServerEvent(const NetworkMsgServerEventPtr& event)
    {
        switch (event->kind) {
        case NetworkMsgServerEvent::DataReceived:
            handleMessage(static_cast<const DataEvent&>(*event).message);
            break;
        case NetworkMsgServerEvent::Error: {
            const QString text = static_cast<const NetworkMsgServerErrorEvent&>(*event).text;
            {
                QMutexLocker locker(&m_mutex);
                m_lastError = text;
            }
            logWarning(QStringLiteral("%1: error occurred: %2").arg(name(), text));
            break;
        }
        case NetworkMsgServerEvent::ListeningStarted: {
            QMutexLocker locker(&m_mutex);
            if (m_listening)
                break;
            m_listening = true;
            m_lastError.clear();
            for (int id : qAsConst(m_monitors))
                send(id, new UdpReceiverIsOnMonitorEvent(QStringLiteral("Message receiver was started")));
            break;
        }
        case NetworkMsgServerEvent::ListeningStopped: {
            QMutexLocker locker(&m_mutex);
            if (!m_listening)
                break;
            m_listening = false;
            for (int id : qAsConst(m_monitors))
                send(id, new UdpReceiverIsOffMonitorEvent(QStringLiteral("Message receiver was stopped")));
            break;
        }
        default:
            logWarning(QStringLiteral("%1: unknown network server event receved: %2").arg(name()).arg(event->kind));
            break;
        }
    }

    bool isListening() const
    {
        QMutexLocker locker(&m_mutex);
        return m_listening;
    }
    QString lastError() const
    {
        QMutexLocker locker(&m_mutex);
        return m_lastError;
    }
    quint64 droppedEvents() const { return m_queue.droppedCount(); }
    Thread* connectorThread() const { return m_thread.load(); }

protected:
    // The concrete manager's constructor makes the thread, with this manager as its parent.
    void setConnectorThread(Thread* thread) { m_thread.store(thread); }

    qint64 monotonicMs() const { return m_clock->monotonicMs(); }

    // One posted datagram, on the manager's thread; a manager whose server posts datagrams
    // reads it into a message and hands that to handleMessage.
    virtual void handleDatagram(const QByteArray& datagram, const QString& sender)
    {
        Q_UNUSED(datagram);
        Q_UNUSED(sender);
    }

    // One received message: to every monitor that accepts it, within its limit.
    void handleMessage(const MessagePtr& message)
    {
        if (!message)
            return;
        QMutexLocker locker(&m_mutex);
        m_matcher.match(*message, m_matched);
        if (m_matched.empty())
            return;
        qint64 nowMs = -1;
        for (const auto& match : m_matched) {
            const int monitorId = match.first;
            auto limit = m_limits.find(monitorId);
            if (limit != m_limits.end()) {
                if (nowMs < 0)
                    nowMs = m_clock->monotonicMs();
                int remaining = 0;
                const SMessagesLimit::Verdict verdict = limit->onMessage(nowMs, remaining);
                if (verdict == SMessagesLimit::Drop)
                    continue;
                if (verdict == SMessagesLimit::ReportLimit) {
                    send(monitorId, new CMonitorEventMessagesLimit(messagesLimitText(remaining)));
                    continue;
                }
            }
            send(monitorId, match.second->makeStatusEvent(message));
        }
    }

    bool init() override
    {
        // The events go out through the schedule manager; nothing is received before it runs.
        for (;;) {
            const bool ready = m_hooks.engineReady ? m_hooks.engineReady()
                                                   : CNetworkMonitor::isInitialized(CNetworkMonitor::ScheduleBit);
            if (ready)
                break;
            if (isStopping())
                return false;
            waitUnlessStopping(kEngineWaitMs);
        }
        Thread* thread = m_thread.load();
        if (!thread) {
            reportFatalError(QStringLiteral("%1: cannot start server").arg(name()));
            return false;
        }
        thread->start(QThread::InheritPriority);
        return true;
    }

    void postInit() override
    {
        if (Thread* thread = m_thread.load())
            thread->releaseStart();
        m_queue.open();
    }

    bool runStep() override
    {
        std::vector<Queued> batch;
        while (m_queue.takeAll(batch) == BoundedEventQueue<Queued>::Taken) {
            for (const Queued& q : batch) {
                if (q.event)
                    handleServerEvent(q.event);
                else if (q.datagrams)
                    handleDatagram(q.datagrams->datagram(q.index), q.datagrams->sender(q.index));
            }
            batch.clear();
            reportDrops(false);
        }
        return false;
    }

    void onStop() override { m_queue.stopAndDiscard(); }

    void shutdown() override
    {
        m_queue.close();
        if (Thread* thread = m_thread.load()) {
            if (thread->isRunning()) {
                thread->stop();
                thread->wait();
            }
        }
        reportDrops(true);
    }

    void onTerminate() override
    {
        if (Thread* thread = m_thread.load())
            thread->terminateThread();
    }

private:
    static constexpr int kEngineWaitMs = 100;

    void send(int monitorId, CMonitorEvent* event) { send(monitorId, CMonitorEventPtr(event)); }
    void send(int monitorId, const CMonitorEventPtr& event)
    {
        if (m_hooks.sendMonitorEvent)
            m_hooks.sendMonitorEvent(monitorId, event);
    }

    // Datagrams the full queue refused: one line now and then, and what is left at the end.
    void reportDrops(bool final)
    {
        const quint64 dropped = m_queue.droppedCount();
        quint64 count = 0;
        bool due = false;
        if (dropped > m_droppedSeen) {
            due = m_dropLog.note(m_clock->monotonicMs(), count, dropped - m_droppedSeen);
            m_droppedSeen = dropped;
        }
        if (!due && final)
            due = m_dropLog.flush(count);
        if (due)
            logWarning(QStringLiteral("%1: event queue is full, %2 received messages dropped").arg(name()).arg(count));
    }

    // A queue entry: a server event, or datagram index of batch.
    struct Queued
    {
        NetworkMsgServerEventPtr event;
        // A batch's first datagram holds the batch and the others point into it (one
        // reference a batch, not one a datagram): the queue keeps a batch's datagrams as a
        // leading run and hands them over together, so the holder outlives the rest.
        DatagramBatchPtr batch;
        const DatagramBatch* datagrams;
        int index;
    };

    BoundedEventQueue<Queued> m_queue;
    std::vector<Queued> m_posting;   // the connector thread's, for postDatagrams
    std::atomic<Thread*> m_thread{nullptr};
    bool m_listening = false;
    QString m_lastError;
    Matcher m_matcher;
    mutable QMutex m_mutex;
    QSet<int> m_monitors;
    QMap<int, SMessagesLimit> m_limits;
    std::vector<std::pair<int, Filter*>> m_matched;   // scratch of handleMessage, under m_mutex
    UdpReceiverHooks m_hooks;
    CScheduleClock* m_clock;
    FilterHostResolver m_resolver;
    SubscribedSenders m_senders;
    RateLimitedLog m_dropLog{kDropLogIntervalMs};
    quint64 m_droppedSeen = 0;
};
