// Descriptors of the SSH and VMware types.
// Each type's settings table is zmt_<type>_s, and its descriptor points at it with
// ZMT_SETTINGS; the golden file of the settings tables guards every table.

#include "zmt_descriptors.h"
#include "zam_settings_tables.h"

#define ZMT_SETTINGS(table) static_cast<int>(sizeof(table) / sizeof(table[0])), 0, table

// 18 settings
const stZamMonitorType zmt_ssh = {
    "SSH (Remote Script or Program)",
    "Checks an SSH server with optional script execution.",
    "Checks an SSH server with optional execution of a script.",
    6, 60, "", 'n', 'y', 0x519, 0x518, 2, 256, 512,
    ZMT_SETTINGS(zmt_ssh_s)};

// 10 settings
const stZamMonitorType zmt_ssh_cpu = {
    "SSH CPU",
    "Monitors various CPU information on local or remote host via SSH.",
    "Monitors various CPU information on a remote computer via SSH.",
    3, 60, "", 'n', 'y', 0x419, 0x418, 2, 256, 1,
    ZMT_SETTINGS(zmt_ssh_cpu_s)};

// 12 settings
const stZamMonitorType zmt_ssh_memory = {
    "SSH Memory",
    "Monitors memory information on local or remote host via SSH.",
    "Monitors memory information on a remote computer via SSH.",
    3, 60, "", 'n', 'y', 0x419, 0x418, 2, 256, 2,
    ZMT_SETTINGS(zmt_ssh_memory_s)};

// 12 settings
const stZamMonitorType zmt_ssh_process = {
    "SSH Process",
    "Monitors various information about processes on local or remote host via SSH.",
    "Monitors various information about processes via SSH.",
    3, 60, "", 'n', 'n', 0x419, 0x418, 2, 256, 16,
    ZMT_SETTINGS(zmt_ssh_process_s)};

// 12 settings
const stZamMonitorType zmt_ssh_diskspace = {
    "SSH Disk space",
    "Monitors disk space information on local or remote host via SSH.",
    "Monitors disk space information via SSH.",
    3, 60, "", 'n', 'n', 0x419, 0x418, 2, 256, 4,
    ZMT_SETTINGS(zmt_ssh_diskspace_s)};

// 9 settings
const stZamMonitorType zmt_vmware_host = {
    "VMware Host",
    "Check VMware ESXi 6 Server information and total VMs information",
    "Check VMware ESXi 6 Server information",
    8, 60, "", 'n', 'y', 0x419, 0x418, 2, 2, 0,
    ZMT_SETTINGS(zmt_vmware_host_s)};

// 10 settings
const stZamMonitorType zmt_vmware_vm = {
    "VMware Virtual Machine",
    "Check VMware virtual machines information on VMware ESXi 6 Server",
    "Check VMware virtual machines information on VMware ESXi 6 Server",
    8, 60, "", 'n', 'y', 0x419, 0x418, 2, 2, 0,
    ZMT_SETTINGS(zmt_vmware_vm_s)};

// 7 settings
const stZamMonitorType zmt_vmware_datastore = {
    "VMware Datastore",
    "Check VMware datastore information on VMware ESXi 6 Server",
    "Check VMware datastore information on VMware ESXi 6 Server",
    8, 60, "", 'n', 'y', 0x419, 0x418, 2, 2, 0,
    ZMT_SETTINGS(zmt_vmware_datastore_s)};

