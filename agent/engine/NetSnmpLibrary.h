#pragma once
#include <QByteArray>

// Net-SNMP's process-wide set-up, shared by the checks library and the trap receiver: the
// library options, the local SNMPv3 engine ID (the trap receiver's, fixed) registered with
// its engine time, init_snmp, and the library's own messages routed into the daemon's log at
// a bounded rate.
// Threads: initOnce may be called from any thread, any number of times; the first call does
// the work under CPluginManager::snmpSharedMutex(), later ones wait for it and return.
namespace NetSnmpLibrary {

void initOnce();
bool isInitialized();
// 1A 3F 90 57 2B B6 85 AA. Net-SNMP reports it with engine boots 1 (it offers no way to say 0).
QByteArray localEngineId();

} // namespace NetSnmpLibrary
