#pragma once
#include "NetworkMsgServerEvent.h"

// Where a network server hands its events: the receiving manager's queue.
// Threads: called on the connector thread; implementations lock what they share.
class IServerEventSink
{
public:
    virtual ~IServerEventSink() = default;
    virtual void postServerEvent(const NetworkMsgServerEventPtr& event) = 0;
};
