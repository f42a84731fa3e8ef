#pragma once
#include "CAgentAgentLinkPtr.h"
#include "CAgentLinkEvent.h"

#include <QString>

// Posted by a session when its connection is up and it has identified itself.
class CAuthenticatedAgentLinkEvent : public CAgentLinkEvent
{
public:
    static constexpr int Type = 1;
    CAuthenticatedAgentLinkEvent(const CAgentAgentLinkPtr& link, const QString& connectionId, const QString& ipRange,
                                 const QString& peerAddress, int transport);
    ~CAuthenticatedAgentLinkEvent() override;
    int type() const override { return Type; }

    CAgentAgentLinkPtr link;
    QString connectionId;
    QString ipRange;
    QString peerAddress;
    int transport = 0;
};
