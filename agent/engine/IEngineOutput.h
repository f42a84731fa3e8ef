#pragma once
#include "CMonitorEvent.h"

#include <QString>

// Everything the monitoring engine hands out, in one narrow place: the mirror of ILinkEngine.
// The agent manager implements it; the root gives it to the task and schedule managers before
// they start, and the engine reaches the link through nothing else. Called from the task
// threads, the task manager's and the schedule manager's threads, several at once: an
// implementation locks what it shares and never blocks on the engine.
class IEngineOutput
{
public:
    virtual ~IEngineOutput() = default;

    // A poll task known by its transaction id is done. Answers true when nobody took it.
    virtual bool sendPollResult(int transactionId) = 0;
    // A monitor event (status, limit reached) for the service.
    virtual void sendMonitorEvent(int monitorId, const CMonitorEventPtr& event) = 0;
    // A plug-in update asked for by requestId is done: the capabilities go out.
    virtual void sendExtendedCaps(int requestId) = 0;
    // A name or address lookup is answered.
    virtual void sendResolveResponse(int linkValue, int requestId, bool addressFlag, const QString& text,
                                     const QString& result) = 0;
    // The scheduled reconnect of the link is due.
    virtual void requestReconnect() = 0;
};
