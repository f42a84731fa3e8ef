// Descriptors of the types this agent has no check for. Their settings are never read by any
// check; each descriptor still points at as many valid rows as its count says.

#include "zmt_descriptors.h"

static const stZamSettingDesc zmt_unimplemented_s[] = {
    {"Setting 1", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 2", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 3", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 4", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 5", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 6", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 7", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 8", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 9", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 10", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 11", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 12", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 13", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 14", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 15", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 16", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 17", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 18", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 19", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Setting 20", "Not used by this agent", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
};
constexpr int kPlaceholderRows = static_cast<int>(sizeof(zmt_unimplemented_s) / sizeof(zmt_unimplemented_s[0]));

static_assert(4 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_service = {
    "Windows Service",
    "Checks if a Windows service is running on local or remote host. You can restart the service using the Run program alert.",
    "Checks if a Windows service is running on local or remote host. You can restart the service using the Run program alert.",
    4, 60, "", 'n', 'n', 0x401, 0x400, 1, 0, 32,
    4, 0, zmt_unimplemented_s};

static_assert(4 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_odbc = {
    "ODBC Database",
    "Checks availability of ODBC data source with optional authentication and SQL query execution. Can be used to monitor MS SQL Server, MySQL and other databases.",
    "Checks availability of ODBC data source with optional authentication and SQL query execution. Can be used to monitor MS SQL Server, MySQL and other databases.",
    5, 60, "", 'n', 'n', 0x419, 0x418, 2, 0, 256,
    4, 0, zmt_unimplemented_s};

static_assert(10 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi = {
    "WMI Query",
    "Runs a predefined or custom WMI query to check a value on local or remote host.",
    "Runs a predefined or custom WMI query to check a value on local or remote host.",
    4, 60, "", 'n', 'y', 0x519, 0x518, 1, 64, 0,
    10, 0, zmt_unimplemented_s};

static_assert(5 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_oracle = {
    "Oracle Database",
    "Checks availability of an Oracle database with optional authentication and SQL query execution.",
    "Checks availability of an Oracle database with optional authentication and SQL query execution.",
    5, 60, "", 'n', 'n', 0x419, 0x418, 2, 0, 256,
    5, 0, zmt_unimplemented_s};

static_assert(13 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_mssql = {
    "MSSQL Database",
    "Checks availability of a MS SQL Server database with optional authentication and SQL query execution.",
    "Checks availability of a MS SQL Server database with optional authentication and SQL query execution.",
    5, 60, "", 'n', 'n', 0x419, 0x418, 1, 0, 256,
    13, 0, zmt_unimplemented_s};

static_assert(2 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_advhttp = {
    "Web Transaction monitor",
    "Allows to monitor complex web applications and e-business sites. You can record a user session in a built-in web browser and monitor will regularly replay this HTTP requests sequence checking web application performance from a user perspective. Support cookies, JavaScript, forms, dynamically generated pages, etc.",
    "Allows to monitor complex web applications and e-business sites. You can record a user session in a built-in web browser and monitor will regularly replay this HTTP requests sequence checking web application performance from a user perspective. Support cookies, JavaScript, forms, dynamically generated pages, etc.",
    2, 120, "msec", 'n', 'n', 0x401, 0x401, 2, 2, 0,
    2, 0, zmt_unimplemented_s};

static_assert(7 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi_t_speed = {
    "WMI Traffic Speed",
    "Monitors traffic speed (bandwidth usage) on local or remote host via WMI.",
    "Monitors traffic speed (bandwidth usage) on local or remote host via WMI.",
    7, 60, "", 'n', 'y', 0x421, 0x420, 1, 64, 64,
    7, 0, zmt_unimplemented_s};

static_assert(7 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi_t_volume = {
    "WMI Traffic Volume",
    "Counts traffic volume for specified time interval on local or remote host via WMI.",
    "Counts traffic volume for specified time interval on local or remote host via WMI.",
    7, 60, "", 'n', 'y', 0x441, 0x440, 1, 64, 64,
    7, 0, zmt_unimplemented_s};

static_assert(4 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi_cpu = {
    "WMI CPU",
    "Runs WMI query to check CPU information on local or remote host.",
    "Runs WMI query to check CPU information on local or remote host.",
    4, 60, "", 'n', 'y', 0x419, 0x418, 1, 64, 1,
    4, 0, zmt_unimplemented_s};

static_assert(6 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi_memory = {
    "WMI Memory",
    "Runs WMI query to check memory information on local or remote host.",
    "Runs WMI query to check memory information on local or remote host.",
    4, 60, "", 'n', 'y', 0x419, 0x418, 1, 64, 2,
    6, 0, zmt_unimplemented_s};

static_assert(6 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi_process = {
    "WMI Process",
    "Runs WMI query to check information for a specific process on local or remote host.",
    "Runs WMI query to check information for a specific process on local or remote host.",
    4, 60, "", 'n', 'n', 0x419, 0x418, 1, 64, 16,
    6, 0, zmt_unimplemented_s};

static_assert(6 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_wmi_diskspace = {
    "WMI Disk Space",
    "Runs WMI query to check disk space information on local or remote host.",
    "Runs WMI query to check disk space information on local or remote host.",
    4, 60, "", 'n', 'n', 0x419, 0x418, 1, 64, 4,
    6, 0, zmt_unimplemented_s};

static_assert(4 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_hyperv_host = {
    "Hyper-V Host",
    "Runs WMI query to check Hyper-V hypervisor information and total VMs information on local or remote host.",
    "Runs WMI query to check Hyper-V hypervisor information and total VMs information on local or remote host.",
    8, 60, "", 'n', 'y', 0x419, 0x418, 1, 64, 1,
    4, 0, zmt_unimplemented_s};

static_assert(5 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_hyperv_vm = {
    "Hyper-V Virtual Machine",
    "Runs WMI query to check Hyper-V virtual machines information on local or remote host.",
    "Runs WMI query to check Hyper-V virtual machines information on local or remote host.",
    8, 60, "", 'n', 'y', 0x419, 0x418, 1, 64, 3,
    5, 0, zmt_unimplemented_s};

static_assert(7 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_hyperv_virtual_storage = {
    "Hyper-V Virtual Storage",
    "Runs WMI query to check a Hyper-V virtual storage device information on local or remote host.",
    "Runs WMI query to check a Hyper-V virtual storage device information on local or remote host.",
    8, 60, "", 'n', 'y', 0x459, 0x458, 1, 64, 4,
    7, 0, zmt_unimplemented_s};

static_assert(9 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_hyperv_traffic = {
    "Hyper-V Network Traffic",
    "Runs WMI query to check traffic on a Hyper-V virtual network adapter on local or remote host.",
    "Runs WMI query to check traffic on a Hyper-V virtual network adapter on local or remote host.",
    8, 60, "", 'n', 'y', 0x461, 0x460, 1, 64, 64,
    9, 0, zmt_unimplemented_s};

static_assert(20 <= kPlaceholderRows, "placeholder rows");
const stZamMonitorType zmt_event_log = {
    "Windows Event Log",
    "Monitors number of events added to the event log for selected period.",
    "Monitors number of events added to the event log for selected period.",
    4, 60, "", 'n', 'n', 0x419, 0x418, 1, 0, 1024,
    20, 0, zmt_unimplemented_s};

