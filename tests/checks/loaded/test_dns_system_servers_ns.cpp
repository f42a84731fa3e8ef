// DNS and FTP monitors that rely on the system's resolver: run in private namespaces with a
// resolver file naming 127.0.0.1 and a dnsmasq of its own on port 53 there (the shared test
// servers cannot be reached from here), and a hosts file that knows no other names.

#include "support/PluginTestHost.h"
#include "support/PrivateNameFiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr unsigned kFtp = 7;
constexpr unsigned kDns = 20;

class SystemResolver : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_error = privatenames::install(s_dir->path(), "127.0.0.1 localhost\n");
        if (!s_error.isEmpty())
            return;
        s_dnsmasq = new QProcess;
        s_dnsmasq->setProcessChannelMode(QProcess::MergedChannels);
        s_dnsmasq->start(QStringLiteral("dnsmasq"),
                         {QStringLiteral("--keep-in-foreground"), QStringLiteral("--conf-file=/dev/null"),
                          QStringLiteral("--no-resolv"), QStringLiteral("--no-hosts"), QStringLiteral("--pid-file="),
                          QStringLiteral("--port=53"), QStringLiteral("--listen-address=127.0.0.1"),
                          QStringLiteral("--bind-interfaces"), QStringLiteral("--user=root"),
                          QStringLiteral("--log-facility=-"), QStringLiteral("--host-record=sys.zam.test,127.0.0.31"),
                          QStringLiteral("--host-record=sys.zam.test,127.0.0.32")});
        // dnsmasq says "started" once its sockets are bound.
        QByteArray said;
        while (!said.contains("started") && s_dnsmasq->waitForReadyRead(5000))
            said += s_dnsmasq->readAll();
        if (!said.contains("started"))
            s_error = QStringLiteral("dnsmasq did not start: ") + QString::fromLocal8Bit(said);
    }
    static void TearDownTestSuite()
    {
        if (s_dnsmasq) {
            s_dnsmasq->terminate();
            s_dnsmasq->waitForFinished(5000);
        }
        delete s_dnsmasq;
        s_dnsmasq = nullptr;
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
        ASSERT_TRUE(host.load()) << host.error().toStdString();
    }

    static void prepareDns(PluginTestRecord& rec, int useSystem, const char* hostName)
    {
        rec.mon.typeIndex = kDns;
        rec.mon.timeout = 3000;
        rec.setHost(hostName, "", true);
        rec.addSetting("Use System DNS Servers", nullptr, useSystem, 'e');
        rec.addSetting("Port", nullptr, 53, 'i');
        rec.addSetting("Request Type", nullptr, 1, 'e');
        rec.addSetting(" Request Data", "sys.zam.test", 0, 's');
    }

    static QTemporaryDir* s_dir;
    static QProcess* s_dnsmasq;
    static QString s_error;
    PluginTestHost host;
};

QTemporaryDir* SystemResolver::s_dir = nullptr;
QProcess* SystemResolver::s_dnsmasq = nullptr;
QString SystemResolver::s_error;

} // namespace

TEST_F(SystemResolver, DnsMonitorAsksTheSystemServers)
{
    PluginTestRecord rec;
    // The host is not asked when the system's servers are used.
    prepareDns(rec, 0, "nohost.zam.test");
    ASSERT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.sectionText(9), "127.0.0.31;127.0.0.32");
}

TEST_F(SystemResolver, HostsThatDoNotResolve)
{
    PluginTestRecord dns;
    prepareDns(dns, 1, "nohost.zam.test");
    EXPECT_EQ(host.poll(dns), 1);
    EXPECT_STREQ(dns.mon.failReason, "cannot resolve host IP address");

    PluginTestRecord ftp;
    ftp.mon.typeIndex = kFtp;
    ftp.mon.timeout = 3000;
    ftp.setHost("nohost.zam.test", "", true);
    ftp.addSetting("Port", nullptr, 21, 'i');
    ftp.addSetting("Use SFTP Protocol", nullptr, 0, 'e');
    ftp.addSetting("User Account for Authentication", nullptr, 0, 'c');
    EXPECT_EQ(host.poll(ftp), 1);
    EXPECT_STREQ(ftp.mon.failReason, "Couldn't resolve host name");
}
