#pragma once
#include "DataNetworkServer.h"
#include "SyslogNetworkServerSlots.h"
#include "SyslogReceiver.h"

class SyslogLineManager;

// The syslog instance of the network server: the datagrams of each read go to the manager's
// queue as they are, and the manager parses them on its own thread.
// Threads and ownership: those of DataNetworkServer (the connector thread).
class SyslogNetworkServer : public DataNetworkServer<SyslogReceiver, SyslogLineManager, SyslogNetworkServerSlots>
{
public:
    SyslogNetworkServer(QObject* manager, int port);
    void onDatagramsReceived(DatagramBatchPtr batch) override;
};
