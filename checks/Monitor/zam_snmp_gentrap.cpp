#include "zam_monitor_functions.h"

#include "zam_host.h"
#include "zam_monitor_helpers.h"

// The daemon's trap receiver serves these monitors; the library only forwards start and stop.
typedef int (*InitSnmpGenTrapFn)(stZamMonitor*);
typedef void (*TermSnmpGenTrapFn)(stZamMonitor*);

int init_snmp_gentrap(stZamMonitor* mon, va_list)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("init trap"));
    const auto fn = reinterpret_cast<InitSnmpGenTrapFn>(zamGetServiceData("int_initSnmpGenTrap_ZamMonitor*"));
    if (!fn) {
        setMonFailReason(mon, "cannot get function for initialization of SNMP Generic Trap");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("init trap ok"));
    return fn(mon);
}

void term_snmp_gentrap(stZamMonitor* mon, va_list)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("term trap"));
    const auto fn = reinterpret_cast<TermSnmpGenTrapFn>(zamGetServiceData("void_termSnmpGenTrap_ZamMonitor*"));
    if (!fn) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("cannot get function for shutdown of SNMP Generic Trap"));
        return;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("term trap ok"));
    fn(mon);
}
