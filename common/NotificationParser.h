#pragma once

class NotificationFixedSize;
class NotificationIntStr;

// Receiver of control-port notifications: a notification's dispatchTo calls the handler of
// its own kind. Implemented by the daemon's control server and the manager's status reader.
class NotificationParser
{
public:
    virtual ~NotificationParser() = default;
    virtual void handleFixedSize(const NotificationFixedSize& notification) = 0;
    virtual void handleIntStr(const NotificationIntStr& notification) = 0;
};
