// The SMTP monitor type through the loaded library: the test SMTP server (plain, STARTTLS,
// TLS from the start, its spool of accepted messages) and scripted peers for the replies a real
// server does not give on demand.

#include "support/LineDialogue.h"
#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <string>

namespace {

constexpr unsigned kSmtp = 3;

struct Smtp {
    int64_t port = testservers::kSmtpPort;
    int secure = 0;
    int auth = 1;
    std::string user = testservers::kUser;
    std::string password = testservers::kPassword;
    int testMessage = 0;
    std::string from = "Zam Monitor <monitor@zam.test>";
    std::string to = "first@zam.test";
    std::string subject = "SMTP server check";
    std::string content = "This is a test message. Please ignore.";
    std::string replyTo = "monitor@zam.test";
    bool withReplyTo = true;
};

bool portOpen(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<uint16_t>(port));
    const bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    return open;
}

std::string b64(const std::string& text) { return QByteArray::fromStdString(text).toBase64().toStdString(); }

class SmtpCheck : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load()) << host.error().toStdString(); }

    void prepare(PluginTestRecord& rec, const Smtp& s, int timeoutMs = 5000, int mode = 0)
    {
        rec.mon.typeIndex = kSmtp;
        rec.mon.timeout = timeoutMs;
        rec.mon.mode = mode;
        rec.mon.logEnabled = 1;
        rec.setHost("", testservers::kHost, false);
        rec.addSetting("Port", nullptr, s.port, 'i');
        rec.addSetting("User Account for Authentication", nullptr, s.auth, 'c');
        rec.addSetting("User Name", s.user.c_str(), 0, 'l');
        rec.addSetting("Password", s.password.c_str(), 0, 'p');
        rec.addSetting("Test Message", nullptr, s.testMessage, 'M');
        rec.addSetting("From", s.from.c_str(), 0, 's');
        rec.addSetting("To", s.to.c_str(), 0, 's');
        rec.addSetting("Subject", s.subject.c_str(), 0, 's');
        rec.addSetting("Content", s.content.c_str(), 0, 't');
        rec.addSetting("Secure Connection Type", nullptr, s.secure, 'e');
        rec.addSetting("Ignore SSL certificate errors", nullptr, 1, 'y');
        rec.addSetting("Use TLS v1.0 only", nullptr, 0, 'y');
        if (s.withReplyTo)
            rec.addSetting("ReplyTo", s.replyTo.c_str(), 0, 's');
    }

    // The spooled message whose text holds the marker (the server writes it before its 250).
    static QByteArray spooled(const QByteArray& marker)
    {
        const QDir dir(testservers::smtpSpoolDir());
        for (const QString& name : dir.entryList({QStringLiteral("*.eml")}, QDir::Files)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray data = f.readAll();
                if (data.contains(marker))
                    return data;
            }
        }
        return {};
    }

    PluginTestHost host;
};

TEST_F(SmtpCheck, ConnectionTypesAgainstTheTestServer)
{
    ZAM_REQUIRE_TEST_SERVERS();
    struct Case {
        const char* name;
        int port;
        int secure;
        const char* password;
        int result;
        int resultCode;
        const char* reasonStart;  // null: no reason
    } cases[] = {
        {"plain", testservers::kSmtpPort, 0, testservers::kPassword, 0, -2, nullptr},
        {"STARTTLS if available, offered", testservers::kSmtpStartTlsPort, 1, testservers::kPassword, 0, -2, nullptr},
        {"STARTTLS required", testservers::kSmtpStartTlsPort, 2, testservers::kPassword, 0, -2, nullptr},
        {"TLS from the start", testservers::kSmtpsPort, 3, testservers::kPassword, 0, -2, nullptr},
        {"STARTTLS if available, not offered", testservers::kSmtpPort, 1, testservers::kPassword, 0, -2, nullptr},
        {"STARTTLS required, not offered", testservers::kSmtpPort, 2, testservers::kPassword, 1, 2, "Server returned "},
        {"wrong password", testservers::kSmtpPort, 0, "wrong", 1, 2, "535 "},
        // AUTH before TLS is refused there: a failed login, not a success
        {"login without the required TLS", testservers::kSmtpStartTlsPort, 0, testservers::kPassword, 1, 2, "5"},
        {"TLS to the plain port", testservers::kSmtpPort, 3, testservers::kPassword, 1, 2,
         "Could not connect to the SMTP server. Cannot start SSL negotiation: "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Smtp s;
        s.port = k.port;
        s.secure = k.secure;
        s.password = k.password;
        PluginTestRecord rec;
        prepare(rec, s);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), k.result) << rec.mon.failReason;
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_EQ(rec.mon.resultCode, k.resultCode);
        if (k.reasonStart) {
            EXPECT_EQ(std::string(rec.mon.failReason).rfind(k.reasonStart, 0), 0u) << rec.mon.failReason;
        } else {
            EXPECT_STREQ(rec.mon.failReason, "");
            EXPECT_GE(rec.mon.perfValue, 1);
            EXPECT_EQ(rec.mon.resultValue, rec.mon.perfValue);
        }
    }

    // a discovery only asks whether a server answers
    Smtp s;
    s.password = "wrong";
    PluginTestRecord rec;
    prepare(rec, s, 5000, 1);
    EXPECT_EQ(host.poll(rec), 0) << rec.mon.failReason;
    EXPECT_EQ(rec.mon.perfValue, 1);
}

TEST_F(SmtpCheck, TestMessageArrivesWhole)
{
    ZAM_REQUIRE_TEST_SERVERS();
    const std::string marker = QUuid::createUuid().toString(QUuid::Id128).toStdString();
    Smtp s;
    s.port = testservers::kSmtpStartTlsPort;
    s.secure = 2;
    s.testMessage = 1;
    s.to = "First One <first@zam.test>, second@zam.test";
    s.subject = "Pr\xc3\xbc" "fung der Zustellung \xe2\x9c\x93 " + std::string(40, 'x');
    // a line of only "." and one starting with "." must not end the message or be changed
    s.content = "marker " + marker + "\n.\n.starts with a dot\nQUIT\n..\nlast line";
    PluginTestRecord rec;
    prepare(rec, s);
    ASSERT_EQ(host.poll(rec), 0) << rec.mon.failReason;

    const QByteArray mail = spooled(QByteArray::fromStdString(marker));
    ASSERT_FALSE(mail.isEmpty());
    const int split = mail.indexOf("\r\n\r\n");
    ASSERT_GT(split, 0);
    const QString head = QString::fromLatin1(mail.left(split));
    const QByteArray body = mail.mid(split + 4);
    EXPECT_TRUE(body.startsWith(QByteArray::fromStdString("marker " + marker +
                                                          "\r\n.\r\n.starts with a dot\r\nQUIT\r\n..\r\nlast line")))
        << body.toStdString();

    EXPECT_EQ(head.count(QStringLiteral("X-Envelope-To: ")), 2) << head.toStdString();
    EXPECT_TRUE(head.contains(QStringLiteral("X-Envelope-To: first@zam.test\r\n")));
    EXPECT_TRUE(head.contains(QStringLiteral("X-Envelope-To: second@zam.test\r\n")));
    EXPECT_TRUE(head.contains(QStringLiteral("X-Envelope-From: monitor@zam.test\r\n")));
    EXPECT_TRUE(head.contains(QStringLiteral("\r\nX-Mailer: Corvane Monitor\r\n")));

    const QRegularExpressionMatch date = QRegularExpression(QStringLiteral("\r\nDate: ([^\r]+)\r\n")).match(head);
    ASSERT_TRUE(date.hasMatch());
    const QDateTime sent = QDateTime::fromString(date.captured(1), Qt::RFC2822Date);
    ASSERT_TRUE(sent.isValid()) << date.captured(1).toStdString();
    EXPECT_LT(qAbs(sent.secsTo(QDateTime::currentDateTime())), 120);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\r\nMessage-ID: <[0-9A-F]{32}\\.\\d{14}@zam\\.test>(\r\n|$)"))
                    .match(head)
                    .hasMatch())
        << head.toStdString();

    // the subject, folded into encoded words, reads back as sent
    const QRegularExpressionMatch subject =
        QRegularExpression(QStringLiteral("\r\nSubject: ((?:[^\r]|\r\n )+)\r\n")).match(head);
    ASSERT_TRUE(subject.hasMatch());
    QByteArray decoded;
    for (const QString& word : subject.captured(1).split(QStringLiteral("\r\n "))) {
        ASSERT_TRUE(word.startsWith(QLatin1String("=?UTF-8?B?")) && word.endsWith(QLatin1String("?=")));
        decoded += QByteArray::fromBase64(word.mid(10, word.size() - 12).toLatin1());
    }
    EXPECT_EQ(decoded.toStdString(), s.subject);
}

TEST_F(SmtpCheck, ScriptedReplies)
{
    const std::string user = b64(testservers::kUser) + "\r\n";
    const std::string password = b64(testservers::kPassword) + "\r\n";
    const std::string plainToken = b64(std::string(1, '\0') + testservers::kUser + '\0' + testservers::kPassword) + "\r\n";
    struct Case {
        const char* name;
        std::string greeting;
        std::vector<std::string> replies;
        int auth;
        int result;
        int resultCode;
        std::string reason;
        std::vector<std::string> commands;  // as received, without the EHLO/HELO name
    } cases[] = {
        {"AUTH on the last EHLO line, LOGIN only", "220 fake ESMTP\r\n",
         {"250-fake.test\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n",
          "221 bye\r\n"},
         1, 0, -2, "", {"EHLO", "AUTH LOGIN\r\n", user, password, "QUIT\r\n"}},
        // AUTH without PLAIN rules out PLAIN only: LOGIN is still tried, so credentials the
        // server cannot take fail the poll instead of passing unchecked
        {"AUTH offering neither PLAIN nor LOGIN", "220 fake\r\n",
         {"250-fake.test\r\n250-AUTH CRAM-MD5\r\n250 8BITMIME\r\n", "504 5.5.4 Unrecognized authentication type\r\n",
          "250 reset\r\n", "221 bye\r\n"},
         1, 1, 2, "504 5.5.4 Unrecognized authentication type", {"EHLO", "AUTH LOGIN\r\n", "RSET\r\n", "QUIT\r\n"}},
        {"AUTH PLAIN only", "220 fake\r\n",
         {"250-fake.test\r\n250 AUTH PLAIN\r\n", "334 \r\n", "235 ok\r\n", "221 bye\r\n"}, 1, 0, -2, "",
         {"EHLO", "AUTH PLAIN\r\n", plainToken, "QUIT\r\n"}},
        {"a bare 250 ends the EHLO reply", "220 fake\r\n", {"250-fake.test\r\n250\r\n", "221 bye\r\n"}, 0, 0, -2, "",
         {"EHLO", "QUIT\r\n"}},
        {"503 is a refused login", "220 fake\r\n",
         {"250-fake.test\r\n250 AUTH PLAIN LOGIN\r\n", "503 5.5.1 Error: already authenticated\r\n", "250 reset\r\n",
          "221 bye\r\n"},
         1, 1, 2, "503 5.5.1 Error: already authenticated", {"EHLO", "AUTH PLAIN\r\n", "RSET\r\n", "QUIT\r\n"}},
        {"535 after the token", "220 fake\r\n",
         {"250-fake.test\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n", "334 \r\n", "535 5.7.8 Bad credentials\r\n",
          "250 reset\r\n", "221 bye\r\n"},
         1, 1, 2, "535 5.7.8 Bad credentials", {"EHLO", "AUTH PLAIN\r\n", plainToken, "RSET\r\n", "QUIT\r\n"}},
        {"EHLO refused: HELO", "220 fake\r\n", {"502 5.5.2 no EHLO here\r\n", "250 hello\r\n", "221 bye\r\n"}, 0, 0,
         -2, "", {"EHLO", "HELO", "QUIT\r\n"}},
        {"greeting other than 220", "554 5.3.2 busy\r\n", {"221 bye\r\n"}, 0, 1, 2,
         "Server returned 554 after connecting (expected 220).", {"QUIT\r\n"}},
        // the rest of an over-long line is no reply of its own
        {"1 MB greeting line", "220-" + std::string(1 << 20, 'x') + "\r\n220 fake\r\n",
         {"250 fake.test\r\n", "221 bye\r\n"}, 0, 0, -2, "", {"EHLO", "QUIT\r\n"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LineDialogue dialogue(k.greeting, k.replies);
        auto server = std::make_unique<LoopbackServer>(dialogue.script());
        ASSERT_TRUE(server->ok());
        Smtp s;
        s.port = server->port();
        s.auth = k.auth;
        PluginTestRecord rec;
        prepare(rec, s, 3000);
        EXPECT_EQ(host.poll(rec), k.result) << rec.mon.failReason;
        EXPECT_EQ(rec.mon.resultCode, k.resultCode);
        EXPECT_EQ(std::string(rec.mon.failReason), k.reason);
        server.reset();
        const std::vector<std::string>& got = dialogue.lines();
        ASSERT_EQ(got.size(), k.commands.size());
        for (size_t i = 0; i < got.size(); ++i) {
            if (k.commands[i] == "EHLO" || k.commands[i] == "HELO")
                EXPECT_EQ(got[i].rfind(k.commands[i] + " ", 0), 0u) << got[i];
            else
                EXPECT_EQ(got[i], k.commands[i]);
        }
    }
}

TEST_F(SmtpCheck, SettingsThatCouldInjectOrAreMissing)
{
    struct Case {
        const char* name;
        void (*change)(Smtp&);
        const char* reason;
    } cases[] = {
        {"CR LF in the user name", [](Smtp& s) { s.user = "zam\r\nRSET"; }, "Incorrect monitor parameters"},
        {"LF in the password", [](Smtp& s) { s.password = "pw\nQUIT"; }, "Incorrect monitor parameters"},
        {"CR in From", [](Smtp& s) { s.testMessage = 1; s.from = "a@x.test\rRCPT TO:<b@y.test>"; },
         "Incorrect monitor parameters"},
        {"LF in To", [](Smtp& s) { s.testMessage = 1; s.to = "a@x.test\nBcc: b@y.test"; },
         "Incorrect monitor parameters"},
        {"LF in ReplyTo", [](Smtp& s) { s.testMessage = 1; s.replyTo = "a@x.test\n"; }, "Incorrect monitor parameters"},
        {"CR LF in Subject", [](Smtp& s) { s.testMessage = 1; s.subject = "hi\r\n.\r\nQUIT"; },
         "Incorrect monitor parameters"},
        {"control byte in Content", [](Smtp& s) { s.testMessage = 1; s.content = "bell\a"; },
         "Incorrect monitor parameters"},
        {"test message without ReplyTo", [](Smtp& s) { s.testMessage = 1; s.withReplyTo = false; },
         "Incorrect monitor parameters"},
        {"port above range", [](Smtp& s) { s.port = 65536; }, "Port is out of range"},
        {"negative port", [](Smtp& s) { s.port = -25; }, "Port is out of range"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Smtp s;
        s.port = LoopbackServer::closedPort();
        k.change(s);
        PluginTestRecord rec;
        prepare(rec, s);
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_STREQ(rec.mon.failReason, k.reason);
        EXPECT_EQ(rec.mon.resultCode, -2);
    }
}

TEST_F(SmtpCheck, SilentPeersFailWithinTheBudget)
{
    ZAM_REQUIRE_TEST_SERVERS();
    LoopbackServer silent([](int fd) { LoopbackServer::drain(fd); });
    ASSERT_TRUE(silent.ok());
    struct Case {
        const char* name;
        int port;
        int secure;
    } cases[] = {
        {"never greets", silent.port(), 0},
        {"plain text to the TLS port", testservers::kSmtpsPort, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Smtp s;
        s.port = k.port;
        s.secure = k.secure;
        PluginTestRecord rec;
        prepare(rec, s, 2000);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(host.poll(rec), 1);
        EXPECT_LT(t.elapsed(), 4000);
        EXPECT_STREQ(rec.mon.failReason, "Failed to get server status after connecting: recv() timed out.");
        EXPECT_EQ(rec.mon.resultCode, 2);
    }
}

TEST_F(SmtpCheck, WellKnownPortHints)
{
    struct Case {
        int port;
        int secure;
        int mode;
        const char* reason;  // null: the connect failure itself
    } cases[] = {
        {465, 1, 0, "SMTP Port 465 requires SSL connection by default. Please correct monitor setting 'Secure "
                    "Connection Type' on Main parameters tab."},
        {25, 3, 0, "SMTP Port 25 requires non-SSL connection by default. Please correct monitor setting 'Secure "
                   "Connection Type' on Main parameters tab."},
        {465, 3, 0, nullptr},
        {465, 1, 2, nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.port);
        if (portOpen(k.port))
            continue;  // a local mail server holds it here
        Smtp s;
        s.port = k.port;
        s.secure = k.secure;
        PluginTestRecord rec;
        prepare(rec, s, 2000, k.mode);
        EXPECT_EQ(host.poll(rec), 1);
        if (k.reason)
            EXPECT_STREQ(rec.mon.failReason, k.reason);
        else
            EXPECT_EQ(std::string(rec.mon.failReason),
                      "Could not connect to the SMTP server. Failed to connect to 127.0.0.1:" + std::to_string(k.port) +
                          " over TCP/IP");
        EXPECT_EQ(rec.mon.resultCode, 2);
    }
}

} // namespace
