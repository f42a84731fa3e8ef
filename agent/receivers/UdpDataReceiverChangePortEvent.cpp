#include "UdpDataReceiverChangePortEvent.h"

QEvent::Type UdpDataReceiverChangePortEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
