#pragma once
#include <QString>

// Callbacks of one connection to its owner (the link's worker thread). Called synchronously
// from the connection's slots on the connection's thread.
class IAgentConnectionEvent
{
public:
    virtual ~IAgentConnectionEvent() = default;
    // The stream is ready for data (TLS: encrypted and the service certificate accepted).
    virtual void connectionEstablished() = 0;
    virtual void connectionClosed() = 0;
    // The bytes are valid only during the call.
    virtual void dataArrived(const char* data, unsigned int count) = 0;
    // The connection's first error; reported once.
    virtual void connectionError(const QString& error) = 0;
    // A line the owner is to log (an accepted untrusted service certificate).
    virtual void connectionLog(const QString& text) = 0;
};
