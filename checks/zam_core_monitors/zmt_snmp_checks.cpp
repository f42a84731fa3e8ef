// Descriptors of the SNMP types and of the trap and syslog receiver types.
// Each type's settings table is zmt_<type>_s, and its descriptor points at it with
// ZMT_SETTINGS; the golden file of the settings tables guards every table.

#include "zmt_descriptors.h"
#include "zam_settings_tables.h"

#define ZMT_SETTINGS(table) static_cast<int>(sizeof(table) / sizeof(table[0])), 0, table

// 16 settings
const stZamMonitorType zmt_snmp = {
    "SNMP Custom",
    "Monitors the SNMP v1 / v2c / v3 performance counters on local or remote host and on any SNMP-enabled device, like router.",
    "Monitors the SNMP v1 / v2c / v3 performance counters.",
    3, 60, "", 'n', 'y', 0x509, 0x508, 4, 128, 0,
    ZMT_SETTINGS(zmt_snmp_s)};

// 22 settings
const stZamMonitorType zmt_snmp_gentrap = {
    "SNMP Generic Trap",
    "Handles v1/v2c/v3 SNMP generic traps.",
    "Handles SNMP generic traps.",
    3, 60, "", 'y', 'n', 0x1200, 0x1000, 4, 128, 0,
    ZMT_SETTINGS(zmt_snmp_gentrap_s)};

// 12 settings
const stZamMonitorType zmt_snmp_t_speed = {
    "SNMP Traffic Speed",
    "Monitors traffic speed (bandwidth usage) on local or remote host via SNMP.",
    "Monitors traffic speed (bandwidth usage) using SNMP.",
    7, 60, "", 'n', 'y', 0x421, 0x420, 4, 128, 64,
    ZMT_SETTINGS(zmt_snmp_t_speed_s)};

// 12 settings
const stZamMonitorType zmt_snmp_t_volume = {
    "SNMP Traffic Volume",
    "Counts traffic volume for specified time interval on local or remote host via SNMP.",
    "Counts traffic volume for specified period using SNMP.",
    7, 60, "", 'n', 'y', 0x441, 0x440, 4, 128, 64,
    ZMT_SETTINGS(zmt_snmp_t_volume_s)};

// 9 settings
const stZamMonitorType zmt_snmp_cpu = {
    "SNMP CPU",
    "Monitors CPU information on local or remote host via SNMP.",
    "Monitors CPU information on a remote computer via SNMP.",
    3, 60, "", 'n', 'y', 0x419, 0x418, 4, 128, 1,
    ZMT_SETTINGS(zmt_snmp_cpu_s)};

// 11 settings
const stZamMonitorType zmt_snmp_memory = {
    "SNMP Memory",
    "Monitors memory information on local or remote host via SNMP.",
    "Monitors memory information on a remote computer via SNMP.",
    3, 60, "", 'n', 'y', 0x419, 0x418, 4, 128, 2,
    ZMT_SETTINGS(zmt_snmp_memory_s)};

// 11 settings
const stZamMonitorType zmt_snmp_diskspace = {
    "SNMP Disk space",
    "Monitors disk space information on local or remote host via SNMP.",
    "Monitors disk space information via SNMP.",
    3, 60, "", 'n', 'n', 0x419, 0x418, 4, 128, 4,
    ZMT_SETTINGS(zmt_snmp_diskspace_s)};

// 11 settings
const stZamMonitorType zmt_snmp_process = {
    "SNMP Process",
    "Monitors various information about processes on local or remote host via SNMP.",
    "Monitors various information about processes via SNMP.",
    3, 60, "", 'n', 'n', 0x419, 0x418, 4, 128, 16,
    ZMT_SETTINGS(zmt_snmp_process_s)};

// 12 settings
const stZamMonitorType zmt_syslog = {
    "Syslog monitor",
    "Listens to incoming syslog messages.",
    "Listens to incoming syslog messages.",
    3, 60, "", 'y', 'n', 0x200, 0x0, 2, 1024, 1024,
    ZMT_SETTINGS(zmt_syslog_s)};

