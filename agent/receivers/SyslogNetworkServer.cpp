#include "SyslogNetworkServer.h"

SyslogNetworkServer::SyslogNetworkServer(QObject* manager, int port)
    : DataNetworkServer(manager)
{
    connect(receiver(), &SyslogReceiver::datagramsReceived, this, &SyslogNetworkServer::onDatagramsReceived);
    connect(receiver(), &SyslogReceiver::error, this, &SyslogNetworkServer::onError);
    receiver()->setSenderTest([this](const QString& sender) { return !sink() || sink()->acceptsSender(sender); });
    start(port);
}

void SyslogNetworkServer::onDatagramsReceived(DatagramBatchPtr batch)
{
    if (sink())
        sink()->postDatagrams(batch);
}
