#pragma once
#include "CAcceptedConnectionInfo.h"
#include "CAgentLinkEvent.h"

// Posted by an agent server for every accepted connection.
class CAcceptedAgentLinkEvent : public CAgentLinkEvent
{
public:
    static constexpr int Type = 0;
    explicit CAcceptedAgentLinkEvent(CAcceptedConnectionInfoPtr info) : m_info(std::move(info)) {}
    int type() const override { return Type; }
    const CAcceptedConnectionInfoPtr& info() const { return m_info; }

private:
    CAcceptedConnectionInfoPtr m_info;
};
