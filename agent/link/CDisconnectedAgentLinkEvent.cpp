#include "CDisconnectedAgentLinkEvent.h"

#include "CAgentAgentLink.h"

CDisconnectedAgentLinkEvent::CDisconnectedAgentLinkEvent(const CAgentAgentLinkPtr& link_, const QString& reason_)
    : link(link_), reason(reason_)
{
}

// Out of line: releasing the link needs its complete class.
CDisconnectedAgentLinkEvent::~CDisconnectedAgentLinkEvent() = default;
