#include "CAuthenticatedAgentLinkEvent.h"

#include "CAgentAgentLink.h"

CAuthenticatedAgentLinkEvent::CAuthenticatedAgentLinkEvent(const CAgentAgentLinkPtr& link_, const QString& connectionId_,
                                                           const QString& ipRange_, const QString& peerAddress_,
                                                           int transport_)
    : link(link_), connectionId(connectionId_), ipRange(ipRange_), peerAddress(peerAddress_), transport(transport_)
{
}

// Out of line: releasing the link needs its complete class.
CAuthenticatedAgentLinkEvent::~CAuthenticatedAgentLinkEvent() = default;
