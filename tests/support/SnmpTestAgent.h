#pragma once
// A scripted SNMP v1/v2c agent on 127.0.0.1 for the answers a real snmpd never gives: OIDs that
// repeat or go back in a walk, answers that come late. Each GET or GETNEXT goes to the script
// with the first variable's OID; its answer goes back as the response's one variable.
// Retransmissions of a request already answered are dropped, so a delay holds up only the
// request itself. Threads: the script runs on the agent's own thread (LoopbackUdpServer);
// `delayMs` is read there too.

#include "LoopbackUdpServer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class SnmpTestAgent
{
public:
    using Oid = std::vector<uint32_t>;
    struct Answer {
        Oid oid;
        int64_t integer = 0;
        unsigned char type = 0x02;  // INTEGER; 0x80/0x81/0x82 are the exception values
    };
    // `pduType` 0xA0 GET or 0xA1 GETNEXT.
    using Script = std::function<Answer(unsigned char pduType, const Oid& oid)>;

    explicit SnmpTestAgent(Script script);

    quint16 port() const { return m_server.port(); }
    bool ok() const { return m_server.ok(); }
    // Requests answered so far (retransmissions not counted).
    int answered() const { return m_answered.load(); }
    // Every answer waits this long before it leaves.
    std::atomic<int> delayMs{0};

    // A script that serves fixed INTEGER values like an agent: GET the exact OID (else
    // noSuchObject), GETNEXT the first one after it (else endOfMibView).
    static Script table(std::map<Oid, int64_t> values);
    // ".1.3.6" -> {1, 3, 6}.
    static Oid oid(const std::string& text);

private:
    std::string respond(const std::string& request);

    Script m_script;
    std::set<std::string> m_seen;  // request ids answered (agent thread only)
    std::atomic<int> m_answered{0};
    LoopbackUdpServer m_server;
};
