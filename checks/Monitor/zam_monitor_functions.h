#pragma once
// Row functions of the monitor types and the database client start and end hooks.

#include "zam_mtypes.h"

struct stCoreZamThreadContext;

// SNMP generic trap (row 21) and syslog (row 48): served by the daemon's receivers.
int init_snmp_gentrap(stZamMonitor* mon, va_list args);
void term_snmp_gentrap(stZamMonitor* mon, va_list args);
int init_syslog(stZamMonitor* mon, va_list args);
void term_syslog(stZamMonitor* mon, va_list args);

// MySQL client library: per process and per polling thread.
void pluginMysqlInit();
void pluginMysqlTerm();
void pluginMysqlInitThread(stCoreZamThreadContext* tctx);
void pluginMysqlTermThread(stCoreZamThreadContext* tctx);
// PostgreSQL needs no start or end; kept for symmetry.
void pluginPgsqlInit();
void pluginPgsqlTerm();
void pluginPgsqlInitThread(stCoreZamThreadContext* tctx);
void pluginPgsqlTermThread(stCoreZamThreadContext* tctx);
