#pragma once

#include "CSnmpRedirAgent.h"

#include <memory>

class CSnmpReq;
class CSnmpData;

// A session's one relay: opens, replaces and closes it on the service's requests and passes
// the service's datagrams on. Threads: the session's thread only (the relay's socket lives
// there). Ownership: owns the relay; the sink must outlive this object.
class CSnmpRelayControl
{
public:
    using MessageSink = CSnmpRedirAgent::MessageSink;

    // port: -1 reads "SNMP/UDPProxyPort"; 0 any free port (tests); else that port.
    explicit CSnmpRelayControl(MessageSink sink, int port = -1);
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

    MessageSink m_sink;
    int m_port;
    std::unique_ptr<CSnmpRedirAgent> m_relay;
};
