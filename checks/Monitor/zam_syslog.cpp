#include "zam_monitor_functions.h"

#include "zam_host.h"
#include "zam_monitor_helpers.h"

// The daemon's syslog receiver serves these monitors; the library only forwards start and stop.
typedef int (*InitSyslogFn)(stZamMonitor*);
typedef void (*TermSyslogFn)(stZamMonitor*);

int init_syslog(stZamMonitor* mon, va_list)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initializing syslog"));
    const auto fn = reinterpret_cast<InitSyslogFn>(zamGetServiceData("int_initSyslog_ZamMonitor*"));
    if (!fn) {
        setMonFailReason(mon, "cannot get initialization function for Syslog monitor");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("init syslog done"));
    return fn(mon);
}

void term_syslog(stZamMonitor* mon, va_list)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("terminating syslog"));
    const auto fn = reinterpret_cast<TermSyslogFn>(zamGetServiceData("void_termSyslog_ZamMonitor*"));
    if (!fn) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("cannot get shutdown function for Syslog monitor"));
        return;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("term syslog done"));
    fn(mon);
}
