// Settings tables of the SSH and VMware checks, as published through the type descriptors.
// Enumeration lists shared by several settings are defined once.

#include "zam_settings_tables.h"

const stZamEnumRow zmt_ssh_test_host_key_e[2] = {
    {"Yes", "", nullptr, 0, 0},
    {"No", "", " Host Key Fingerprint", 1, 0},
};

const stZamEnumRow zmt_ssh_authentication_type_e[3] = {
    {"By password", "", " Path to Public Key File, Path to Private Key File, Passphrase for Private Key", 0, 0},
    {"By public key", "", " Password", 1, 0},
    {"By public key or password", "", nullptr, 2, 0},
};

const stZamEnumRow zmt_ssh_execute_script_e[3] = {
    {"Yes (Standard mode)", "", nullptr, 0, 0},
    {"Yes (Nagios Plugin mode)", "", nullptr, 1, 0},
    {"No, just return connection time", "", " Script to Execute", 2, 0},
};

const stZamEnumRow zmt_ssh_how_to_run_a_script_e[3] = {
    {"Run shell command(s)", "", nullptr, 0, 0},
    {"Take a script from file", "", nullptr, 1, 0},
    {"Take a script from the text box below", "", nullptr, 2, 0},
};

// 19, "SSH (Remote Script or Program)"
const stZamSettingDesc zmt_ssh_s[18] = {
    {"Port", "SSH server port", 'i', 0, nullptr, 22, 1, 65535, 0, 0, nullptr},
    {"Test Host Key", "Test host identity", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_ssh_test_host_key_e},
    {" Host Key Fingerprint", "Valid host key fingerprint", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Authentication Type", "Authentication type", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_authentication_type_e},
    {" User Name", "User name", 's', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {" Password", "Password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {" Path to Public Key File", "Path to public key file", 'L', 0, "id_rsa.pub", 0, 0, 0, 0, 0, nullptr},
    {" Path to Private Key File", "Path to private key file", 'L', 0, "id_rsa", 0, 0, 0, 0, 0, nullptr},
    {" Passphrase for Private Key", "Passphrase for private key", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Execute Script", "Execute script", 'e', 0, nullptr, 2, 0, 0, 3, 0, zmt_ssh_execute_script_e},
    {" Script to Execute", "Specify the command to run on the server", 's', 0, "/usr/bin/w -h | /usr/bin/wc -l", 0, 0, 0, 0, 0, nullptr},
    {"Divide returned value by", "Divide obtained value by this number; use 1024 to convert bytes to kilobytes", 's', 0, "1.0", 0, 0, 0, 0, 0, nullptr},
    {"How to run a script", "How to run a script", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_how_to_run_a_script_e},
    {"Path to script", "Path to script", 'L', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Script body", "Script body", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Script parameters", "Script arguments", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Take delta", "Use value delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Normalize by time", "Use time normalized delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_ssh_cpu_metric_e[7] = {
    {"Total Active Time", "Average CPU load (%)", nullptr, 0, 0},
    {"User Time", "Calculates the percentage of time that process threads have been executing code in User Mode", nullptr, 1, 0},
    {"System Time", "Calculates the percentage of time that system process threads have been executing code", nullptr, 2, 0},
    {"Wait IO", "Shows the time that the processor spent waiting for I/O requests to complete", nullptr, 3, 0},
    {"Run queue length", "Shows the number of ready threads in the processor queue", nullptr, 4, 0},
    {"Interrupts per second", "Calculates the number of times the processor experiences an interrupt caused by a device", nullptr, 5, 0},
    {"Context switches per second", "Calculates the number of context switches per second", nullptr, 6, 0},
};

// 33, "SSH CPU"
const stZamSettingDesc zmt_ssh_cpu_s[10] = {
    {"Metric", "Select a property to monitor", 'e', 0, nullptr, 0, 0, 0, 7, 0, zmt_ssh_cpu_metric_e},
    {"Port", "SSH server port", 'i', 0, nullptr, 22, 1, 65535, 0, 0, nullptr},
    {"Test Host Key", "Test host identity", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_ssh_test_host_key_e},
    {" Host Key Fingerprint", "Valid host key fingerprint", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Authentication Type", "Authentication type", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_authentication_type_e},
    {" User Name", "User name", 's', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {" Password", "Password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {" Path to Public Key File", "Path to public key file", 'L', 0, "id_rsa.pub", 0, 0, 0, 0, 0, nullptr},
    {" Path to Private Key File", "Path to private key file", 'L', 0, "id_rsa", 0, 0, 0, 0, 0, nullptr},
    {" Passphrase for Private Key", "Passphrase for private key", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_ssh_memory_metric_e[3] = {
    {"Physical memory", "Monitors RAM size", nullptr, 0, 0},
    {"Swap space", "Monitors swap space", nullptr, 1, 0},
    {"Virtual memory", "Monitors virtual memory size", nullptr, 2, 0},
};

const stZamEnumRow zmt_ssh_memory_type_e[2] = {
    {"Free memory", "Shows free amount of selected memory type as performance data", nullptr, 0, 0},
    {"Used memory", "Shows used amount of selected memory type as performance data", nullptr, 1, 0},
};

const stZamEnumRow zmt_ssh_memory_units_e[2] = {
    {"Value in Megabytes", "Absolute value in megabytes", nullptr, 0, 0},
    {"Percentage of total memory", "Value relative to total amount of selected memory type", nullptr, 1, 0},
};

// 34, "SSH Memory"
const stZamSettingDesc zmt_ssh_memory_s[12] = {
    {"Metric", "Select a property to monitor", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_memory_metric_e},
    {"Type", "Type", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_ssh_memory_type_e},
    {"Units", "Units", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_ssh_memory_units_e},
    {"Port", "SSH server port", 'i', 0, nullptr, 22, 1, 65535, 0, 0, nullptr},
    {"Test Host Key", "Test host identity", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_ssh_test_host_key_e},
    {" Host Key Fingerprint", "Valid host key fingerprint", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Authentication Type", "Authentication type", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_authentication_type_e},
    {" User Name", "User name", 's', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {" Password", "Password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {" Path to Public Key File", "Path to public key file", 'L', 0, "id_rsa.pub", 0, 0, 0, 0, 0, nullptr},
    {" Path to Private Key File", "Path to private key file", 'L', 0, "id_rsa", 0, 0, 0, 0, 0, nullptr},
    {" Passphrase for Private Key", "Passphrase for private key", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_ssh_process_metric_e[3] = {
    {"Processes total", "Monitors number of running processes", nullptr, 0, 0},
    {"CPU usage total", "Monitors percentage of cpu usage by a process", nullptr, 1, 0},
    {"Memory usage total", "Monitors amount of memory needed by a process", nullptr, 2, 0},
};

// 35, "SSH Process"
const stZamSettingDesc zmt_ssh_process_s[12] = {
    {"Metric", "Select a property to monitor", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_process_metric_e},
    {"Name", "Process name", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Mandatory arguments", "Process arguments", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Port", "SSH server port", 'i', 0, nullptr, 22, 1, 65535, 0, 0, nullptr},
    {"Test Host Key", "Test host identity", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_ssh_test_host_key_e},
    {" Host Key Fingerprint", "Valid host key fingerprint", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Authentication Type", "Authentication type", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_authentication_type_e},
    {" User Name", "User name", 's', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {" Password", "Password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {" Path to Public Key File", "Path to public key file", 'L', 0, "id_rsa.pub", 0, 0, 0, 0, 0, nullptr},
    {" Path to Private Key File", "Path to private key file", 'L', 0, "id_rsa", 0, 0, 0, 0, 0, nullptr},
    {" Passphrase for Private Key", "Passphrase for private key", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_ssh_diskspace_type_e[2] = {
    {"Free disk space", "Show free disk space as performance data", nullptr, 0, 0},
    {"Used disk space", "Show used disk space as performance data", nullptr, 1, 0},
};

const stZamEnumRow zmt_ssh_diskspace_units_e[3] = {
    {"Value in megabytes", "Absolute value in megabytes", nullptr, 0, 0},
    {"Value in gigabytes", "Absolute value in gigabytes", nullptr, 1, 0},
    {"Percentage of total disk space", "Value relative to total disk space", nullptr, 2, 0},
};

// 36, "SSH Disk space"
const stZamSettingDesc zmt_ssh_diskspace_s[12] = {
    {"Path", "Path where the disk is mounted", 's', 0, "/", 0, 0, 0, 0, 0, nullptr},
    {"Type", "Type", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_ssh_diskspace_type_e},
    {"Units", "Units", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_diskspace_units_e},
    {"Port", "SSH server port", 'i', 0, nullptr, 22, 1, 65535, 0, 0, nullptr},
    {"Test Host Key", "Test host identity", 'e', 0, nullptr, 1, 0, 0, 2, 0, zmt_ssh_test_host_key_e},
    {" Host Key Fingerprint", "Valid host key fingerprint", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Authentication Type", "Authentication type", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_ssh_authentication_type_e},
    {" User Name", "User name", 's', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {" Password", "Password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {" Path to Public Key File", "Path to public key file", 'L', 0, "id_rsa.pub", 0, 0, 0, 0, 0, nullptr},
    {" Path to Private Key File", "Path to private key file", 'L', 0, "id_rsa", 0, 0, 0, 0, 0, nullptr},
    {" Passphrase for Private Key", "Passphrase for private key", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_vmware_cpu_measureunit_e[2] = {
    {"a value in MHz", "Show value in MHz", nullptr, 1, 0},
    {"a value in GHz", "Show value in GHz", nullptr, 2, 0},
};

const stZamEnumRow zmt_vmware_cpu_measureunit_percent_e[3] = {
    {"a value in MHz", "Show value in MHz", nullptr, 1, 0},
    {"a value in GHz", "Show value in GHz", nullptr, 2, 0},
    {"a value in percent", "Show value in percent", nullptr, 10, 0},
};

const stZamEnumRow zmt_vmware_data_measureunit_e[2] = {
    {"a value in megabytes", "Show value in megabytes", nullptr, 4, 0},
    {"a value in gigabytes", "Show value in gigabytes", nullptr, 5, 0},
};

const stZamEnumRow zmt_vmware_data_measureunit_percent_e[3] = {
    {"a value in megabytes", "Show value in megabytes", nullptr, 4, 0},
    {"a value in gigabytes", "Show value in gigabytes", nullptr, 5, 0},
    {"a value in percent", "Show value in percent", nullptr, 10, 0},
};

const stZamEnumRow zmt_vmware_speed_measureunit_e[2] = {
    {"a value in kbit/s", "Show value in kilobits per second", nullptr, 6, 0},
    {"a value in Mbit/s", "Show value in megabits per second", nullptr, 7, 0},
};

const stZamEnumRow zmt_vmware_host_metric_e[14] = {
    {"CPU Usage", "Show CPU usage on host", nullptr, 1, 0},
    {"CPU Total capacity", "Show total CPU capacity reserved by virtual machines", nullptr, 2, 0},
    {"Memory Active", "Show amount of memory usage on host", nullptr, 4, 0},
    {"Memory Consumed", "Show amount physical memory consumed by a host", nullptr, 5, 0},
    {"Memory Balloon", "Show amount of memory balloon size on host", nullptr, 7, 0},
    {"Memory Granted", "Show amount of host physical memory that is mapped for host", nullptr, 8, 0},
    {"Memory Shared common", "Show amount of guest physical memory that is shared with other virtual machines on host", nullptr, 9, 0},
    {"Memory Swap used", "Show amount of memory that is used by swap", nullptr, 10, 0},
    {"Network Usage", "Show Network utilization during the interval", nullptr, 11, 0},
    {"Network Receive", "Average amount of data received per second", nullptr, 12, 0},
    {"Network Transmit", "Show average amount of data transmitted per second", nullptr, 13, 0},
    {"Disk Usage", "Show number of bytes usage from the disk each second", nullptr, 14, 0},
    {"Disk Read", "Show number of bytes read from the disk each second", nullptr, 15, 0},
    {"Disk Write", "Show number of bytes write from the disk each second", nullptr, 16, 0},
};

// 42, "VMware Host"
const stZamSettingDesc zmt_vmware_host_s[9] = {
    {"CPU measurement units", "Choose units of measurement", 'e', 0, nullptr, 1, 1, 2, 2, 0, zmt_vmware_cpu_measureunit_e},
    {"CPU measurement units with percent", "Choose units of measurement", 'e', 0, nullptr, 1, 1, 10, 3, 0, zmt_vmware_cpu_measureunit_percent_e},
    {"Data measurement units", "Choose units of measurement", 'e', 0, nullptr, 4, 4, 5, 2, 0, zmt_vmware_data_measureunit_e},
    {"Data measurement units with percent", "Choose units of measurement", 'e', 0, nullptr, 4, 4, 10, 3, 0, zmt_vmware_data_measureunit_percent_e},
    {"Speed measurement units", "Choose units of measurement", 'e', 0, nullptr, 6, 6, 7, 2, 0, zmt_vmware_speed_measureunit_e},
    {"Metric", "Choose what value to show", 'e', 0, nullptr, 1, 1, 16, 14, 0, zmt_vmware_host_metric_e},
    {"Domain", "Domain name", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_vmware_vm_metric_e[14] = {
    {"CPU Usage", "Show CPU usage on virtual machine", nullptr, 1, 0},
    {"Memory Active", "Show active memory on virtual machine", nullptr, 3, 0},
    {"Memory Consumed", "Show consumed memory on virtual machine", nullptr, 6, 0},
    {"Memory Balloon", "Show baloon memory on virtual machine", nullptr, 7, 0},
    {"Memory Granted", "Amount of host physical memory or physical memory that is mapped for a virtual machine", nullptr, 8, 0},
    {"Network Usage", "Show Network utilization during the interval", nullptr, 11, 0},
    {"Network Receive", "Average amount of data received per second", nullptr, 12, 0},
    {"Network Transmit", "Show average amount of data transmitted per second", nullptr, 13, 0},
    {"Disk Usage", "Show number of bytes usage from the disk each second", nullptr, 14, 0},
    {"Disk Read", "Show number of bytes read from the disk each second", nullptr, 15, 0},
    {"Disk Write", "Show number of bytes write from the disk each second", nullptr, 16, 0},
    {"Total Space", "Show total disk space", nullptr, 17, 0},
    {"Free Space", "Show free disk space", nullptr, 18, 0},
    {"Usage Space", "Show used disk space", nullptr, 19, 0},
};

// 43, "VMware Virtual Machine"
const stZamSettingDesc zmt_vmware_vm_s[10] = {
    {"Virtual Machine Name", "Choose the name of the virtual machine to monitor", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"CPU measurement units", "Choose units of measurement", 'e', 0, nullptr, 1, 1, 2, 2, 0, zmt_vmware_cpu_measureunit_e},
    {"CPU measurement units with percent", "Choose units of measurement", 'e', 0, nullptr, 1, 1, 10, 3, 0, zmt_vmware_cpu_measureunit_percent_e},
    {"Data measurement units", "Choose units of measurement", 'e', 0, nullptr, 4, 4, 5, 2, 0, zmt_vmware_data_measureunit_e},
    {"Data measurement units with percent", "Choose units of measurement", 'e', 0, nullptr, 4, 4, 10, 3, 0, zmt_vmware_data_measureunit_percent_e},
    {"Speed measurement units", "Choose units of measurement", 'e', 0, nullptr, 6, 6, 7, 2, 0, zmt_vmware_speed_measureunit_e},
    {"Metric", "Choose what value to show", 'e', 0, nullptr, 1, 1, 19, 14, 0, zmt_vmware_vm_metric_e},
    {"Domain", "Domain name", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_vmware_time_measureunit_e[2] = {
    {"a value in milliseconds", "Show value in milliseconds", nullptr, 8, 0},
    {"a value in seconds", "Show value in seconds", nullptr, 9, 0},
};

const stZamEnumRow zmt_vmware_datastore_metric_e[5] = {
    {"Total Capacity", "Show total disk capacity", nullptr, 20, 0},
    {"Free space", "Show free disk space", nullptr, 21, 0},
    {"Uncommited", "Show uncommited disk space", nullptr, 22, 0},
    {"Read latency", "Show average time a read from the datastore takes", nullptr, 23, 0},
    {"Write latency", "Show average time a write to the datastore takes", nullptr, 24, 0},
};

// 44, "VMware Datastore"
const stZamSettingDesc zmt_vmware_datastore_s[7] = {
    {"Datastore Name", "Choose the name of the datastore to monitor", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Data measurement units", "Choose units of measurement", 'e', 0, nullptr, 4, 4, 5, 2, 0, zmt_vmware_data_measureunit_e},
    {"Time measurement units", "Choose units of measurement", 'e', 0, nullptr, 8, 8, 9, 2, 0, zmt_vmware_time_measureunit_e},
    {"Metric", "Choose what value to show", 'e', 0, nullptr, 20, 20, 24, 5, 0, zmt_vmware_datastore_metric_e},
    {"Domain", "Domain name", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
};
