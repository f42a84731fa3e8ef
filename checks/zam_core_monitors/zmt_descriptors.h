#pragma once
// The 50 monitor-type descriptors, one per row of zam_mtypes.

#include "zam_plugin_api.h"

extern const stZamMonitorType zmt_ping;
extern const stZamMonitorType zmt_tcp;
extern const stZamMonitorType zmt_udp;
extern const stZamMonitorType zmt_smtp;
extern const stZamMonitorType zmt_pop3;
extern const stZamMonitorType zmt_imap;
extern const stZamMonitorType zmt_http;
extern const stZamMonitorType zmt_ftp;
extern const stZamMonitorType zmt_diskspace;
extern const stZamMonitorType zmt_file;
extern const stZamMonitorType zmt_service;
extern const stZamMonitorType zmt_odbc;
extern const stZamMonitorType zmt_wmi;
extern const stZamMonitorType zmt_snmp;
extern const stZamMonitorType zmt_program;
extern const stZamMonitorType zmt_oracle;
extern const stZamMonitorType zmt_mysql;
extern const stZamMonitorType zmt_mssql;
extern const stZamMonitorType zmt_advhttp;
extern const stZamMonitorType zmt_ssh;
extern const stZamMonitorType zmt_dns;
extern const stZamMonitorType zmt_snmp_gentrap;
extern const stZamMonitorType zmt_snmp_t_speed;
extern const stZamMonitorType zmt_snmp_t_volume;
extern const stZamMonitorType zmt_wmi_t_speed;
extern const stZamMonitorType zmt_wmi_t_volume;
extern const stZamMonitorType zmt_wmi_cpu;
extern const stZamMonitorType zmt_wmi_memory;
extern const stZamMonitorType zmt_wmi_process;
extern const stZamMonitorType zmt_snmp_cpu;
extern const stZamMonitorType zmt_snmp_memory;
extern const stZamMonitorType zmt_snmp_diskspace;
extern const stZamMonitorType zmt_snmp_process;
extern const stZamMonitorType zmt_ssh_cpu;
extern const stZamMonitorType zmt_ssh_memory;
extern const stZamMonitorType zmt_ssh_process;
extern const stZamMonitorType zmt_ssh_diskspace;
extern const stZamMonitorType zmt_wmi_diskspace;
extern const stZamMonitorType zmt_hyperv_host;
extern const stZamMonitorType zmt_hyperv_vm;
extern const stZamMonitorType zmt_hyperv_virtual_storage;
extern const stZamMonitorType zmt_hyperv_traffic;
extern const stZamMonitorType zmt_vmware_host;
extern const stZamMonitorType zmt_vmware_vm;
extern const stZamMonitorType zmt_vmware_datastore;
extern const stZamMonitorType zmt_python;
extern const stZamMonitorType zmt_email_round_trip;
extern const stZamMonitorType zmt_event_log;
extern const stZamMonitorType zmt_syslog;
extern const stZamMonitorType zmt_pgsql;
