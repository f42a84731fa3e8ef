// Descriptors of the network, mail, web, file, disk, program, database, DNS, Python and mail
// round-trip types.
// Each type's settings table is zmt_<type>_s, and its descriptor points at it with
// ZMT_SETTINGS; the golden file of the settings tables guards every table.

#include "zmt_descriptors.h"
#include "zam_settings_tables.h"

#define ZMT_SETTINGS(table) static_cast<int>(sizeof(table) / sizeof(table[0])), 0, table

// 2 settings
const stZamMonitorType zmt_ping = {
    "PING",
    "Sends standard PING ICMP request to the host.",
    "Sends the standard PING to the host.",
    0, 30, "msec", 'n', 'y', 0x401, 0x401, 0, 512, 0,
    ZMT_SETTINGS(zmt_ping_s)};

// 2 settings
const stZamMonitorType zmt_tcp = {
    "TCP",
    "Checks whether the host accepts connection on the specified TCP port number.",
    "Checks whether the host accepts connection on the specified port number.",
    0, 30, "msec", 'n', 'y', 0x401, 0x401, 0, 1024, 0,
    ZMT_SETTINGS(zmt_tcp_s)};

// 3 settings
const stZamMonitorType zmt_udp = {
    "UDP",
    "Sends a UDP datagram to the specified port number and checks for optional echo response from the host.",
    "UDP datagram sending and receiving on the specified port number.",
    0, 30, "msec", 'n', 'n', 0x401, 0x401, 0, 1024, 0,
    ZMT_SETTINGS(zmt_udp_s)};

// 13 settings
const stZamMonitorType zmt_smtp = {
    "SMTP",
    "Checks an SMTP mail server with optional authentication, optionally sends a test message.",
    "Checks an SMTP server with optional authentication and can send a test message.",
    1, 60, "msec", 'n', 'y', 0x401, 0x401, 2, 8, 128,
    ZMT_SETTINGS(zmt_smtp_s)};

// 7 settings
const stZamMonitorType zmt_pop3 = {
    "POP3",
    "Checks a POP3 mail server with optional authentication.",
    "Checks a POP3 server with optional authentication.",
    1, 60, "msec", 'n', 'y', 0x401, 0x401, 2, 32, 128,
    ZMT_SETTINGS(zmt_pop3_s)};

// 7 settings
const stZamMonitorType zmt_imap = {
    "IMAP",
    "Checks an IMAP mail server with optional authentication.",
    "Checks an IMAP server with optional authentication.",
    1, 60, "msec", 'n', 'y', 0x401, 0x401, 2, 16, 128,
    ZMT_SETTINGS(zmt_imap_s)};

// 19 settings
const stZamMonitorType zmt_http = {
    "HTTP(S)",
    "Sends GET or POST HTTP/HTTPS request with optional response code check and content validation.",
    "Sends GET or POST HTTP/HTTPS request with optional checking of response code and validation of received content.",
    2, 60, "msec", 'n', 'y', 0x407, 0x407, 2, 2, 0,
    ZMT_SETTINGS(zmt_http_s)};

// 6 settings
const stZamMonitorType zmt_ftp = {
    "FTP",
    "Checks an FTP server with optional authentication.",
    "Checks an FTP server with optional authentication.",
    2, 60, "msec", 'n', 'y', 0xc01, 0xc01, 2, 4, 0,
    ZMT_SETTINGS(zmt_ftp_s)};

// 6 settings
const stZamMonitorType zmt_diskspace = {
    "Disk space",
    "Monitors free disk space of a local disk drive or network share.",
    "Monitors the free disk space of a local disk drive or a remote network share.",
    4, 60, "", 'n', 'n', 0x419, 0x418, 1, 0, 4,
    ZMT_SETTINGS(zmt_diskspace_s)};

// 4 settings
const stZamMonitorType zmt_file = {
    "File",
    "Monitors a file on a local disk drive or on network share. Checks if the file exists and if the file size is within given range.",
    "Monitors a file on a local disk drive or a network share. Checks if the file exists and the file size is within the given range.",
    4, 60, "MB", 'n', 'n', 0x419, 0x418, 1, 0, 8,
    ZMT_SETTINGS(zmt_file_s)};

// 11 settings
const stZamMonitorType zmt_program = {
    "Script or Program",
    "Runs an external program or script that returns either performance value or an error message.",
    "Runs an external program returning either a performance value or an error message.",
    6, 60, "", 'n', 'n', 0x519, 0x518, 16, 0, 512,
    ZMT_SETTINGS(zmt_program_s)};

// 10 settings
const stZamMonitorType zmt_mysql = {
    "MySQL Database",
    "Checks availability of a MySQL database with optional authentication and SQL query execution.",
    "Checks a MySQL database for availability with optional authentication and execution of SQL query.",
    5, 60, "", 'n', 'n', 0x419, 0x418, 2, 0, 256,
    ZMT_SETTINGS(zmt_mysql_s)};

// 4 settings
const stZamMonitorType zmt_dns = {
    "DNS",
    "Checks a DNS server availability and basic functionality.",
    "Checks a DNS server.",
    2, 60, "msec", 'n', 'y', 0x481, 0x481, 0, 1, 0,
    ZMT_SETTINGS(zmt_dns_s)};

// 10 settings
const stZamMonitorType zmt_python = {
    "Python script",
    "Runs a Python script that returns either performance value or an error message.",
    "Execute Python script",
    6, 60, "", 'n', 'y', 0x519, 0x518, 16, 0, 512,
    ZMT_SETTINGS(zmt_python_s)};

// 23 settings
const stZamMonitorType zmt_email_round_trip = {
    "Email Round-Trip",
    "Sends an e-mail message and then checks if it has been delivered.",
    "Sends an e-mail message and then checks if it has been delivered.",
    1, 60, "msec", 'n', 'y', 0x419, 0x418, 2, 56, 128,
    ZMT_SETTINGS(zmt_email_round_trip_s)};

// 6 settings
const stZamMonitorType zmt_pgsql = {
    "PostgreSQL Database",
    "Checks availability of a PostgreSQL database with optional authentication and SQL query execution.",
    "Checks a PostgreSQL database for availability with optional authentication and execution of SQL query.",
    5, 60, "", 'n', 'n', 0x419, 0x418, 2, 0, 256,
    ZMT_SETTINGS(zmt_pgsql_s)};

