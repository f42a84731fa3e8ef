#pragma once
#include <QEvent>

// Carries a new port to a network server on its connector thread.
class UdpDataReceiverChangePortEvent : public QEvent
{
public:
    explicit UdpDataReceiverChangePortEvent(int port) : QEvent(eventType()), port(port) {}
    // Registered once, on first use, and shared by every receiver.
    static QEvent::Type eventType();
    const int port;
};
