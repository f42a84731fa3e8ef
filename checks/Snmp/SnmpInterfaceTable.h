#pragma once
// An SNMP agent's network interface as discovery lists it, and the interface table text: the
// value of a discovery's entity-table section and of the "Interface Number" setting of a
// traffic monitor that enumeration made. RS (0x1E) separates the fields:
//   chosen RS "5" { RS index RS description RS type RS addresses ", "-joined RS bandwidth }
// The text starts with the chosen interface's ifIndex, which the counter poll reads back.
// Pure functions and a plain record; any thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

struct SSnmpNetworkInterface {
    uint32_t index = 0;          // ifIndex
    std::string description;     // ifDescr up to its first NUL
    uint64_t type = 0;           // ifType
    QStringList addresses;       // IPv4 addresses on it, in walk order, no duplicates
    std::string physAddress;     // "00:1a:2b"; empty when the agent gives no bytes
    uint64_t bandwidth = 0;      // kbit/s
};

constexpr char kInterfaceTableSeparator = '\x1e';

// "index(description)".
std::string makeChoosenInterface(const SSnmpNetworkInterface& interface);
std::string fillInterfacesTable(const QList<SSnmpNetworkInterface>& interfaces, const std::string& chosen);
bool containsLoopback(const QStringList& addresses);   // one starts with "127."
bool containsLinkLocal(const QStringList& addresses);  // one starts with "169.254"
bool isIPv6Address(const std::string& text);           // has a colon
// Lower-case two-digit hexadecimal bytes joined by ':'.
std::string physAddressText(const unsigned char* bytes, size_t length);
// ifSpeed (bit/s) and, when ifSpeed is saturated, ifHighSpeed (Mbit/s; negative: none) to
// kbit/s; an agent that reports less than 1000 bit/s gets 100000 kbit/s.
uint64_t interfaceBandwidthKbps(uint64_t ifSpeed, int64_t ifHighSpeed);
