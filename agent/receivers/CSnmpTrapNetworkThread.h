#pragma once
#include "CSnmpTrapNetworkServer.h"
#include "UdpConnectorThread.h"

// The trap receiver's connector thread.
class CSnmpTrapNetworkThread : public UdpConnectorThread<CSnmpTrapNetworkServer>
{
public:
    using UdpConnectorThread::UdpConnectorThread;
};
