#include "zam_mtypes.h"

#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zmt_descriptors.h"

#include <cstdlib>

// Rows in index order: descriptor, poll, invalidate, init by event, term by event, exec by event.
// ZAM_POLL_PENDING marks a check that is not in yet; put its poll function there when it is.
#define ZAM_POLL_PENDING poll_not_ready

const stZamMonitorTypeRow zam_mtypes[ZAM_MONITOR_TYPE_COUNT] = {
    {&zmt_ping, poll_ping, nullptr, nullptr, nullptr, nullptr},
    {&zmt_tcp, poll_tcp, nullptr, nullptr, nullptr, nullptr},
    {&zmt_udp, poll_udp, nullptr, nullptr, nullptr, nullptr},
    {&zmt_smtp, poll_smtp, nullptr, nullptr, nullptr, nullptr},
    {&zmt_pop3, poll_pop3, nullptr, nullptr, nullptr, nullptr},
    {&zmt_imap, poll_imap, nullptr, nullptr, nullptr, nullptr},
    {&zmt_http, poll_http, invalidate_simple, nullptr, nullptr, nullptr},
    {&zmt_ftp, poll_ftp, nullptr, nullptr, nullptr, nullptr},
    {&zmt_diskspace, poll_diskspace, invalidate_diskspace, nullptr, nullptr, nullptr},
    {&zmt_file, poll_file, invalidate_file, nullptr, nullptr, nullptr},
    {&zmt_service, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_odbc, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_wmi, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_snmp, poll_snmp, invalidate_snmp, nullptr, nullptr, nullptr},
    {&zmt_program, poll_program, invalidate_program, nullptr, nullptr, nullptr},
    {&zmt_oracle, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_mysql, poll_mysql, nullptr, nullptr, nullptr, nullptr},
    {&zmt_mssql, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_advhttp, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_ssh, poll_ssh, invalidate_ssh, nullptr, nullptr, nullptr},
    {&zmt_dns, poll_dns, nullptr, nullptr, nullptr, nullptr},
    {&zmt_snmp_gentrap, nullptr, nullptr, init_snmp_gentrap, term_snmp_gentrap, nullptr},
    {&zmt_snmp_t_speed, poll_snmp_t_speed, invalidate_snmp_traffic, nullptr, nullptr, nullptr},
    {&zmt_snmp_t_volume, poll_snmp_t_volume, invalidate_snmp_traffic, nullptr, nullptr, nullptr},
    {&zmt_wmi_t_speed, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_wmi_t_volume, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_wmi_cpu, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_wmi_memory, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_wmi_process, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_snmp_cpu, poll_snmp_cpu, invalidate_snmp_cpu, nullptr, nullptr, nullptr},
    {&zmt_snmp_memory, poll_snmp_memory, invalidate_snmp_memory, nullptr, nullptr, nullptr},
    {&zmt_snmp_diskspace, poll_snmp_diskspace, invalidate_snmp_diskspace, nullptr, nullptr, nullptr},
    {&zmt_snmp_process, poll_snmp_process, invalidate_snmp_process, nullptr, nullptr, nullptr},
    {&zmt_ssh_cpu, poll_ssh_cpu, invalidate_ssh, nullptr, nullptr, nullptr},
    {&zmt_ssh_memory, poll_ssh_memory, invalidate_ssh, nullptr, nullptr, nullptr},
    {&zmt_ssh_process, poll_ssh_process, invalidate_ssh, nullptr, nullptr, nullptr},
    {&zmt_ssh_diskspace, poll_ssh_diskspace, invalidate_ssh, nullptr, nullptr, nullptr},
    {&zmt_wmi_diskspace, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_hyperv_host, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_hyperv_vm, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_hyperv_virtual_storage, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_hyperv_traffic, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_vmware_host, poll_vmware_host, invalidate_vmware, nullptr, nullptr, nullptr},
    {&zmt_vmware_vm, poll_vmware_vm, invalidate_vmware, nullptr, nullptr, nullptr},
    {&zmt_vmware_datastore, poll_vmware_datastore, invalidate_vmware, nullptr, nullptr, nullptr},
    {&zmt_python, poll_python, invalidate_python, nullptr, nullptr, nullptr},
    {&zmt_email_round_trip, poll_email_round_trip, nullptr, nullptr, nullptr, nullptr},
    {&zmt_event_log, nullptr, nullptr, nullptr, nullptr, nullptr},
    {&zmt_syslog, nullptr, nullptr, init_syslog, term_syslog, nullptr},
    {&zmt_pgsql, poll_pgsql, nullptr, nullptr, nullptr, nullptr},
};

const stZamMonitorTypeRow* zamMonitorTypeRow(unsigned index)
{
    return index < ZAM_MONITOR_TYPE_COUNT ? &zam_mtypes[index] : nullptr;
}

const char* zamMonitorTypeName(unsigned index)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(index);
    return row && row->descriptor && row->descriptor->name ? row->descriptor->name : "unknown";
}

int invalidate_simple(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon,
                      unsigned flags)
{
    if (!mon)
        return 0;
    if (flags & ZAM_INVALIDATE_CACHED_DATA) {
        free(mon->cachedData);
        mon->cachedData = nullptr;
    }
    if (flags & ZAM_INVALIDATE_PLUGIN_DATA) {
        free(mon->pluginData);
        mon->pluginData = nullptr;
    }
    return 0;
}

int poll_not_ready(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType* type, stZamMonitor* mon)
{
    setMonFailReasonFmt(mon, "Monitor type '%s' is not available in this agent build yet.",
                        type && type->name ? type->name : "unknown");
    return setMonFailure(mon);
}
