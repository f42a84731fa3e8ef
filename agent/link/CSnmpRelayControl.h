#pragma once

#include "CRelayPeerLookup.h"
#include "CSnmpRedirAgent.h"

#include <memory>

class CSnmpReq;
class CSnmpData;

// A session's one relay: opens, replaces and closes it on the service's requests and passes
// the service's datagrams on. Peer names are resolved off the session's thread; the relay opens
// (or fails) when the answer comes back, and an answer for a relay that has gone is ignored.
// Threads: the session's thread only (the relay's socket lives there, and its event loop
// delivers lookup answers). Ownership: owns the relay and the lookup; the sink must outlive
// this object.
class CSnmpRelayControl
{
public:
    using MessageSink = CSnmpRedirAgent::MessageSink;

    // port: -1 reads "SNMP/UDPProxyPort"; 0 any free port (tests); else that port.
    // lookupTimeoutMs bounds each peer name lookup.
    explicit CSnmpRelayControl(MessageSink sink, int port = -1,
                               int lookupTimeoutMs = CRelayPeerLookup::kDefaultTimeoutMs);
    // The link is gone: the relay ends with code 3.
    ~CSnmpRelayControl();

    // Type 17: 0 opens (replacing any relay, code 4), 1 closes the relay of that id (code 1).
    void handleRequest(const CSnmpReq& request);
    // Type 19: to the peer when the id is the open relay's; dropped otherwise.
    bool handleData(const CSnmpData& data);
    // The link closed: ends the relay with code 3.
    void linkClosed();

    CSnmpRedirAgent* relay() const { return m_relay.get(); }

private:
    void endRelay(int code);
    void onPeerResolved(quint64 ticket, const QHostAddress& address, const QString& error);

    MessageSink m_sink;
    int m_port;
    int m_lookupTimeoutMs;
    std::unique_ptr<CSnmpRedirAgent> m_relay;
    std::unique_ptr<CRelayPeerLookup> m_lookup;   // made with the first name to resolve
    quint64 m_lookupTicket = 0;                   // the lookup the current relay waits for
};
