#include "TestServers.h"

#include "TestPaths.h"

#include <QFileInfo>

namespace testservers {

namespace {
QString n(qint64 v) { return QString::number(v); }
QString s(const char* v) { return QString::fromLatin1(v); }
} // namespace

std::vector<std::pair<QString, QString>> envEntries()
{
    return {
        {"ZAM_TS_DEFAULT_DIR", s(kDefaultDir)},
        {"ZAM_TS_HOST", s(kHost)},
        {"ZAM_TS_USER", s(kUser)},
        {"ZAM_TS_PASSWORD", s(kPassword)},
        {"ZAM_TS_DATABASE", s(kDatabase)},
        {"ZAM_TS_KEY_PASSPHRASE", s(kKeyPassphrase)},
        {"ZAM_TS_HTTP_PORT", n(kHttpPort)},
        {"ZAM_TS_HTTPS_PORT", n(kHttpsPort)},
        {"ZAM_TS_HTTPS_SELFSIGNED_PORT", n(kHttpsSelfSignedPort)},
        {"ZAM_TS_HTTPS_EXPIRED_PORT", n(kHttpsExpiredPort)},
        {"ZAM_TS_HTTP_PROXY_PORT", n(kHttpProxyPort)},
        {"ZAM_TS_SOCKS_PORT", n(kSocksPort)},
        {"ZAM_TS_UDP_ECHO_PORT", n(kUdpEchoPort)},
        {"ZAM_TS_SNMP_PORT", n(kSnmpPort)},
        {"ZAM_TS_SNMP_COMMUNITY", s(kSnmpCommunity)},
        {"ZAM_TS_SNMP_RW_COMMUNITY", s(kSnmpRwCommunity)},
        {"ZAM_TS_SNMP_V3_USER", s(kSnmpV3User)},
        {"ZAM_TS_SNMP_V3_AUTH_PROTOCOL", s(kSnmpV3AuthProtocol)},
        {"ZAM_TS_SNMP_V3_AUTH_PASSWORD", s(kSnmpV3AuthPassword)},
        {"ZAM_TS_SNMP_V3_PRIV_PROTOCOL", s(kSnmpV3PrivProtocol)},
        {"ZAM_TS_SNMP_V3_PRIV_PASSWORD", s(kSnmpV3PrivPassword)},
        {"ZAM_TS_SNMP_V3_MD5_DES_USER", s(kSnmpV3Md5DesUser)},
        {"ZAM_TS_SNMP_V3_AUTHNOPRIV_USER", s(kSnmpV3AuthNoPrivUser)},
        {"ZAM_TS_SNMP_V3_NOAUTH_USER", s(kSnmpV3NoAuthUser)},
        {"ZAM_TS_SNMP_V3_BADPASS_USER", s(kSnmpV3BadPassUser)},
        {"ZAM_TS_SNMP_SYSNAME", s(kSnmpSysName)},
        {"ZAM_TS_SNMP_SYSLOCATION", s(kSnmpSysLocation)},
        {"ZAM_TS_SNMP_FIXTURE_OID", s(kSnmpFixtureOid)},
        {"ZAM_TS_SNMP_FIXTURE_PORT", n(kSnmpFixturePort)},
        {"ZAM_TS_SNMP_FIX_COMMUNITY", s(kSnmpFixCommunity)},
        {"ZAM_TS_SNMP_FIX_NOHR_COMMUNITY", s(kSnmpFixNoHrCommunity)},
        {"ZAM_TS_SNMP_FIX_NOSWAP_COMMUNITY", s(kSnmpFixNoSwapCommunity)},
        {"ZAM_TS_SNMP_FIX_BADHR_COMMUNITY", s(kSnmpFixBadHrCommunity)},
        {"ZAM_TS_SNMP_FIX_UCDDISK_COMMUNITY", s(kSnmpFixUcdDiskCommunity)},
        {"ZAM_TS_SNMP_FIX_CACHE_COMMUNITY", s(kSnmpFixCacheCommunity)},
        {"ZAM_TS_SNMP_FIX_RW_COMMUNITY", s(kSnmpFixRwCommunity)},
        {"ZAM_TS_DNS_PORT", n(kDnsPort)},
        {"ZAM_TS_DNS_ZONE", s(kDnsZone)},
        {"ZAM_TS_DNS_SOA_SERIAL", n(kDnsSoaSerial)},
        {"ZAM_TS_DNS_A_NAME", s(kDnsAName)},
        {"ZAM_TS_DNS_A_ADDRESS", s(kDnsAAddress)},
        {"ZAM_TS_DNS_AAAA_ADDRESS", s(kDnsAaaaAddress)},
        {"ZAM_TS_DNS_PAIR_NAME", s(kDnsPairName)},
        {"ZAM_TS_DNS_PAIR_ADDRESS1", s(kDnsPairAddress1)},
        {"ZAM_TS_DNS_PAIR_ADDRESS2", s(kDnsPairAddress2)},
        {"ZAM_TS_DNS_MX_HOST", s(kDnsMxHost)},
        {"ZAM_TS_DNS_MX_PREF", n(kDnsMxPref)},
        {"ZAM_TS_DNS_MX_ADDRESS", s(kDnsMxAddress)},
        {"ZAM_TS_DNS_MX_HOST2", s(kDnsMxHost2)},
        {"ZAM_TS_DNS_MX_PREF2", n(kDnsMxPref2)},
        {"ZAM_TS_DNS_MX_ADDRESS2", s(kDnsMxAddress2)},
        {"ZAM_TS_DNS_CNAME_NAME", s(kDnsCnameName)},
        {"ZAM_TS_DNS_TXT", s(kDnsTxt)},
        {"ZAM_TS_MYSQL_PORT", n(kMysqlPort)},
        {"ZAM_TS_POSTGRES_PORT", n(kPostgresPort)},
        {"ZAM_TS_SSH_PORT", n(kSshPort)},
        {"ZAM_TS_SSH_KBDINT_PORT", n(kSshKbdIntPort)},
        {"ZAM_TS_SMTP_PORT", n(kSmtpPort)},
        {"ZAM_TS_SMTP_STARTTLS_PORT", n(kSmtpStartTlsPort)},
        {"ZAM_TS_SMTPS_PORT", n(kSmtpsPort)},
        {"ZAM_TS_FTP_PORT", n(kFtpPort)},
        {"ZAM_TS_FTPS_IMPLICIT_PORT", n(kFtpsImplicitPort)},
        {"ZAM_TS_FTP_NOTLS_PORT", n(kFtpNoTlsPort)},
        {"ZAM_TS_FTP_PASV_FIRST", n(kFtpPasvFirst)},
        {"ZAM_TS_FTP_PASV_LAST", n(kFtpPasvLast)},
        {"ZAM_TS_POP3_PORT", n(kPop3Port)},
        {"ZAM_TS_POP3S_PORT", n(kPop3sPort)},
        {"ZAM_TS_IMAP_PORT", n(kImapPort)},
        {"ZAM_TS_IMAPS_PORT", n(kImapsPort)},
        {"ZAM_TS_QUOTED_USER", s(kQuotedUser)},
        {"ZAM_TS_QUOTED_PASSWORD_HEX", QString::fromLatin1(QByteArray(kQuotedPassword).toHex())},
    };
}

QString envFilePath() { return testpaths::sourceDir() + QStringLiteral("/scripts/test-servers.env"); }

QString rootDir()
{
    const QString dir = qEnvironmentVariable("ZAM_TEST_SERVERS_DIR");
    return dir.isEmpty() ? s(kDefaultDir) : dir;
}

QString caCertPath() { return rootDir() + QStringLiteral("/certs/ca.crt"); }
QString serverCertPath() { return rootDir() + QStringLiteral("/certs/server.crt"); }
QString serverKeyPath() { return rootDir() + QStringLiteral("/certs/server.key"); }
QString selfSignedCertPath() { return rootDir() + QStringLiteral("/certs/selfsigned.crt"); }
QString expiredCertPath() { return rootDir() + QStringLiteral("/certs/expired.crt"); }
QString sshHostPublicKeyPath() { return rootDir() + QStringLiteral("/ssh/ssh_host_ed25519_key.pub"); }
QString sshKeyPath() { return rootDir() + QStringLiteral("/ssh/client/id_ed25519"); }
QString sshEncryptedKeyPath() { return rootDir() + QStringLiteral("/ssh/client/id_ed25519_enc"); }
QString sshRsaKeyPath() { return rootDir() + QStringLiteral("/ssh/client/id_rsa"); }
QString smtpSpoolDir() { return rootDir() + QStringLiteral("/smtp/spool"); }
QString snmpdFixtureLogPath() { return rootDir() + QStringLiteral("/snmpd-fixture/snmpd.log"); }
QString snmpdTrafficDir() { return rootDir() + QStringLiteral("/snmpd-fixture/traffic"); }
QString netnsExecScript() { return testpaths::sourceDir() + QStringLiteral("/scripts/netns-exec.sh"); }

QString notRunningReason()
{
    // the script writes this file only after every server answered, and removes it on stop
    if (QFileInfo::exists(rootDir() + QStringLiteral("/running")))
        return {};
    return QStringLiteral("test servers are not running in %1 (run: bash scripts/test-servers.sh start)")
        .arg(rootDir());
}

bool required() { return qEnvironmentVariable("ZAM_TEST_SERVERS_REQUIRED") == QLatin1String("1"); }

} // namespace testservers
