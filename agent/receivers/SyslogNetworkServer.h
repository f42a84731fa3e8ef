#pragma once
#include "DataNetworkServer.h"
#include "SyslogNetworkServerSlots.h"
#include "SyslogReceiver.h"

class SyslogLineManager;

// The syslog instance of the network server: each parsed line goes to the manager's queue.
// Threads and ownership: those of DataNetworkServer (the connector thread).
class SyslogNetworkServer : public DataNetworkServer<SyslogReceiver, SyslogLineManager, SyslogNetworkServerSlots>
{
public:
    SyslogNetworkServer(QObject* manager, int port);
    void onDataReceived(SyslogCallbackSharedDataPointer line) override;
};
