#pragma once
#include "CSnmpTrapFilter.h"
#include "CSnmpTrapNetworkThread.h"
#include "SnmpTrapCredentials.h"
#include "UdpDataMatcher.h"
#include "UdpMessagesManager.h"

// The SNMP trap receiver's component ("snmp trap manager", bit 32): the receiving manager over
// traps and trap filters, listening on "SNMP/UDPTrapReceiverPort" (default 162), with the
// SNMPv3 users the service subscribes.
// Threads and ownership: those of UdpMessagesManager; built and stopped by the root. The
// credential table is its own; the agent link writes it, the receiver reads it (own lock),
// so no credential goes through the connector thread's server pointer.
class CSnmpTrapManager : public UdpMessagesManager<CSnmpTrapNetworkThread, UdpDataMatcher<CSnmpTrapFilter> >
{
    Q_OBJECT
public:
    static constexpr int kDefaultPort = 162;

    // Reads the port from the agent settings file.
    CSnmpTrapManager(QObject* parent, const QString& name, int subsystemBit);
    // On the given port (tests and tools).
    CSnmpTrapManager(QObject* parent, const QString& name, int subsystemBit, int port);

    static int configuredPort();

    // The SNMPv3 user a subscription carries; any thread. While the receiver does not listen
    // the user is dropped and the log says so.
    void updateCredentials(const SSnmpTrapCredential& credential);
    SnmpTrapCredentials& credentials() { return m_credentials; }

private:
    SnmpTrapCredentials m_credentials;
};
