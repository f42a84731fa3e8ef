#pragma once
#include "DatagramBatch.h"
#include "NetworkMsgServerEvent.h"

#include <QString>
#include <vector>

// Where a network server hands its events: the receiving manager's queue.
// Threads: called on the connector thread; implementations lock what they share.
class IServerEventSink
{
public:
    virtual ~IServerEventSink() = default;
    virtual void postServerEvent(const NetworkMsgServerEventPtr& event) = 0;
    // A burst of events in their order, handed over at once.
    virtual void postServerEvents(const std::vector<NetworkMsgServerEventPtr>& events)
    {
        for (const NetworkMsgServerEventPtr& event : events)
            postServerEvent(event);
    }
    // The datagrams of one read, each a message still to be read, handed over at once.
    virtual void postDatagrams(const DatagramBatchPtr& batch) = 0;
    // False when no subscription could accept a message from this sender, so the connector
    // thread need not read the datagram further.
    virtual bool acceptsSender(const QString& sender)
    {
        Q_UNUSED(sender);
        return true;
    }
};
