#include "BaseUdpConnectorThread.h"

BaseUdpConnectorThread::BaseUdpConnectorThread(QObject* manager)
    : CNetMonSysLight(manager, QStringLiteral("udp messages manager server thread"))
{
}
