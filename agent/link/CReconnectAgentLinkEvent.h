#pragma once
#include "CAgentLinkEvent.h"

// Asks the agent manager to open a new session for the agent id (active mode).
class CReconnectAgentLinkEvent : public CAgentLinkEvent
{
public:
    static constexpr int Type = 6;
    explicit CReconnectAgentLinkEvent(int agentId_) : agentId(agentId_) {}
    int type() const override { return Type; }

    int agentId = 0;
};
