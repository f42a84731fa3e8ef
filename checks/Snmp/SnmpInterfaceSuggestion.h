#pragma once
// Picks the interface that discovery suggests: one that carries the monitor's host address
// first, then one with an ordinary address, then loopback or link-local ones, then one without
// an address; within each kind the one with the most octets in and out. An interface without
// a physical address competes only while its kind has no candidate; one without traffic never
// wins. Plain value; one per discovery, any thread.

#include "SnmpInterfaceTable.h"

class SnmpInterfaceSuggestion
{
public:
    explicit SnmpInterfaceSuggestion(QString hostAddress) : m_host(std::move(hostAddress)) {}

    void consider(const SSnmpNetworkInterface& interface, uint64_t inOctets, uint64_t outOctets);
    // The chosen interface text; empty when no interface had traffic.
    std::string chosen() const;

private:
    struct Candidate {
        std::string text;
        bool carry = false;  // the 65th bit of in + out
        uint64_t traffic = 0;
    };
    Candidate m_best[4];
    QString m_host;
};
