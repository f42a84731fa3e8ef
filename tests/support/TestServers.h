#pragma once
#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

// Addresses and credentials of the local test servers that scripts/test-servers.sh starts on
// 127.0.0.1. scripts/test-servers.env holds the same values under the names given in
// envEntries(); test_TestServersEnv checks that both agree, so change them together.
namespace testservers {

inline constexpr const char* kDefaultDir = "/tmp/corvane-test-servers";
inline constexpr const char* kHost = "127.0.0.1";

// One login for SSH, FTP, POP3/IMAP, SMTP AUTH, HTTP basic auth, MariaDB and PostgreSQL.
inline constexpr const char* kUser = "zamtest";
inline constexpr const char* kPassword = "zt-Secret42";
inline constexpr const char* kDatabase = "zamtestdb";
// Passphrase of sshEncryptedKeyPath().
inline constexpr const char* kKeyPassphrase = "zt-keyphrase7";

// nginx. Paths: "/" (200, contains kHttpContentMarker), "/error" (500), "/redirect" (302 to
// "/index.html"), "/redirect-loop" (302 to itself), "/slow" (headers after 5 s), "/slow-body"
// (200 kB at 1 kB/s), "/echo" (answers the request body), "/secure/" (basic auth), others 404.
inline constexpr quint16 kHttpPort = 18701;
inline constexpr quint16 kHttpsPort = 18702;           // CA-signed certificate (caCertPath())
inline constexpr quint16 kHttpsSelfSignedPort = 18703; // selfSignedCertPath()
inline constexpr quint16 kHttpsExpiredPort = 18704;    // expiredCertPath(), expired in 2021
inline constexpr const char* kHttpContentMarker = "zam-content-marker";

// tinyproxy: an HTTP proxy that wants kUser/kPassword (basic). danted: SOCKS 4, and SOCKS 5
// that asks for kUser/kPassword when the client offers a login. Both reach only 127.0.0.0/8.
inline constexpr quint16 kHttpProxyPort = 18705;
inline constexpr quint16 kSocksPort = 18706;

// socat: every datagram comes back unchanged.
inline constexpr quint16 kUdpEchoPort = 18707;

// snmpd, UDP. The v3 users share the passwords; kSnmpV3BadPassUser exists only for
// wrong-password tests (net-snmp keeps a user's first localized keys for the whole process).
inline constexpr quint16 kSnmpPort = 18711;
inline constexpr const char* kSnmpCommunity = "zampublic";
inline constexpr const char* kSnmpRwCommunity = "zamprivate";
inline constexpr const char* kSnmpV3User = "zamsnmp";                // SHA + AES
inline constexpr const char* kSnmpV3AuthProtocol = "SHA";
inline constexpr const char* kSnmpV3AuthPassword = "zt-authpass1";
inline constexpr const char* kSnmpV3PrivProtocol = "AES";
inline constexpr const char* kSnmpV3PrivPassword = "zt-privpass1";
inline constexpr const char* kSnmpV3Md5DesUser = "zamsnmpmd5";       // MD5 + DES
inline constexpr const char* kSnmpV3AuthNoPrivUser = "zamsnmpauth";  // SHA, no privacy
inline constexpr const char* kSnmpV3NoAuthUser = "zamsnmpnoauth";
inline constexpr const char* kSnmpV3BadPassUser = "zamsnmpbad";      // SHA + AES
inline constexpr const char* kSnmpSysName = "corvane-snmp-test";
inline constexpr const char* kSnmpSysLocation = "test-rack-7";
// Fixture values below kSnmpFixtureOid: .1.1.0 Gauge32 4294967295, .1.2.0 INTEGER 50,
// .1.3.0 INTEGER 200, .1.4.0 "42.5", .1.5.0 INTEGER 2 (enumerated in ZAM-TEST-MIB),
// .1.6.0 text writable with kSnmpRwCommunity ("first" at start), .1.7.0 "plain text";
// Counter64 .2.1.0 = 2^63-1, .2.2.0 = 2^64-1, .2.3.0 = 2^53+1, and .2.4.0 a Counter32 that
// moves every second (pass script; snmpd caches its answers about 1 s).
inline constexpr const char* kSnmpFixtureOid = ".1.3.6.1.4.1.99999";

// Second snmpd with fixed host-resource figures (its real process table aside): processor
// loads 10, 20, 30, 41; ssCpuIdle 93, ssCpuUser 4, ssCpuSystem 3, ssSysInterrupts 1234,
// ssSysContext 5678; memTotalReal 2048000 KB, memAvailReal 512000 KB; the UCD disk "/";
// hrStorage rows (index: description, allocation units, size, used):
//   0: "/zero" (index 0), 1: "Physical memory" 1024 8388608 2097152,
//   3: "Virtual memory" 1024 12582912 3145728, 6: "Memory buffers", 10: "Swap space" 1024
//   4194304 1048576, 31: "/" 4096 4000 1000, 32: "/boot" 1024 1048576 262144,
//   40: "C:\ Label:System  Serial Number 1234", 99: "/broken" (Counter32 units, badhr only).
// Communities: all of it; no HOST-RESOURCES, no UCD disks and no ssCpuUser; no swap row
// description; with row 99; no HOST-RESOURCES; all of it again (for the table-cache test
// alone); and read-write for row 32's description only (and sysUpTime). snmpdFixtureLogPath()
// logs every answered variable.
// Traffic counters: sysUpTime is a fixed TimeTicks value (100000 at start) that the read-write
// community sets; the octet counters of ifIndex 1001 and 1002 (ifInOctets, ifOutOctets,
// ifHCInOctets, ifHCOutOctets) come from the files snmpdTrafficDir()/<OID>, "counter" or
// "counter64" then the value, one a line; a missing file is no value. snmpd keeps an answer
// about 1 s, so a test that changes a file waits until the agent shows the new value.
inline constexpr quint16 kSnmpFixturePort = 18712;
inline constexpr const char* kSnmpFixCommunity = "zamfix";
inline constexpr const char* kSnmpFixNoHrCommunity = "zamfixnohr";
inline constexpr const char* kSnmpFixNoSwapCommunity = "zamfixnoswap";
inline constexpr const char* kSnmpFixBadHrCommunity = "zamfixbadhr";
inline constexpr const char* kSnmpFixUcdDiskCommunity = "zamfixucd";
inline constexpr const char* kSnmpFixCacheCommunity = "zamfixcache";
inline constexpr const char* kSnmpFixRwCommunity = "zamfixrw";

// dnsmasq, UDP and TCP: authoritative for kDnsZone (SOA serial below) and for the root (NS).
// Names outside those zones are refused; unknown names inside get NXDOMAIN.
inline constexpr quint16 kDnsPort = 18713;
inline constexpr const char* kDnsZone = "zam.test";
inline constexpr quint32 kDnsSoaSerial = 2024061501u;
inline constexpr const char* kDnsAName = "www.zam.test";
inline constexpr const char* kDnsAAddress = "127.0.0.11";
inline constexpr const char* kDnsAaaaAddress = "::1";            // AAAA of kDnsAName
inline constexpr const char* kDnsPairName = "pair.zam.test";     // two A records
inline constexpr const char* kDnsPairAddress1 = "127.0.0.21";
inline constexpr const char* kDnsPairAddress2 = "127.0.0.22";
inline constexpr const char* kDnsMxHost = "mail.zam.test";       // MX of kDnsZone
inline constexpr int kDnsMxPref = 10;
inline constexpr const char* kDnsMxAddress = "127.0.0.12";
inline constexpr const char* kDnsMxHost2 = "mail2.zam.test";
inline constexpr int kDnsMxPref2 = 20;
inline constexpr const char* kDnsMxAddress2 = "127.0.0.13";
inline constexpr const char* kDnsCnameName = "alias.zam.test";   // CNAME to kDnsAName
inline constexpr const char* kDnsTxt = "corvane-test-txt";       // TXT of kDnsZone

// Both databases hold kDatabase with the table zam_items (id, name, amount, big), reset on
// every start to 3 rows:
// (1, 'one', 12.50, 3000000000), (2, 'two', 3.90, NULL), (3, 'three', 0.00, -1). TLS on.
inline constexpr quint16 kMysqlPort = 18715;
inline constexpr quint16 kPostgresPort = 18716;

// sshd (with SFTP): password and keys. The second also offers keyboard-interactive (PAM;
// a failed password there takes about 2.5 s).
inline constexpr quint16 kSshPort = 18722;
inline constexpr quint16 kSshKbdIntPort = 18723;

// SMTP: AUTH PLAIN/LOGIN allowed without TLS and no STARTTLS; STARTTLS with AUTH only after
// it; TLS from the start. Accepted messages land in smtpSpoolDir(), one file each (emptied
// on every start).
inline constexpr quint16 kSmtpPort = 18725;
inline constexpr quint16 kSmtpStartTlsPort = 18726;
inline constexpr quint16 kSmtpsPort = 18727;

// vsftpd: AUTH TLS offered (optional); TLS from the start; no TLS at all. Anonymous login
// works on each. The user's home holds "zamtest-hello.txt", the anonymous root "zamtest-anon.txt".
inline constexpr quint16 kFtpPort = 18731;
inline constexpr quint16 kFtpsImplicitPort = 18732;
inline constexpr quint16 kFtpNoTlsPort = 18733;
inline constexpr quint16 kFtpPasvFirst = 18760;
inline constexpr quint16 kFtpPasvLast = 18789;

// dovecot: STARTTLS offered on the plain ports; the mailbox starts with one message.
inline constexpr quint16 kPop3Port = 18741;
inline constexpr quint16 kPop3sPort = 18742;
inline constexpr quint16 kImapPort = 18743;
inline constexpr quint16 kImapsPort = 18744;
// A second login to the same mailbox whose password needs IMAP quoting (blank, quote, bracket).
inline constexpr const char* kQuotedUser = "zamquote";
inline constexpr const char* kQuotedPassword = "zt pa\"ss[1]";

// Every value above, under its name in scripts/test-servers.env.
std::vector<std::pair<QString, QString>> envEntries();
QString envFilePath();

// The servers' folder: $ZAM_TEST_SERVERS_DIR, else kDefaultDir.
QString rootDir();
QString caCertPath();          // signs serverCertPath(); SAN localhost and 127.0.0.1
QString serverCertPath();
QString serverKeyPath();
QString selfSignedCertPath();
QString expiredCertPath();
QString sshHostPublicKeyPath();  // the only host key (ed25519) of both sshd
QString sshKeyPath();            // ed25519 client key without passphrase; ".pub" beside it
QString sshEncryptedKeyPath();   // ed25519, passphrase kKeyPassphrase
QString sshRsaKeyPath();         // RSA in PEM form, no passphrase
QString smtpSpoolDir();
QString snmpdFixtureLogPath();
QString snmpdTrafficDir();
QString netnsExecScript();       // scripts/netns-exec.sh [--silent] COMMAND...

// Empty when the servers were started (scripts/test-servers.sh start), else why not.
QString notRunningReason();
// True when missing servers must fail a test instead of skipping it (ZAM_TEST_SERVERS_REQUIRED=1;
// the test command sets it after starting the servers).
bool required();

} // namespace testservers

// First line of a test that needs the servers: skips it when they are not running, or fails
// it when they are required.
#define ZAM_REQUIRE_TEST_SERVERS()                                                        \
    do {                                                                                  \
        const QString zamNotRunning_ = testservers::notRunningReason();                   \
        if (!zamNotRunning_.isEmpty()) {                                                  \
            if (testservers::required())                                                  \
                FAIL() << zamNotRunning_.toStdString();                                   \
            else                                                                          \
                GTEST_SKIP() << zamNotRunning_.toStdString();                             \
        }                                                                                 \
    } while (0)
