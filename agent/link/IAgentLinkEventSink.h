#pragma once
#include "CAgentLinkEvent.h"

// What an agent server needs of the agent manager: a queue for its link events.
// postLinkEvent may be called on the manager's thread (where servers live).
class IAgentLinkEventSink
{
public:
    virtual ~IAgentLinkEventSink() = default;
    virtual void postLinkEvent(const CAgentLinkEventPtr& event) = 0;
};
