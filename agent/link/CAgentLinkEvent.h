#pragma once
#include <QExplicitlySharedDataPointer>
#include <QSharedData>

// An event queued to the agent manager by servers, sessions and the reconnect schedule.
// Implicitly shared; the last holder frees it.
class CAgentLinkEvent : public QSharedData
{
public:
    virtual ~CAgentLinkEvent() = default;
    // 0 accepted, 1 authenticated, 3 server error, 4 disconnected, ...
    virtual int type() const = 0;
};

using CAgentLinkEventPtr = QExplicitlySharedDataPointer<CAgentLinkEvent>;
