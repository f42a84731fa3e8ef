#pragma once
// Row functions of the monitor types and the database client start and end hooks.

#include "zam_mtypes.h"

#include <cstdint>

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

// Network checks.
int poll_ping(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_tcp(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_udp(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_http(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_ftp(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_dns(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
// Time budget of the socket checks (TCP, SMTP, POP3, IMAP): the larger of the monitor's
// time-out and 2000 ms; a discovery poll (mode 1) connects within 2000 ms.
void socketTimeBudget(const stZamMonitor* mon, int* totalMs, int* connectMs);

// Mail servers (rows 3, 4, 5).
int poll_smtp(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_pop3(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_imap(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);

// SSH (row 19; invalidate_ssh also serves the SSH resource rows).
int poll_ssh(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_ssh(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                   unsigned flags);
int poll_ssh_cpu(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_ssh_memory(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_ssh_process(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_ssh_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);

// VMware Host, Virtual Machine and Datastore (rows 42 to 44).
int poll_vmware_host(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_vmware_vm(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_vmware_datastore(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                          stZamMonitor* mon);
int invalidate_vmware(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                      unsigned flags);

// Programs and scripts (rows 14 and 45).
int poll_program(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_program(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                       unsigned flags);
int poll_python(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_python(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                      unsigned flags);
int poll_email_round_trip(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);

// SNMP Custom (row 13); SNMP CPU, Memory, Disk space and Process (rows 29 to 32).
int poll_snmp(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_snmp(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                    unsigned flags);
// SNMP Traffic Speed and Volume (rows 22 and 23), with their interface discovery.
int poll_snmp_t_speed(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_snmp_t_volume(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_snmp_traffic(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                            stZamMonitor* mon, unsigned flags);
// Local disk space and file (rows 8 and 9).
int poll_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                         unsigned flags);
int poll_file(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_file(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                    unsigned flags);

// Databases (rows 16 and 49).
int poll_mysql(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_pgsql(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int poll_snmp_cpu(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_snmp_cpu(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                        stZamMonitor* mon, unsigned flags);
int poll_snmp_memory(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_snmp_memory(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                        stZamMonitor* mon, unsigned flags);
int poll_snmp_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_snmp_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                        stZamMonitor* mon, unsigned flags);
int poll_snmp_process(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon);
int invalidate_snmp_process(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                        stZamMonitor* mon, unsigned flags);

