#pragma once
#include "SyslogLineFilter.h"
#include "SyslogNetworkThread.h"
#include "UdpDataMatcher.h"
#include "UdpMessagesManager.h"

// The syslog receiver's component ("syslog lines manager", bit 64): the receiving manager
// over syslog lines and filters, listening on "Syslog/UDPReceiverPort" (default 514).
// Threads and ownership: those of UdpMessagesManager; built and stopped by the root.
class SyslogLineManager : public UdpMessagesManager<SyslogNetworkThread, UdpDataMatcher<SyslogLineFilter> >
{
    Q_OBJECT
public:
    static constexpr int kDefaultPort = 514;

    // Reads the port from the agent settings file.
    SyslogLineManager(QObject* parent, const QString& name, int subsystemBit);
    // On the given port (tests and tools).
    SyslogLineManager(QObject* parent, const QString& name, int subsystemBit, int port);

    static int configuredPort();
};
