// Settings tables of the service checks, as published through the type descriptors.
// Enumeration lists shared by several settings are defined once.

#include "zam_settings_tables.h"

// 0, "PING"
const stZamSettingDesc zmt_ping_s[2] = {
    {"Packet Size, bytes", "Size of PING packet in bytes", 'i', 0, nullptr, 32, 32, 1024, 0, 0, nullptr},
    {"Reverse", "Reverse monitor (OK when communication failed)", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

// 1, "TCP"
const stZamSettingDesc zmt_tcp_s[2] = {
    {"Port", "TCP port to connect", 'i', 0, nullptr, 23, 1, 65535, 0, 0, nullptr},
    {"Reverse", "Reverse monitor (OK when communication failed)", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

// 2, "UDP"
const stZamSettingDesc zmt_udp_s[3] = {
    {"Port", "UDP port to send UDP datagram", 'i', 0, nullptr, 7, 1, 65535, 0, 0, nullptr},
    {"Data in Hex", "Hex-encoded data to send", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Expect Echo Response", "Select if UDP service is expected to send echo response", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_mail_secure_connection_type_e[4] = {
    {"None", "Don't use secure connection", nullptr, 0, 0},
    {"TLS, if available", "Use secure TLS connection is supported by server", nullptr, 1, 0},
    {"TLS", "Use secure TLS connection, or abort if not supported", nullptr, 2, 0},
    {"SSL", "Use secure SSL connection", nullptr, 3, 0},
};

// 3, "SMTP"
const stZamSettingDesc zmt_smtp_s[13] = {
    {"Port", "SMTP server port", 'i', 0, nullptr, 25, 1, 65535, 0, 0, nullptr},
    {"User Account for Authentication", "Select if SMTP server requires authentication", 'c', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Test Message", "Select to set monitor to send a test message with each poll", 'M', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"From", "Sender e-mail address", 's', 0, "$AdminFrom", 0, 0, 0, 0, 0, nullptr},
    {"To", "Recipient e-mail addresses", 's', 0, "$AdminMail", 0, 0, 0, 0, 0, nullptr},
    {"Subject", "Message subject", 's', 0, "SMTP server check", 0, 0, 0, 0, 0, nullptr},
    {"Content", "Message content", 't', 0, "This is a test message. Please ignore.", 0, 0, 0, 0, 0, nullptr},
    {"Secure Connection Type", "Choose secure connection type", 'e', 0, nullptr, 1, 0, 0, 4, 0, zmt_mail_secure_connection_type_e},
    {"Ignore SSL certificate errors", "Ignore various SSL certificate errors", 'y', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"Use TLS v1.0 only", "Use TLS v1.0 (for buggy servers that close connection if asked for a later version)", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"ReplyTo", "Reply To e-mail address", 's', 0, "$AdminFrom", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_pop3_secure_connection_type_e[4] = {
    {"None", "Don't use secure connection", nullptr, 0, 0},
    {"TLS, if available", "Use secure TLS connection if supported by server", nullptr, 1, 0},
    {"TLS", "Use secure TLS connection, or abort if not supported", nullptr, 2, 0},
    {"SSL", "Use secure SSL connection", nullptr, 3, 0},
};

// 4, "POP3"
const stZamSettingDesc zmt_pop3_s[7] = {
    {"Port", "POP3 server port", 'i', 0, nullptr, 110, 1, 65535, 0, 0, nullptr},
    {"User Account for Authentication", "Select if POP3 server requires authentication", 'c', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Secure Connection Type", "Choose secure connection type", 'e', 0, nullptr, 1, 0, 0, 4, 0, zmt_pop3_secure_connection_type_e},
    {"Ignore SSL certificate errors", "Ignore various SSL certificate errors", 'y', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"Use TLS v1.0 only", "Use TLS v1.0 (for buggy servers that close connection if asked for a later version)", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

// 5, "IMAP"
const stZamSettingDesc zmt_imap_s[7] = {
    {"Port", "IMAP server port", 'i', 0, nullptr, 143, 1, 65535, 0, 0, nullptr},
    {"User Account for Authentication", "Select if IMAP server requires authentication", 'c', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Secure Connection Type", "Choose secure connection type", 'e', 0, nullptr, 1, 0, 0, 4, 0, zmt_mail_secure_connection_type_e},
    {"Ignore SSL certificate errors", "Ignore various SSL certificate errors", 'y', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"Use TLS v1.0 only", "Use TLS v1.0 (for buggy servers that close connection if asked for a later version)", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_http_http_version_e[6] = {
    {"1.1", "HTTP Version 1.1", nullptr, 2, 0},
    {"2.0", "HTTP Version 2.0", nullptr, 3, 0},
    {"2.0 with TLS", "HTTP Version 2.0 with TLS", nullptr, 4, 0},
    {"2.0 Prior Knowledge", "HTTP Version 2.0 Prior Knowledge", nullptr, 5, 0},
    {"3.0", "HTTP Version 3.0", nullptr, 30, 0},
    {"3.0 Only", "HTTP Version 3.0 Only", nullptr, 31, 0},
};

const stZamEnumRow zmt_http_request_method_e[2] = {
    {"GET", "HTTP GET", " POST Data", 0, 0},
    {"POST", "HTTP POST", nullptr, 1, 0},
};

const stZamEnumRow zmt_http_proxy_server_e[4] = {
    {"No Proxy", "Direct HTTP connection", " Proxy Server URL,Proxy Server Login,Proxy Server Password", 0, 0},
    {"HTTP Proxy", "HTTP Proxy", nullptr, 1, 0},
    {"SOCKS 4", "SOCKS 4 Proxy", nullptr, 5, 0},
    {"SOCKS 5", "SOCKS 5 Proxy", nullptr, 6, 0},
};

const stZamEnumRow zmt_http_user_agent_e[15] = {
    {"Custom string", "", nullptr, 0, 0},
    {"Google Chrome", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/58.0.3029.110 Safari/537.36", " Custom string", 1, 0},
    {"Microsoft Edge", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/42.0.2311.135 Safari/537.36 Edge/12.246", " Custom string", 2, 0},
    {"MSIE 11", "Mozilla/5.0 (compatible, MSIE 11, Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko", " Custom string", 3, 0},
    {"MSIE 10", "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.1; WOW64; Trident/6.0)", " Custom string", 4, 0},
    {"MSIE 9", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Win64; x64; Trident/5.0", " Custom string", 5, 0},
    {"MSIE 8", "Mozilla/5.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 1.1.4322; .NET CLR 2.0.50727)", " Custom string", 6, 0},
    {"MSIE 7", "Mozilla/5.0 (Windows; U; MSIE 7.0; Windows NT 6.0; en-US)", " Custom string", 7, 0},
    {"MSIE 6", "Mozilla/5.0 (compatible; MSIE 6.0; Windows NT 5.1)", " Custom string", 8, 0},
    {"Firefox", "Mozilla/5.0 (Windows NT 6.3; WOW64; rv:53.0) Gecko/20100101 Firefox/53.0", " Custom string", 9, 0},
    {"Safari", "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_12_4) AppleWebKit/603.1.30 (KHTML, like Gecko) Version/10.1 Safari/603.1.30", " Custom string", 10, 0},
    {"Opera", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/57.0.2987.133 Safari/537.36 OPR/44.0.2510.1449", " Custom string", 11, 0},
    {"Android Webkit Browser", "Mozilla/5.0 (Linux; U; Android 4.0.3; en-US) AppleWebkit/534.30 (KHTML, like Gecko) Version/4.0 Mobile Safari/534.30", " Custom string", 12, 0},
    {"CURL", "curl/7.19.6 (i386-pc-win32) libcurl/7.19.6 OpenSSL/0.9.8k zlib/1.2.3", " Custom string", 13, 0},
    {"WGet", "Wget/1.8.1", " Custom string", 14, 0},
};

const stZamEnumRow zmt_http_start_from_e[3] = {
    {"connectStart", "The time from initiating connection to the server", nullptr, 0, 0},
    {"startTime", "The time from starting to retrieve the resource", nullptr, 1, 0},
    {"requestStart", "The time from starting to send the request for the resource", nullptr, 2, 0},
};

const stZamEnumRow zmt_http_finish_on_e[2] = {
    {"responseEnd", "Till receiving the last byte of the response (URL load time)", nullptr, 0, 0},
    {"responseStart", "Till receiving the first byte of the response (TTFB)", nullptr, 1, 0},
};

// 6, "HTTP(S)"
const stZamSettingDesc zmt_http_s[19] = {
    {"URL", "Address of a web resource to monitor.\n\nClick the link below to open monitored resource in a browser", 'u', 0, "http://$HostDNS", 0, 0, 0, 0, 0, nullptr},
    {"HTTP Version", "HTTP Version", 'e', 0, nullptr, 1, 0, 0, 6, 0, zmt_http_http_version_e},
    {"Request Method", "HTTP request method", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_http_request_method_e},
    {" POST Data", "POST request parameters", 't', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Login", "Login name used when server requires authentication. Basic, Digest and NTLM methods are supported", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "Password used when server requires authentication. Basic, Digest and NTLM methods are supported", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Proxy Server", "Type of a proxy server or indication of use of direct HTTP connection", 'e', 0, nullptr, 0, 0, 0, 4, 0, zmt_http_proxy_server_e},
    {" Proxy Server URL", "Proxy server URL with optional port number", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Proxy Server Login", "Login name used when proxy server requires authentication", 'l', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Proxy Server Password", "Password used when proxy server requires authentication", 'p', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"$Proxy Credentials Id", "Unix-like proxy credentials", 'i', 0, nullptr, -1, -1, 2147483647, 0, 0, nullptr},
    {"User Agent", "User Agent", 'e', 0, nullptr, 1, 0, 0, 15, 0, zmt_http_user_agent_e},
    {" Custom string", "Custom string for User-Agent parameter", 's', 0, "CorvaneMonitor/1.0 (+https://www.corvane.com)", 0, 0, 0, 0, 0, nullptr},
    {"Ignore HTTPS (SSL) errors", "Ignore various HTTPS (SSL certificate) errors", 'y', 0, nullptr, 1, 0, 0, 0, 0, nullptr},
    {"Custom HTTP headers", "Use custom HTTP headers", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {" HTTP headers", "Custom headers request parameters", 't', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Reverse", "Reverse monitor (OK when communication failed)", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Start from", "Starting point of measurement", 'e', 0, nullptr, 0, 0, 0, 3, 0, zmt_http_start_from_e},
    {"Finish on", "Final point of measurement", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_http_finish_on_e},
};

const stZamEnumRow zmt_ftp_use_sftp_protocol_e[5] = {
    {"Plain FTP", "Use Plain FTP", nullptr, 0, 0},
    {"SFTP (SSH FTP)", "Use SFTP (SSH FTP)", nullptr, 1, 0},
    {"FTPES (TLS explicitly)", "Use FTPES (TLS explicitly)", nullptr, 3, 0},
    {"FTPS (TLS implicitly)", "Use FTPS (TLS implicitly)", nullptr, 2, 0},
    {"FTPES, if available", "Use FTPES, if available", nullptr, 4, 0},
};

// 7, "FTP"
const stZamSettingDesc zmt_ftp_s[6] = {
    {"Port", "FTP server port", 'i', 0, nullptr, 21, 1, 65535, 0, 0, nullptr},
    {"Use SFTP Protocol", "Secure Connection Type", 'e', 0, nullptr, 4, 0, 4, 5, 0, zmt_ftp_use_sftp_protocol_e},
    {"User Account for Authentication", "Select if FTP server requires authentication", 'c', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Ignore FTP SSL certificate errors", "Ignore various SSL errors", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_diskspace_type_e[2] = {
    {"Free disk space", "Show free disk space as performance data", nullptr, 0, 0},
    {"Used disk space", "Show used disk space as performance data", nullptr, 1, 0},
};

const stZamEnumRow zmt_diskspace_units_e[2] = {
    {"Value in megabytes", "Absolute value in megabytes", nullptr, 0, 0},
    {"Percentage of total disk space", "Value relative to total disk space", nullptr, 1, 0},
};

// 8, "Disk space"
const stZamSettingDesc zmt_diskspace_s[6] = {
    {"Path (UNC or local path)", "Path to local or network shared folder", 'D', 0, "c:", 0, 0, 0, 0, 0, nullptr},
    {"Type", "Type", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_diskspace_type_e},
    {"Units", "Units", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_diskspace_units_e},
    {"Domain", "Domain name", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
};

// 9, "File"
const stZamSettingDesc zmt_file_s[4] = {
    {"Path (UNC or local path)", "Path to the file, local or shared", 'F', 0, "c:\\pagefile.sys", 0, 0, 0, 0, 0, nullptr},
    {"Domain", "Domain name", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_program_program_type_e[2] = {
    {"Run program", "Run command line executable or .bat file", nullptr, 0, 0},
    {"Run script", "Run Windows script", nullptr, 1, 0},
};

const stZamEnumRow zmt_program_program_mode_e[2] = {
    {"Standard", "First integer in the output is performance value", nullptr, 0, 0},
    {"Nagios Plugin", "Program output treated as Nagios plugin output", nullptr, 1, 0},
};

// 14, "Script or Program"
const stZamSettingDesc zmt_program_s[11] = {
    {"Path to Program File", "Path to Program File", 'L', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Program Parameters", "Program arguments", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Program Type", "Can be either executable / batch file or Windows Scripting Host script", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_program_program_type_e},
    {"Program Mode", "Supported modes are Standard and Nagios", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_program_program_mode_e},
    {"Divide returned value by", "Divide obtained value by this number; use 0.001 to convert second fractions to msec", 's', 0, "1.0", 0, 0, 0, 0, 0, nullptr},
    {"Run monitor As", "Run Script or Program locally using this account", 'C', 0, nullptr, 2, 0, 0, 0, 0, nullptr},
    {"Domain", "Domain name", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Take delta", "Use value delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Normalize by time", "Use time normalized delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_mysql_use_ssl_tls_connection_e[2] = {
    {"No", "Don't use SSL/TLS connection", "Trusted CA path", 0, 0},
    {"Yes", "Use SSL/TLS connection", nullptr, 1, 0},
};

const stZamEnumRow zmt_mysql_allow_non_secure_authentication_e[2] = {
    {"No", "Use secure authentication", nullptr, 0, 0},
    {"Yes", "Allow pre-4.1.1 authentication", nullptr, 1, 0},
};

const stZamEnumRow zmt_mysql_use_folder_or_file_as_ca_path_e[2] = {
    {"File", "Use path to file", nullptr, 0, 0},
    {"Folder", "Use path to folder", nullptr, 1, 0},
};

// 16, "MySQL Database"
const stZamSettingDesc zmt_mysql_s[10] = {
    {"Port", "MySQL database server port", 'i', 0, nullptr, 3306, 1, 65535, 0, 0, nullptr},
    {"Database Name", "MySQL database name", 's', 0, "MyMySQLDatabase", 0, 0, 0, 0, 0, nullptr},
    {"SQL Expression", "SQL expression to evaluate on server; first column of the first row is returned as a performance value", 's', 0, "SELECT COUNT(*) FROM ", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "Valid MySQL user name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "MySQL user password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Use SSL/TLS connection", "Use SSL/TLS connection", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_mysql_use_ssl_tls_connection_e},
    {"Trusted CA path", "The path name to a directory that contains trusted SSL CA certificates in pem format", 'w', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Allow non-secure authentication", "Set to 'Yes' to use MySQL client library version 5.6 or newer with servers that can use pre-4.1.1 authentication.", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_mysql_allow_non_secure_authentication_e},
    {"Trusted CA certificate", "The path name to trusted SSL CA certificate in pem format", 'w', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Use folder or file as CA path", "Specify a path to folder, which contains CA certificate or a path to certificate itself", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_mysql_use_folder_or_file_as_ca_path_e},
};

const stZamEnumRow zmt_dns_use_system_dns_servers_e[2] = {
    {"Yes", "Use DNS servers from system", "Port", 0, 0},
    {"No", "Use this host as DNS server", nullptr, 1, 0},
};

const stZamEnumRow zmt_dns_request_type_e[4] = {
    {"Test DNS server (returns response time in msec)", "Test availability of DNS server", " Request Data", 0, 0},
    {"Get IP by host name", "Get IP address for selected host name", nullptr, 1, 0},
    {"Get MX records for domain", "Get MX records (mail-server) for selected domain", nullptr, 2, 0},
    {"Get SOA number for selected domain", "Get SOA (domain record serial number) for selected domain", nullptr, 3, 0},
};

// 20, "DNS"
const stZamSettingDesc zmt_dns_s[4] = {
    {"Use System DNS Servers", "Use DNS servers from system settings, otherwise use this host as DNS server", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_dns_use_system_dns_servers_e},
    {"Port", "DNS server port", 'i', 0, nullptr, 53, 1, 65535, 0, 0, nullptr},
    {"Request Type", "Test DNS server, or get IP by host name, or get mail servers or SOA serial number for domain", 'e', 0, nullptr, 0, 0, 0, 4, 0, zmt_dns_request_type_e},
    {" Request Data", "Request IP for selected host, or mail servers (MX records) for specified domain", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
};

// 45, "Python script"
const stZamSettingDesc zmt_python_s[10] = {
    {"Path", "Full path to script", 'L', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Arguments", "Arguments supplied to the script", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Input data", "Python input data", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"Divide returned value by", "Divide obtained value by this number", 's', 0, "1.0", 0, 0, 0, 0, 0, nullptr},
    {"Run monitor As", "Run Python script locally using this account", 'C', 0, nullptr, 2, 0, 0, 0, 0, nullptr},
    {"Domain", "Domain for Authentication", 'd', 0, "$AdminDomain", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "Password to start the program or script", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Take delta", "Use value delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
    {"Normalize by time", "Use time normalized delta as monitor's performance", 'y', 0, nullptr, 0, 0, 0, 0, 0, nullptr},
};

const stZamEnumRow zmt_email_round_trip_protocol_for_mail_inbox_query_e[2] = {
    {"POP3", "Use POP3 protocol to get e-mail", nullptr, 0, 0},
    {"IMAP", "Use IMAP protocol to get e-mail", nullptr, 1, 0},
};

// 46, "Email Round-Trip"
const stZamSettingDesc zmt_email_round_trip_s[23] = {
    {"Protocol for mail inbox query", "Choose mail query protocol", 'e', 0, nullptr, 1, 0, 1, 2, 0, zmt_email_round_trip_protocol_for_mail_inbox_query_e},
    {"Use Custom SMTP Server", "Use custom SMTP Server", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"SMTP server", "SMTP Server", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"SMTP port", "SMTP server port", 'i', 0, nullptr, 25, 1, 65535, 0, 0, nullptr},
    {"Use SMTP authentication", "Use authentication", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"SMTP secure connection type", "Choose secure SMTP connection type", 'e', 0, nullptr, 1, 0, 0, 4, 0, zmt_mail_secure_connection_type_e},
    {"Use Custom POP3 Server", "Use custom POP3 Server", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"POP3 server", "POP3 Server", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"POP3 port", "POP3 server port", 'i', 0, nullptr, 110, 1, 65535, 0, 0, nullptr},
    {"Use POP3 authentication", "Use authentication", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"POP3 secure connection type", "Choose secure POP3 connection type", 'e', 0, nullptr, 1, 0, 0, 4, 0, zmt_pop3_secure_connection_type_e},
    {"Use Custom IMAP Server", "Use custom IMAP Server", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"IMAP server", "IMAP Server", 's', 0, "", 0, 0, 0, 0, 0, nullptr},
    {"IMAP port", "IMAP server port", 'i', 0, nullptr, 143, 1, 65535, 0, 0, nullptr},
    {"Use IMAP authentication", "Use authentication", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"IMAP secure connection type", "Choose secure IMAP connection type", 'e', 0, nullptr, 1, 0, 0, 4, 0, zmt_mail_secure_connection_type_e},
    {"Use Custom IMAP Inbox folder", "Use custom IMAP inbox folder", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
    {"IMAP mail folder", "IMAP Input mail folder", 's', 0, "INBOX", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "User Name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "User password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"From", "Sender e-mail address", 'm', 0, "$AdminMail", 0, 0, 0, 0, 0, nullptr},
    {"To", "Recipient e-mail address", 'm', 0, "$AdminMail", 0, 0, 0, 0, 0, nullptr},
    {"Use custom From e-mail", "Use custom sender e-mail address", 'y', 0, nullptr, 0, 0, 1, 0, 0, nullptr},
};

const stZamEnumRow zmt_pgsql_use_ssl_tls_connection_e[2] = {
    {"No", "Don't use SSL/TLS connection", nullptr, 0, 0},
    {"Yes", "Require SSL/TLS connection", nullptr, 1, 0},
};

// 49, "PostgreSQL Database"
const stZamSettingDesc zmt_pgsql_s[6] = {
    {"Port", "PostgreSQL server port", 'i', 0, nullptr, 5432, 1, 65535, 0, 0, nullptr},
    {"Database Name", "PostgreSQL database name", 's', 0, "MyPostgresDatabase", 0, 0, 0, 0, 0, nullptr},
    {"SQL Expression", "SQL expression to evaluate on server; first column of the first row is returned as a performance value", 's', 0, "SELECT 1", 0, 0, 0, 0, 0, nullptr},
    {"User Name", "Valid PostgreSQL user name", 'l', 0, "$AdminName", 0, 0, 0, 0, 0, nullptr},
    {"Password", "PostgreSQL user password", 'p', 0, "$AdminPassword", 0, 0, 0, 0, 0, nullptr},
    {"Use SSL/TLS connection", "Use SSL/TLS connection", 'e', 0, nullptr, 0, 0, 0, 2, 0, zmt_pgsql_use_ssl_tls_connection_e},
};
