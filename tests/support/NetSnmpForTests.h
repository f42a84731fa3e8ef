#pragma once
// Net-SNMP for tests that talk SNMP themselves: once per process, without the machine's
// snmp.conf files and MIBs, so only the test's own settings count.

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>

inline void initNetSnmpForTests()
{
    static const bool initialised = [] {
        setenv("SNMPCONFPATH", "/nonexistent", 1);
        setenv("MIBS", "", 1);
        init_snmp("zamtests");
        return true;
    }();
    (void)initialised;
}
