// Settings tables of the SNMP checks, SNMP generic trap and syslog, as published through the type descriptors.
// Enumeration lists shared by several settings are defined once.

#include "zam_settings_tables.h"

const stZamEnumRow zmt_snmp_preset_e[4] = {
    {"Single value (transform)", "Monitor a single SNMP value, optionally with delta and/or scale factor", nullptr, 0, 0},
    {"Percentage (100 × current ÷ capacity)", "Compute (current ÷ capacity) × 100 from two SNMP variables", nullptr, 1, 0},
    {"Difference (A − B)", "Compute the difference A − B from two SNMP variables", nullptr, 2, 0},
    {"Product (A × B)", "Compute the product A × B from two SNMP variables (e.g. V × I → W)", nullptr, 3, 0},
};

const stZamEnumRow zmt_snmp_counter_type_e[2] = {
    {"Current Value", "Display current value", nullptr, 0, 0},
    {"Value has changed", "Signalize upon a change of value", "Divide returned value by", 1, 0},
};

const stZamEnumRow zmt_snmp_version_e[3] = {
    {"v1", "Version 1 of SNMP protocol", " SNMP V3 User, SNMP V3 Authentication Mode, SNMP V3 Privacy Protocol, SNMP V3 Password, SNMP V3 Encryption Key", 0, 0},
    {"v2c", "Version 2c of SNMP protocol", " SNMP V3 User, SNMP V3 Authentication Mode, SNMP V3 Privacy Protocol, SNMP V3 Password, SNMP V3 Encryption Key", 1, 0},
    {"v3", "Version 3 of SNMP protocol", " Community String", 2, 0},
};

const stZamEnumRow zmt_snmp_v3_authentication_mode_e[3] = {
    {"None", "Don't use authentication", " SNMP V3 Privacy Protocol, SNMP V3 Password, SNMP V3 Encryption Key", 2, 0},
    {"MD5", "Authentication with MD5 algorithm", nullptr, 0, 0},
    {"SHA1", "Authentication with SHA1 algorithm", nullptr, 1, 0},
};

const stZamEnumRow zmt_snmp_v3_privacy_protocol_e[3] = {
    {"None", "Don't use privacy protocol", " SNMP V3 Encryption Key", 0, 0},
    {"DES", "Use DES protocol", nullptr, 1, 0},
    {"AES", "Use AES protocol", nullptr, 2, 0},
};

// 13, "SNMP Custom"
const stZamSettingDesc zmt_snmp_s[16] = {
    {"Preset", "Compute the metric from one or more SNMP variables", 'e', 0, nullptr, 0, 0, 0, 4, 0, zmt_snmp_preset_e},
    {"Take delta", "Use value delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Normalize by time", "Use time normalized delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"OID (SNMP variable to monitor)", "Object identifier of SNMP variable to monitor", 's', 0, ".1.3.6.1.2.1.1.3.0", 0, 0, 0, 0, 0, nullptr},
    {"Second OID (capacity / B / second factor)", "Object identifier of the second SNMP variable; used by\nmulti-OID presets (capacity / B / second factor).\nIgnored when Preset is \"Single value (transform)\".", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Counter Type", "What to monitor: SNMP variable value or delta between\ntwo polls, presence of value in the allowed values list\nor value changes", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_snmp_counter_type_e},
    {" Divide returned value by", "Divide obtained value by this number", 's', 0, "1.0", 0, 0, 0, 0, 0, nullptr},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
    {"Display Hint", "Object value display hint", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_snmp_gentrap_snmp_trap_type_e[9] = {
    {"linkUp/linkDown", "Monitor switches to OK and Down on receipt of linkUp or linkDown traps", "Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 0, 0},
    {"coldStart", "Monitor generates event on receipt of coldStart trap", "Interface,Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 1, 0},
    {"warmStart", "Monitor generates event on receipt of warmStart trap", "Interface,Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 2, 0},
    {"linkDown", "Monitor generates event on receipt of linkDown trap", "Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 3, 0},
    {"linkUp", "Monitor generates event on receipt of linkUp trap", "Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 4, 0},
    {"authenticationFailure", "Monitor generates event on receipt of authenticationFailure trap", "Interface,Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 5, 0},
    {"egpNeighborLoss", "Monitor generates event on receipt of egpNeighborLoss trap", "Interface,Custom SNMP Trap OID,Accepted trap object identifiers,Ignored trap object identifiers", 6, 0},
    {"Custom trap", "", "Interface,Accepted trap object identifiers,Ignored trap object identifiers", 7, 0},
    {"Custom trap, filtered by regexp", "Filter incoming Trap OID by regexps to accept or reject", "Interface,Custom SNMP Trap OID", 8, 0},
};

const stZamEnumRow zmt_snmp_gentrap_filter_trap_payload_with_a_regular_expression_e[2] = {
    {"No", "Do not filter Trap Payload by regexp", " Accepted payload regexp, Ignored payload regexp", 0, 0},
    {"Yes", "Filter Trap Payload by regexp", nullptr, 1, 0},
};

const stZamEnumRow zmt_snmp_gentrap_start_monitor_in_ok_state_e[2] = {
    {"No", "Start monitor in 'Unknown' state", nullptr, 0, 0},
    {"Yes", "Start monitor in 'OK' state", nullptr, 1, 0},
};

// 21, "SNMP Generic Trap"
const stZamSettingDesc zmt_snmp_gentrap_s[22] = {
    {"SNMP Trap Type", "Choose one of the generic traps or custom one", 'e', 0, nullptr, 0, 0, 0, 9, 0, zmt_snmp_gentrap_snmp_trap_type_e},
    {"Custom SNMP Trap OID", "OID of the custom trap to receive (in SNMPv2 format)", 'o', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Accepted trap object identifiers", "Regexp to accept Trap with matching OID", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Ignored trap object identifiers", "Regexp to ignore Trap with matching OID", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Interface", "Choose one of the interface to receive traps from", 'r', 0, "1", 0, 0, 0, 0, 0, nullptr},
    {"Community String", "Community string for authentication", 'o', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Filter trap payload with a regular expression", "Set to 'Yes' to filter Trap Payload by regular expression", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_snmp_gentrap_filter_trap_payload_with_a_regular_expression_e},
    {" Accepted payload regexp", "Regexp to accept Trap with matching Payload", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" Ignored payload regexp", "Regexp to ignore Trap with matching Payload", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Limit trap number", "Limit number of traps that could be accepted per time period", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Maximum trap number", "Maximum number of traps that could be accepted per time period", 'i', 0, nullptr, 10, 1, 2147483647, 0, 0, nullptr},
    {"Trap limitation time period", "Set the time interval for traps limitation", 'T', 0, nullptr, 3600, 1, 31536000, 0, 0, nullptr},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Accept any v1/v2c community string", "", 'y', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"Payload encoding", "Encoding to be used in Payload", 's', 0, "Undefined encoding (ASCII plain text / Raw hex)", 0, 0, 0, 0, 0, nullptr},
    {"Start monitor in OK state", "Set to 'Yes' to start this monitor in 'OK' state instead of 'Unknown'", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_snmp_gentrap_start_monitor_in_ok_state_e},
};

const stZamEnumRow zmt_snmp_t_speed_show_traffic_speed_as_e[3] = {
    {"the percentage of bandwidth", "Show value relative to the interface bandwidth", nullptr, 0, 0},
    {"a value in kbit/s", "Show an absolute value in 1000 bits per second", nullptr, 1, 0},
    {"a value in Mbit/s", "Show an absolute value in 1000000 bits per second", nullptr, 2, 0},
};

const stZamEnumRow zmt_snmp_t_speed_data_set_e[3] = {
    {"Total Traffic", "Use sum of the inbound and the outbound traffic as performance data", nullptr, 3, 0},
    {"Traffic In", "Use the inbound traffic as performance data", nullptr, 1, 0},
    {"Traffic Out", "Use the outbound traffic as performance data", nullptr, 2, 0},
};

// 22, "SNMP Traffic Speed"
const stZamSettingDesc zmt_snmp_t_speed_s[12] = {
    {"Interface Number", "Choose the interface for traffic monitoring", 'R', 0, "1", 0, 0, 2147483647, 0, 0, nullptr},
    {"Interface Bandwidth, kbits/s", "Bandwidth of the monitored interface", 'i', 0, nullptr, 0, 0, 2147483647, 0, 0, nullptr},
    {"Show Traffic Speed as", "Choose units to display the traffic speed", 'E', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_t_speed_show_traffic_speed_as_e},
    {"Data Set", "Choose the data set for performance values", 'e', 0, nullptr, 3, 1, 3, 3, 0, zmt_snmp_t_speed_data_set_e},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
};

const stZamEnumRow zmt_snmp_t_volume_show_traffic_volume_as_e[3] = {
    {"a value in kilobytes", "Show a value in 1000 bytes (8000 bits)", nullptr, 1, 0},
    {"a value in megabytes", "Show a value in 1000000 bytes (8000000 bits)", nullptr, 2, 0},
    {"a value in gigabytes", "Show a value in 1000000000 bytes (8000000000 bits)", nullptr, 3, 0},
};

// 23, "SNMP Traffic Volume"
const stZamSettingDesc zmt_snmp_t_volume_s[12] = {
    {"Interface Number", "Choose the interface for traffic monitoring", 'R', 0, "1", 0, 0, 2147483647, 0, 0, nullptr},
    {"Show Traffic Volume as", "Choose units to display the traffic volume", 'E', 0, nullptr, 2, 1, 3, 3, 0, zmt_snmp_t_volume_show_traffic_volume_as_e},
    {"Data Set", "Choose the data set for performance values", 'e', 0, nullptr, 3, 1, 3, 3, 0, zmt_snmp_t_speed_data_set_e},
    {"Traffic Volume Summation Period", "Set the length of period of time for which traffic data are gathered and summed", 'T', 0, nullptr, 86400, 1, 31536000, 0, 0, nullptr},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
};

const stZamEnumRow zmt_snmp_cpu_metric_e[5] = {
    {"Total Active Time", "Average CPU load (%)", nullptr, 0, 0},
    {"User Time", "Calculates the percentage of time that process threads have been executing code in User Mode", nullptr, 1, 0},
    {"System Time", "Calculates the percentage of time that system process threads have been executing code", nullptr, 2, 0},
    {"Interrupts per second", "Calculates the number of times the processor experiences an interrupt caused by a device", nullptr, 3, 0},
    {"Context switches per second", "Calculates the number of context switches per second", nullptr, 4, 0},
};

// 29, "SNMP CPU"
const stZamSettingDesc zmt_snmp_cpu_s[9] = {
    {"Metric", "Select a property to monitor", 'e', 0, nullptr, 0, 0, 0, 5, 0, zmt_snmp_cpu_metric_e},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
};

const stZamEnumRow zmt_snmp_memory_metric_e[3] = {
    {"Physical memory", "Monitors RAM size", nullptr, 0, 0},
    {"Swap space", "Monitors swap space", nullptr, 1, 0},
    {"Virtual memory", "Monitors virtual memory size", nullptr, 2, 0},
};

const stZamEnumRow zmt_snmp_memory_type_e[2] = {
    {"Free memory", "Shows free amount of selected memory type as performance data", nullptr, 0, 0},
    {"Used memory", "Shows used amount of selected memory type as performance data", nullptr, 1, 0},
};

const stZamEnumRow zmt_snmp_memory_units_e[2] = {
    {"Value in Megabytes", "Absolute value in megabytes", nullptr, 0, 0},
    {"Percentage of total memory", "Value relative to total amount of selected memory type", nullptr, 1, 0},
};

// 30, "SNMP Memory"
const stZamSettingDesc zmt_snmp_memory_s[11] = {
    {"Metric", "Select a property to monitor", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_memory_metric_e},
    {"Type", "Type", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_snmp_memory_type_e},
    {"Units", "Units", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_snmp_memory_units_e},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
};

const stZamEnumRow zmt_snmp_diskspace_type_e[2] = {
    {"Free disk space", "Show free disk space as performance data", nullptr, 0, 0},
    {"Used disk space", "Show used disk space as performance data", nullptr, 1, 0},
};

const stZamEnumRow zmt_snmp_diskspace_units_e[3] = {
    {"Value in megabytes", "Absolute value in megabytes", nullptr, 0, 0},
    {"Value in gigabytes", "Absolute value in gigabytes", nullptr, 1, 0},
    {"Percentage of total disk space", "Value relative to total disk space", nullptr, 2, 0},
};

// 31, "SNMP Disk space"
const stZamSettingDesc zmt_snmp_diskspace_s[11] = {
    {"Path", "Path where the disk is mounted", 's', 0, "/", 0, 0, 0, 0, 0, nullptr},
    {"Type", "Type", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_snmp_diskspace_type_e},
    {"Units", "Units", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_diskspace_units_e},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
};

const stZamEnumRow zmt_snmp_process_metric_e[3] = {
    {"Processes total", "Monitors number of running processes", nullptr, 0, 0},
    {"CPU usage total", "Monitors percentage of cpu usage by a process", nullptr, 1, 0},
    {"Memory usage total", "Monitors amount of memory needed by a process", nullptr, 2, 0},
};

// 32, "SNMP Process"
const stZamSettingDesc zmt_snmp_process_s[11] = {
    {"Metric", "Select a property to monitor", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_process_metric_e},
    {"Name", "Process name", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Mandatory arguments", "Process arguments", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"SNMP Version", "SNMP protocol version", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_version_e},
    {" Community String", "Community string for authentication", 's', 0, "vellum", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 User", "Security name for authentication", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Authentication Mode", "Authentication mode", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_snmp_v3_authentication_mode_e},
    {" SNMP V3 Password", "Pass phrase for authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {" SNMP V3 Privacy Protocol", "Privacy Protocol", 'e', 0, nullptr, 1, 0, 0, 3, 0, zmt_snmp_v3_privacy_protocol_e},
    {" SNMP V3 Encryption Key", "Pass phrase for encryption", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SNMP server port", 'i', 0, nullptr, 161, 1, 65535, 0, 0, nullptr},
};

// 48, "Syslog monitor"
const stZamSettingDesc zmt_syslog_s[12] = {
    {"Level", "Numbers of log severity to include", 'i', 0, nullptr, 0, 0, 255, 0, 0, nullptr},
    {"Facility", "Numbers of facility code to include", 'i', 0, nullptr, 0, 0, 16777215, 0, 0, nullptr},
    {"Application name", "Application name", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Process ID", "Process ID", 'i', 0, nullptr, -1, -1, 2147483647, 0, 0, nullptr},
    {"Message ID", "Message ID", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Structured data filter", "Structured data filter string", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Accepted message regexp", "Regexp to search in message", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Ignored message regexp", "Regexp to ignore message", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Filter message", "Turns on/off the regular expression filtering", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"Limit lines number", "Limit number of lines that could be accepted per time period", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Maximum lines number", "Maximum number of lines that could be accepted per time period", 'i', 0, nullptr, 10, 1, 2147483647, 0, 0, nullptr},
    {"Lines limitation time period", "Set the time interval for lines limitation", 'T', 0, nullptr, 3600, 1, 31536000, 0, 0, nullptr},
};
