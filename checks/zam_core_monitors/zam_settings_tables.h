#pragma once
// Published settings tables of the monitor types with code. Each table keeps the order
// in which the central service shows the settings; names are matched byte for byte,
// leading blanks included. Sizes are fixed here so a table that grows or shrinks
// without its count fails to compile.

#include "zam_plugin_api.h"

// Service checks (zam_settings_service.cpp)
extern const stZamSettingDesc zmt_ping_s[2];
constexpr int zmt_ping_s_count = 2;
extern const stZamSettingDesc zmt_tcp_s[2];
constexpr int zmt_tcp_s_count = 2;
extern const stZamSettingDesc zmt_udp_s[3];
constexpr int zmt_udp_s_count = 3;
extern const stZamEnumRow zmt_mail_secure_connection_type_e[4];
extern const stZamSettingDesc zmt_smtp_s[13];
constexpr int zmt_smtp_s_count = 13;
extern const stZamEnumRow zmt_pop3_secure_connection_type_e[4];
extern const stZamSettingDesc zmt_pop3_s[7];
constexpr int zmt_pop3_s_count = 7;
extern const stZamSettingDesc zmt_imap_s[7];
constexpr int zmt_imap_s_count = 7;
extern const stZamEnumRow zmt_http_http_version_e[6];
extern const stZamEnumRow zmt_http_request_method_e[2];
extern const stZamEnumRow zmt_http_proxy_server_e[4];
extern const stZamEnumRow zmt_http_user_agent_e[15];
extern const stZamEnumRow zmt_http_start_from_e[3];
extern const stZamEnumRow zmt_http_finish_on_e[2];
extern const stZamSettingDesc zmt_http_s[19];
constexpr int zmt_http_s_count = 19;
extern const stZamEnumRow zmt_ftp_use_sftp_protocol_e[5];
extern const stZamSettingDesc zmt_ftp_s[6];
constexpr int zmt_ftp_s_count = 6;
extern const stZamEnumRow zmt_diskspace_type_e[2];
extern const stZamEnumRow zmt_diskspace_units_e[2];
extern const stZamSettingDesc zmt_diskspace_s[6];
constexpr int zmt_diskspace_s_count = 6;
extern const stZamSettingDesc zmt_file_s[4];
constexpr int zmt_file_s_count = 4;
extern const stZamEnumRow zmt_program_program_type_e[2];
extern const stZamEnumRow zmt_program_program_mode_e[2];
extern const stZamSettingDesc zmt_program_s[11];
constexpr int zmt_program_s_count = 11;
extern const stZamEnumRow zmt_mysql_use_ssl_tls_connection_e[2];
extern const stZamEnumRow zmt_mysql_allow_non_secure_authentication_e[2];
extern const stZamEnumRow zmt_mysql_use_folder_or_file_as_ca_path_e[2];
extern const stZamSettingDesc zmt_mysql_s[10];
constexpr int zmt_mysql_s_count = 10;
extern const stZamEnumRow zmt_dns_use_system_dns_servers_e[2];
extern const stZamEnumRow zmt_dns_request_type_e[4];
extern const stZamSettingDesc zmt_dns_s[4];
constexpr int zmt_dns_s_count = 4;
extern const stZamSettingDesc zmt_python_s[10];
constexpr int zmt_python_s_count = 10;
extern const stZamEnumRow zmt_email_round_trip_protocol_for_mail_inbox_query_e[2];
extern const stZamSettingDesc zmt_email_round_trip_s[23];
constexpr int zmt_email_round_trip_s_count = 23;
extern const stZamEnumRow zmt_pgsql_use_ssl_tls_connection_e[2];
extern const stZamSettingDesc zmt_pgsql_s[6];
constexpr int zmt_pgsql_s_count = 6;

// SNMP checks, SNMP generic trap and syslog (zam_settings_snmp.cpp)
extern const stZamEnumRow zmt_snmp_preset_e[4];
extern const stZamEnumRow zmt_snmp_counter_type_e[2];
extern const stZamEnumRow zmt_snmp_version_e[3];
extern const stZamEnumRow zmt_snmp_v3_authentication_mode_e[3];
extern const stZamEnumRow zmt_snmp_v3_privacy_protocol_e[3];
extern const stZamSettingDesc zmt_snmp_s[16];
constexpr int zmt_snmp_s_count = 16;
extern const stZamEnumRow zmt_snmp_gentrap_snmp_trap_type_e[9];
extern const stZamEnumRow zmt_snmp_gentrap_filter_trap_payload_with_a_regular_expression_e[2];
extern const stZamEnumRow zmt_snmp_gentrap_start_monitor_in_ok_state_e[2];
extern const stZamSettingDesc zmt_snmp_gentrap_s[22];
constexpr int zmt_snmp_gentrap_s_count = 22;
extern const stZamEnumRow zmt_snmp_t_speed_show_traffic_speed_as_e[3];
extern const stZamEnumRow zmt_snmp_t_speed_data_set_e[3];
extern const stZamSettingDesc zmt_snmp_t_speed_s[12];
constexpr int zmt_snmp_t_speed_s_count = 12;
extern const stZamEnumRow zmt_snmp_t_volume_show_traffic_volume_as_e[3];
extern const stZamSettingDesc zmt_snmp_t_volume_s[12];
constexpr int zmt_snmp_t_volume_s_count = 12;
extern const stZamEnumRow zmt_snmp_cpu_metric_e[5];
extern const stZamSettingDesc zmt_snmp_cpu_s[9];
constexpr int zmt_snmp_cpu_s_count = 9;
extern const stZamEnumRow zmt_snmp_memory_metric_e[3];
extern const stZamEnumRow zmt_snmp_memory_type_e[2];
extern const stZamEnumRow zmt_snmp_memory_units_e[2];
extern const stZamSettingDesc zmt_snmp_memory_s[11];
constexpr int zmt_snmp_memory_s_count = 11;
extern const stZamEnumRow zmt_snmp_diskspace_type_e[2];
extern const stZamEnumRow zmt_snmp_diskspace_units_e[3];
extern const stZamSettingDesc zmt_snmp_diskspace_s[11];
constexpr int zmt_snmp_diskspace_s_count = 11;
extern const stZamEnumRow zmt_snmp_process_metric_e[3];
extern const stZamSettingDesc zmt_snmp_process_s[11];
constexpr int zmt_snmp_process_s_count = 11;
extern const stZamSettingDesc zmt_syslog_s[12];
constexpr int zmt_syslog_s_count = 12;

// SSH and VMware checks (zam_settings_ssh_vmware.cpp)
extern const stZamEnumRow zmt_ssh_test_host_key_e[2];
extern const stZamEnumRow zmt_ssh_authentication_type_e[3];
extern const stZamEnumRow zmt_ssh_execute_script_e[3];
extern const stZamEnumRow zmt_ssh_how_to_run_a_script_e[3];
extern const stZamSettingDesc zmt_ssh_s[18];
constexpr int zmt_ssh_s_count = 18;
extern const stZamEnumRow zmt_ssh_cpu_metric_e[7];
extern const stZamSettingDesc zmt_ssh_cpu_s[10];
constexpr int zmt_ssh_cpu_s_count = 10;
extern const stZamEnumRow zmt_ssh_memory_metric_e[3];
extern const stZamEnumRow zmt_ssh_memory_type_e[2];
extern const stZamEnumRow zmt_ssh_memory_units_e[2];
extern const stZamSettingDesc zmt_ssh_memory_s[12];
constexpr int zmt_ssh_memory_s_count = 12;
extern const stZamEnumRow zmt_ssh_process_metric_e[3];
extern const stZamSettingDesc zmt_ssh_process_s[12];
constexpr int zmt_ssh_process_s_count = 12;
extern const stZamEnumRow zmt_ssh_diskspace_type_e[2];
extern const stZamEnumRow zmt_ssh_diskspace_units_e[3];
extern const stZamSettingDesc zmt_ssh_diskspace_s[12];
constexpr int zmt_ssh_diskspace_s_count = 12;
extern const stZamEnumRow zmt_vmware_cpu_measureunit_e[2];
extern const stZamEnumRow zmt_vmware_cpu_measureunit_percent_e[3];
extern const stZamEnumRow zmt_vmware_data_measureunit_e[2];
extern const stZamEnumRow zmt_vmware_data_measureunit_percent_e[3];
extern const stZamEnumRow zmt_vmware_speed_measureunit_e[2];
extern const stZamEnumRow zmt_vmware_host_metric_e[14];
extern const stZamSettingDesc zmt_vmware_host_s[9];
constexpr int zmt_vmware_host_s_count = 9;
extern const stZamEnumRow zmt_vmware_vm_metric_e[14];
extern const stZamSettingDesc zmt_vmware_vm_s[10];
constexpr int zmt_vmware_vm_s_count = 10;
extern const stZamEnumRow zmt_vmware_time_measureunit_e[2];
extern const stZamEnumRow zmt_vmware_datastore_metric_e[5];
extern const stZamSettingDesc zmt_vmware_datastore_s[7];
constexpr int zmt_vmware_datastore_s_count = 7;
