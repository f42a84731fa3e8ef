#pragma once
#include "SyslogNetworkServer.h"
#include "UdpConnectorThread.h"

// The syslog receiver's connector thread.
class SyslogNetworkThread : public UdpConnectorThread<SyslogNetworkServer>
{
public:
    using UdpConnectorThread::UdpConnectorThread;
};
