#pragma once
// Optional observer of a timed socket's steps (for protocol traces). Called on the socket's
// thread; time spent in the send and receive hooks is not charged to the socket's budget.

class CTimedSocketPlugin
{
public:
    virtual void connectStarting(const char* addressUtf8, int port) = 0;
    virtual void connected() = 0;
    virtual void tlsStarting() = 0;
    virtual void tlsSucceeded() = 0;
    virtual void tlsFailed() = 0;
    virtual void sendStarting() = 0;
    virtual void dataSent(const char* bytes, int count) = 0;
    virtual void receiveStarting() = 0;
    virtual void dataReceived(const char* bytes, int count) = 0;
    virtual void disconnectStarting() = 0;
    virtual void disconnected() = 0;

protected:
    ~CTimedSocketPlugin() = default;
};
