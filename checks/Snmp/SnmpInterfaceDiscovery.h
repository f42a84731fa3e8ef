#pragma once
// Interface discovery and enumeration of the traffic monitors: walks the agent's IPv4
// addresses and interfaces, reads each interface's counters and identity, suggests one, and
// turns the list into a discovery section or new traffic monitors.
// Threads: the polling thread of the monitor; the session's set-up takes the shared SNMP lock
// (through CSnmpWorker), the walk runs without it.

#include "SnmpInterfaceTable.h"

struct stCoreZamContext;
struct stZamMonitor;
class ZamSnmpTrafficData;

// Upper bound of one walk (an agent could otherwise feed it for ever).
constexpr int kMaxInterfaceWalkRows = 100000;

// 0 with the list and the suggested interface text, else the failure's code with the reason
// set. Interfaces whose counters or identity cannot be read are left out.
int getInterfaces(stCoreZamContext* context, stZamMonitor* mon, QList<SSnmpNetworkInterface>& interfaces,
                  std::string& chosen);
int handleInterfacesForDiscovery(stZamMonitor* mon, int status, const QList<SSnmpNetworkInterface>& interfaces,
                                 const std::string& chosen);
int handleInterfacesForEnumeration(stZamMonitor* mon, int status, const QString& typeName,
                                   const QList<SSnmpNetworkInterface>& interfaces);
