#pragma once
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>

// What a network server tells its manager: a message arrived (1), an error (2), listening
// started (3) or stopped (4). Built on the connector thread, handed over once through the
// manager's queue and read on the manager's thread.
class NetworkMsgServerEvent : public QSharedData
{
public:
    enum Kind { DataReceived = 1, Error = 2, ListeningStarted = 3, ListeningStopped = 4 };

    explicit NetworkMsgServerEvent(int kind, int cost = 0) : kind(kind), cost(cost) {}
    virtual ~NetworkMsgServerEvent() = default;

    const int kind;
    // Bytes the event holds on to (the datagram), for the queue's memory bound.
    const int cost;
};

using NetworkMsgServerEventPtr = QExplicitlySharedDataPointer<NetworkMsgServerEvent>;

// Kind 1: one received message record, shared read-only.
template <class MessagePtr>
class NetworkMsgServerDataReceivedEvent : public NetworkMsgServerEvent
{
public:
    NetworkMsgServerDataReceivedEvent(const MessagePtr& message, int cost)
        : NetworkMsgServerEvent(DataReceived, cost), message(message)
    {
    }
    const MessagePtr message;
};

class NetworkMsgServerErrorEvent : public NetworkMsgServerEvent
{
public:
    explicit NetworkMsgServerErrorEvent(const QString& text) : NetworkMsgServerEvent(Error), text(text) {}
    const QString text;
};

class NetworkMsgServerListeningStartedEvent : public NetworkMsgServerEvent
{
public:
    NetworkMsgServerListeningStartedEvent() : NetworkMsgServerEvent(ListeningStarted) {}
};

class NetworkMsgServerListeningStoppedEvent : public NetworkMsgServerEvent
{
public:
    NetworkMsgServerListeningStoppedEvent() : NetworkMsgServerEvent(ListeningStopped) {}
};
