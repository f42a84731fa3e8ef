// The "Email Round-Trip" monitor type through the loaded library: the options it gives the
// round-trip script (seen by a recording interpreter), its refusals, and real round trips
// through the test SMTP server into the mailbox dovecot serves over IMAP and POP3.

#include "zam_plugin_api.h"

#include <QString>
#include "support/PluginTestHost.h"
#include "support/SettableInterpreter.h"
#include "support/TestServers.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned kRoundTrip = 46;

struct Mail
{
    int protocol = 1; // IMAP
    int smtpPort = testservers::kSmtpPort;
    int smtpSecure = 1;
    int smtpAuth = 0;
    int customSmtp = 0;
    std::string smtpServer;
    int customPop3 = 0;
    std::string pop3Server;
    int customImap = 0;
    std::string imapServer;
    int readPort = testservers::kImapPort;
    int readSecure = 1;
    int readAuth = 1;
    int customFolder = 0;
    std::string folder = "INBOX";
    std::string password = testservers::kPassword;
    std::string from;
    std::string to = std::string(testservers::kUser) + "@zam.test";
    int customFrom = 0;
};

class EmailRoundTrip : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.setService(QStringLiteral("PluginGlobalSettings_getInterface"), reinterpret_cast<void*>(&globalSettings));
        ASSERT_TRUE(host.load()) << host.error().toStdString();
        interpreter().path = QStringLiteral("/usr/bin/python3");
    }
    int poll(PluginTestRecord& rec, const Mail& m, int timeoutMs = 20000)
    {
        rec.mon.typeIndex = kRoundTrip;
        rec.mon.timeout = timeoutMs;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("Protocol for mail inbox query", nullptr, m.protocol, 'e');
        rec.addSetting("Use Custom SMTP Server", nullptr, m.customSmtp, 'y');
        rec.addSetting("SMTP server", m.smtpServer.c_str());
        rec.addSetting("SMTP port", nullptr, m.smtpPort, 'i');
        rec.addSetting("Use SMTP authentication", nullptr, m.smtpAuth, 'y');
        rec.addSetting("SMTP secure connection type", nullptr, m.smtpSecure, 'e');
        rec.addSetting("Use Custom POP3 Server", nullptr, m.customPop3, 'y');
        rec.addSetting("POP3 server", m.pop3Server.c_str());
        rec.addSetting("POP3 port", nullptr, m.protocol == 0 ? m.readPort : 110, 'i');
        rec.addSetting("Use POP3 authentication", nullptr, m.readAuth, 'y');
        rec.addSetting("POP3 secure connection type", nullptr, m.readSecure, 'e');
        rec.addSetting("Use Custom IMAP Server", nullptr, m.customImap, 'y');
        rec.addSetting("IMAP server", m.imapServer.c_str());
        rec.addSetting("IMAP port", nullptr, m.protocol == 1 ? m.readPort : 143, 'i');
        rec.addSetting("Use IMAP authentication", nullptr, m.readAuth, 'y');
        rec.addSetting("IMAP secure connection type", nullptr, m.readSecure, 'e');
        rec.addSetting("Use Custom IMAP Inbox folder", nullptr, m.customFolder, 'y');
        rec.addSetting("IMAP mail folder", m.folder.c_str());
        rec.addSetting("User Name", testservers::kUser, 0, 'l');
        rec.addSetting("Password", m.password.c_str(), 0, 'p');
        rec.addSetting("From", m.from.c_str(), 0, 'm');
        rec.addSetting("To", m.to.c_str(), 0, 'm');
        rec.addSetting("Use custom From e-mail", nullptr, m.customFrom, 'y');
        return host.poll(rec);
    }

    PluginTestHost host;
};

TEST_F(EmailRoundTrip, OptionsGivenToTheScript)
{
    QTemporaryDir dir;
    const QString record = dir.filePath("args");
    const QString fake = dir.filePath("python");
    {
        QFile f(fake);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\nshift\nfor a in \"$@\"; do printf '%s|' \"$a\"; done > " + record + "\ncat >> " + record + ".stdin\n").toUtf8());
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    interpreter().path = fake;
    const QString hostText = QString::fromLatin1(testservers::kHost);
    struct Case { const char* what; int timeout; Mail mail; QString expected; };
    Mail defaults;
    defaults.readAuth = 0;
    Mail pop = defaults;
    pop.protocol = 0;
    pop.readPort = 110;
    Mail customFrom = defaults;
    customFrom.customFrom = 1;
    Mail smtpAuth = defaults;
    smtpAuth.smtpAuth = 1;
    smtpAuth.readAuth = 1;
    smtpAuth.smtpSecure = 3;
    const Case cases[] = {
        {"defaults", 30000, defaults,
         QStringLiteral("--host|%1|--timeout|30|--to|zamtest@zam.test|--smtp-port|18725|--smtp-secure-connection|starttls|"
                        "--read-host|%1|--read-secure-connection|starttls|--read-port|18743|").arg(hostText)},
        {"time-out rounded up", 30001, defaults,
         QStringLiteral("--host|%1|--timeout|31|--to|zamtest@zam.test|--smtp-port|18725|--smtp-secure-connection|starttls|"
                        "--read-host|%1|--read-secure-connection|starttls|--read-port|18743|").arg(hostText)},
        {"POP3", 30000, pop,
         QStringLiteral("--host|%1|--timeout|30|--to|zamtest@zam.test|--smtp-port|18725|--smtp-secure-connection|starttls|"
                        "--read-with|POP3|--read-host|%1|--read-secure-connection|starttls|--read-port|110|").arg(hostText)},
        {"empty From takes To", 30000, customFrom,
         QStringLiteral("--host|%1|--timeout|30|--to|zamtest@zam.test|--from|zamtest@zam.test|--smtp-port|18725|"
                        "--smtp-secure-connection|starttls|--read-host|%1|--read-secure-connection|starttls|--read-port|18743|").arg(hostText)},
        {"logins", 30000, smtpAuth,
         QStringLiteral("--host|%1|--timeout|30|--to|zamtest@zam.test|--smtp-port|18725|--smtp-secure-connection|ssl|--smtp-user|zamtest|"
                        "--read-host|%1|--read-secure-connection|starttls|--read-port|18743|--read-user|zamtest|").arg(hostText)},
    };
    for (const Case& c : cases) {
        QFile::remove(record);
        QFile::remove(record + ".stdin");
        PluginTestRecord rec;
        ASSERT_EQ(poll(rec, c.mail, c.timeout), 0) << c.what << ": " << rec.mon.failReason;
        QFile args(record);
        ASSERT_TRUE(args.open(QIODevice::ReadOnly)) << c.what;
        const QString seen = QString::fromUtf8(args.readAll());
        EXPECT_EQ(seen, c.expected) << c.what;
        EXPECT_FALSE(seen.contains(QString::fromLatin1(testservers::kPassword))) << "the password never on the command line";
        QFile input(record + ".stdin");
        ASSERT_TRUE(input.open(QIODevice::ReadOnly));
        EXPECT_EQ(input.readAll(), QByteArray(testservers::kPassword) + "\r\n");
        EXPECT_GE(rec.mon.perfValue, 1);
    }
}

TEST_F(EmailRoundTrip, SettingsRefusedBeforeAnythingRuns)
{
    struct Case { const char* what; Mail mail; const char* reason; };
    Mail badTo;
    badTo.to = "bad@";
    Mail blankTo;
    blankTo.to = "zamtest@zam.test ";
    Mail badFrom;
    badFrom.from = "not-an-address";
    Mail noSmtp;
    noSmtp.customSmtp = 1;
    noSmtp.smtpServer = "  ";
    Mail noImap;
    noImap.customImap = 1;
    noImap.imapServer = "";
    Mail noPop3;
    noPop3.protocol = 0;
    noPop3.customPop3 = 1;
    noPop3.pop3Server = "\t";
    Mail noFolder;
    noFolder.customFolder = 1;
    noFolder.folder = "";
    const Case cases[] = {
        {"To without a domain", badTo, "To e-mail format is invalid"},
        {"To with a trailing blank", blankTo, "To e-mail format is invalid"},
        {"From not an address", badFrom, "From e-mail format is invalid"},
        {"blank SMTP server", noSmtp, "SMTP server is empty"},
        {"blank IMAP server", noImap, "IMAP server is empty"},
        {"blank POP3 server", noPop3, "POP3 server is empty"},
        {"blank IMAP folder", noFolder, "IMAP folder is empty"},
    };
    for (const Case& c : cases) {
        PluginTestRecord rec;
        EXPECT_EQ(poll(rec, c.mail), 1) << c.what;
        EXPECT_STREQ(rec.mon.failReason, c.reason) << c.what;
    }
}

TEST_F(EmailRoundTrip, RealRoundTrips)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case { const char* what; int protocol; int smtpPort; int smtpSecure; int smtpAuth; int readPort; int readSecure; };
    const Case cases[] = {
        {"IMAP with STARTTLS", 1, testservers::kSmtpStartTlsPort, 2, 1, testservers::kImapPort, 2},
        {"IMAP over TLS", 1, testservers::kSmtpsPort, 3, 1, testservers::kImapsPort, 3},
        {"POP3 with STARTTLS", 0, testservers::kSmtpPort, 1, 0, testservers::kPop3Port, 2},
        {"POP3 over TLS", 0, testservers::kSmtpPort, 0, 0, testservers::kPop3sPort, 3},
    };
    for (const Case& c : cases) {
        Mail m;
        m.protocol = c.protocol;
        m.smtpPort = c.smtpPort;
        m.smtpSecure = c.smtpSecure;
        m.smtpAuth = c.smtpAuth;
        m.readPort = c.readPort;
        m.readSecure = c.readSecure;
        PluginTestRecord rec;
        EXPECT_EQ(poll(rec, m), 0) << c.what << ": " << rec.mon.failReason;
        EXPECT_GE(rec.mon.perfValue, 1) << c.what;
        EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
    }
    // a wrong password for the mailbox: the script's own words (the message goes to another
    // recipient, so nothing is left in the test user's mailbox)
    Mail wrong;
    wrong.to = "nobody@zam.test";
    wrong.password = "Wr0ng-Pa55";
    PluginTestRecord rec;
    EXPECT_EQ(poll(rec, wrong, 10000), 1);
    EXPECT_EQ(std::string(rec.mon.failReason).rfind("Reading from ", 0), 0u) << rec.mon.failReason;
    EXPECT_EQ(std::string(rec.mon.failReason).find(wrong.password), std::string::npos) << "the password is never printed";

    // an option value that begins with "-" is still that option's value
    Mail dashFolder;
    dashFolder.to = "nobody@zam.test";
    dashFolder.customFolder = 1;
    dashFolder.folder = "-NoSuchFolder";
    PluginTestRecord folder;
    EXPECT_EQ(poll(folder, dashFolder, 10000), 1);
    EXPECT_STREQ(folder.mon.failReason, "IMAP folder -NoSuchFolder cannot be opened");
}

} // namespace
