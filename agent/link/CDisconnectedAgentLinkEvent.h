#pragma once
#include "CAgentAgentLinkPtr.h"
#include "CAgentLinkEvent.h"

#include <QString>

// Posted by a session whose connection closed or failed.
class CDisconnectedAgentLinkEvent : public CAgentLinkEvent
{
public:
    static constexpr int Type = 4;
    CDisconnectedAgentLinkEvent(const CAgentAgentLinkPtr& link, const QString& reason);
    ~CDisconnectedAgentLinkEvent() override;
    int type() const override { return Type; }

    CAgentAgentLinkPtr link;
    QString reason;
};
