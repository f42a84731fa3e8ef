#pragma once
#include "CSnmpTrapNetworkServerSlots.h"
#include "CSnmpTrapReceiver.h"
#include "DataNetworkServer.h"

class CSnmpTrapManager;

// The trap instance of the network server: the traps of one read go to the manager's queue
// together (one wake-up of the manager a read, not one a trap).
// Threads and ownership: those of DataNetworkServer (the connector thread).
class CSnmpTrapNetworkServer : public DataNetworkServer<CSnmpTrapReceiver, CSnmpTrapManager, CSnmpTrapNetworkServerSlots>
{
public:
    CSnmpTrapNetworkServer(QObject* manager, int port);
    void onDataReceived(CSnmpTrapPtr trap) override;
};
