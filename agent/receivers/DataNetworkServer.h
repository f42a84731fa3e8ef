#pragma once
#include "IServerEventSink.h"
#include "NetworkMsgServerEvent.h"
#include "UdpDataReceiverChangePortEvent.h"

#include <QDebug>
#include <QEvent>
#include <vector>

// Owns one receiver, turns its signals into server events for the manager and reopens it on
// another port on request.
//
// Requires of Receiver: a constructor from a parent QObject; bool listen(int port), which on
// failure emits error(QString) before it returns false; close(); signals error(QString) and
// one for what it received (a message, or a batch of datagrams), connected by the concrete
// server. Manager must implement IServerEventSink. Slots is the QObject class that declares
// the slots.
// Threads: built, used and destroyed on the connector thread; every post to the manager is
// made from there. A concrete server that posts with postLater calls flushPosts at the end of
// each burst.
// Ownership: the receiver is the server's QObject child; the manager is not owned.
template <class Receiver, class Manager, class Slots>
class DataNetworkServer : public Slots
{
public:
    explicit DataNetworkServer(QObject* manager)
        : Slots(nullptr)
        , m_receiver(new Receiver(this))
        , m_sink(dynamic_cast<IServerEventSink*>(manager))
    {
    }
    ~DataNetworkServer() override
    {
        flushPosts();
        // The manager no longer accepts this at shutdown; it matters only to a port change.
        if (m_listening)
            post(new NetworkMsgServerListeningStoppedEvent);
    }

    void start(int port)
    {
        if (m_receiver->listen(port)) {
            post(new NetworkMsgServerListeningStartedEvent);
            m_listening = true;
        } else {
            qWarning().noquote() << QStringLiteral("Network server: can't start listening on port %1").arg(port);
        }
    }

    void onError(const QString& text) override { post(new NetworkMsgServerErrorEvent(text)); }

    bool event(QEvent* e) override
    {
        if (e->type() != UdpDataReceiverChangePortEvent::eventType())
            return Slots::event(e);
        const bool was = m_listening;
        m_receiver->close();
        m_listening = m_receiver->listen(static_cast<UdpDataReceiverChangePortEvent*>(e)->port);
        if (!was && m_listening)
            post(new NetworkMsgServerListeningStartedEvent);
        else if (was && !m_listening)
            post(new NetworkMsgServerListeningStoppedEvent);
        return true;
    }

    Receiver* receiver() const { return m_receiver; }
    bool isListening() const { return m_listening; }

protected:
    void post(NetworkMsgServerEvent* event)
    {
        const NetworkMsgServerEventPtr ptr(event);
        if (m_sink)
            m_sink->postServerEvent(ptr);
    }
    // Held back until flushPosts, so a burst of received messages reaches the manager at once.
    void postLater(NetworkMsgServerEvent* event) { m_later.emplace_back(event); }
    void flushPosts()
    {
        if (m_later.empty())
            return;
        if (m_sink)
            m_sink->postServerEvents(m_later);
        m_later.clear();
    }
    IServerEventSink* sink() const { return m_sink; }

private:
    std::vector<NetworkMsgServerEventPtr> m_later;
    Receiver* const m_receiver;
    IServerEventSink* const m_sink;
    bool m_listening = false;
};
