#include "SnmpInterfaceSuggestion.h"

void SnmpInterfaceSuggestion::consider(const SSnmpNetworkInterface& interface, uint64_t inOctets, uint64_t outOctets)
{
    int kind = 1;
    if (!m_host.isEmpty() && interface.addresses.contains(m_host))
        kind = 0;
    else if (containsLoopback(interface.addresses) || containsLinkLocal(interface.addresses))
        kind = 2;
    else if (interface.addresses.isEmpty())
        kind = 3;
    Candidate& best = m_best[kind];
    if (interface.physAddress.empty() && !best.text.empty())
        return;
    const uint64_t traffic = inOctets + outOctets;
    const bool carry = traffic < inOctets;
    if (carry > best.carry || (carry == best.carry && traffic > best.traffic)) {
        best.text = makeChoosenInterface(interface);
        best.carry = carry;
        best.traffic = traffic;
    }
}

std::string SnmpInterfaceSuggestion::chosen() const
{
    for (const Candidate& c : m_best)
        if (!c.text.empty())
            return c.text;
    return {};
}
