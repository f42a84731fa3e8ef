#include "common/AgentSettings.h"
#include "support/CapturedMessages.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class AgentSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    // A settings object on an INI file with the given text.
    std::unique_ptr<QSettings> settingsWith(const QByteArray& text)
    {
        const QString path = dir.filePath(QStringLiteral("quv%1.ini").arg(++n));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        return std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
    QTemporaryDir dir;
    int n = 0;
};

}

TEST_F(AgentSettingsTest, EveryKeyReadsWithItsDefault)
{
    for (const QByteArray& text : {QByteArray(), QByteArray("\x01\x02 not an ini ][ =\n[broken\n==\n")}) {
        auto s = settingsWith(text);
        const struct {
            const char* key;
            int value;
        } ints[] = {
            {"Common/AgentType", 0}, {"ActiveAgentSettings/Port", 0}, {"AgentControlServer/Port", 3456},
            {"SNMP/UDPProxyPort", 3457}, {"SNMP/UDPTrapReceiverPort", 162}, {"Syslog/UDPReceiverPort", 514},
            {"Python/UseBuiltInPython", 1},
        };
        const int defaults[] = {0, 0, 3456, 3457, 162, 514, 1};
        for (size_t i = 0; i < sizeof(ints) / sizeof(ints[0]); ++i)
            EXPECT_EQ(readSettingInt(*s, QString::fromLatin1(ints[i].key), defaults[i]), ints[i].value) << ints[i].key;
        for (const char* key : {"ActiveAgentSettings/Transport", "ActiveAgentSettings/Host", "SSLSettings/CertificatePath",
                                "SSLSettings/PrivateKeyPath", "SSLSettings/ServiceCertificatePath", "Python/CustomPythonPath"})
            EXPECT_EQ(readSettingString(*s, QString::fromLatin1(key), QString()), QString()) << key;
        EXPECT_FALSE(isPeriodicStatisticsEnabled(*s));
        EXPECT_EQ(countAgentServers(*s), 0);

        SAgentConnectionSettings active;
        readActiveAgentSettings(*s, active);
        EXPECT_TRUE(active.readFromSettings);
        EXPECT_EQ(active.transport, 1);   // an empty transport is SSL
        EXPECT_EQ(active.host, QString());
        EXPECT_EQ(active.port, 0);
        EXPECT_FALSE(active.allowUntrustedService);
        EXPECT_EQ(active.keyPassPhrase, QByteArray("*blankword*"));
    }
}

TEST_F(AgentSettingsTest, ValuesAreReadAndANonNumberKeepsTheDefault)
{
    auto s = settingsWith("[AgentControlServer]\nPort=4000\n[SNMP]\nUDPProxyPort=abc\n[Debug]\nPeriodicStatistics=true\n");
    EXPECT_EQ(readSettingInt(*s, QStringLiteral("AgentControlServer/Port"), 3456), 4000);
    EXPECT_EQ(readSettingInt(*s, QStringLiteral("SNMP/UDPProxyPort"), 3457), 3457);
    EXPECT_TRUE(isPeriodicStatisticsEnabled(*s));
    writeSettingInt(*s, QStringLiteral("Common/AgentType"), 1);
    writeSettingString(*s, QStringLiteral("ActiveAgentSettings/Host"), QStringLiteral("svc.example"));
    s->sync();
    QSettings reread(s->fileName(), QSettings::IniFormat);
    EXPECT_EQ(readSettingInt(reread, QStringLiteral("Common/AgentType"), 0), 1);
    EXPECT_EQ(readSettingString(reread, QStringLiteral("ActiveAgentSettings/Host"), QString()), QStringLiteral("svc.example"));
    EXPECT_EQ(settingsFileDir(reread), dir.path() + QLatin1Char('/'));
}

// A stored value that is not a whole decimal number, or a port outside 1-65535, gives the
// default and one warning that names the key; a good value gives no warning.
TEST_F(AgentSettingsTest, MalformedNumbersGiveTheDefaultWithOneWarning)
{
    const struct {
        const char* stored;   // written between quotes, so blanks stay
        int asInt;
        int asPort;
    } cases[] = {
        {"abc", 7, 3457}, {"", 7, 3457}, {" 5 ", 5, 5}, {"70000", 70000, 3457}, {"-1", -1, 3457},
        {"0x10", 7, 3457}, {"0", 0, 3457}, {"65535", 65535, 65535}, {"99999999999", 7, 3457}, {"1.5", 7, 3457},
    };
    CapturedMessages messages;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        auto s = settingsWith(QByteArray("[SNMP]\nUDPProxyPort=\"") + c.stored + "\"\n");
        const QString key = QStringLiteral("SNMP/UDPProxyPort");
        CapturedMessages::clear();
        EXPECT_EQ(readSettingInt(*s, key, 7), c.asInt);
        EXPECT_EQ(CapturedMessages::texts(QtWarningMsg).filter(key).size(), c.asInt == 7 ? 1 : 0);
        CapturedMessages::clear();
        EXPECT_EQ(readSettingPort(*s, key, 3457), c.asPort);
        EXPECT_EQ(CapturedMessages::texts(QtWarningMsg).filter(key).size(), c.asPort == 3457 ? 1 : 0);
    }
    // An absent key is no fault.
    CapturedMessages::clear();
    auto empty = settingsWith("");
    EXPECT_EQ(readSettingPort(*empty, QStringLiteral("AgentControlServer/Port"), 3456), 3456);
    EXPECT_TRUE(CapturedMessages::texts(QtWarningMsg).isEmpty());
}

TEST(AgentSettingsParsing, TransportAndModeTexts)
{
    const struct {
        const char* text;
        int transport;
    } transports[] = {{"tcp", 0}, {" TCP ", 0}, {"Tcp", 0}, {"ssl", 1}, {"tls", 1}, {"", 1}, {"TCPX", 1}};
    for (const auto& t : transports) {
        SAgentConnectionSettings r;
        QSettings empty(QStringLiteral("/nonexistent/none.ini"), QSettings::IniFormat);
        readTransportSettings(empty, QString::fromLatin1(t.text), r);
        EXPECT_EQ(r.transport, t.transport) << t.text;
    }
    EXPECT_EQ(parseTransport(QStringLiteral("TCP")), 0);
    EXPECT_EQ(parseTransport(QStringLiteral("tcp")), 1);   // callers normalise first
    EXPECT_EQ(agentTypeFromInt(0), 0);
    EXPECT_EQ(agentTypeFromInt(1), 1);
    EXPECT_EQ(agentTypeFromInt(-3), 1);
    EXPECT_EQ(transportName(1), QStringLiteral("SSL"));
    EXPECT_EQ(transportName(0), QStringLiteral("UNKNOWN"));
}

TEST_F(AgentSettingsTest, AgentServerEntries)
{
    auto s = settingsWith("[AgentServer0]\nTransport=tcp\nHost=127.0.0.1\nPort=5000\n"
                          "[AgentServer1]\nHost=h1\n"
                          "[AgentServer2]\nTransport=ssl\nEnabled=0\nHost=h2\n"
                          "[SSLSettings]\nCertificatePath=/c.pem\nPrivateKeyPath=/k.pem\nAllowUntrustedService=2\n"
                          "ServiceCertificatePath=/s.pem\n");
    EXPECT_EQ(countAgentServers(*s), 1);   // entry 1 has no transport: the count stops there

    SAgentConnectionSettings r;
    EXPECT_TRUE(readAgentServer(*s, 0, r));
    EXPECT_TRUE(r.readFromSettings);
    EXPECT_EQ(r.transport, 0);
    EXPECT_EQ(r.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r.port, 5000);
    EXPECT_TRUE(r.certificatePath.isEmpty());   // TCP reads no SSL keys

    for (int index : {1, 2, 7}) {
        SAgentConnectionSettings skipped;
        EXPECT_FALSE(readAgentServer(*s, index, skipped)) << index;
        EXPECT_TRUE(skipped.readFromSettings) << index;
    }

    auto ssl = settingsWith("[AgentServer0]\nTransport= Ssl\nPort=6000\n[SSLSettings]\nCertificatePath=/c.pem\n"
                            "PrivateKeyPath=/k.pem\nAllowUntrustedService=1\nServiceCertificatePath=/s.pem\n");
    SAgentConnectionSettings t;
    EXPECT_TRUE(readAgentServer(*ssl, 0, t));
    EXPECT_EQ(t.transport, 1);
    EXPECT_EQ(t.certificatePath, QStringLiteral("/c.pem"));
    EXPECT_EQ(t.privateKeyPath, QStringLiteral("/k.pem"));
    EXPECT_EQ(t.serviceCertificatePath, QStringLiteral("/s.pem"));
    EXPECT_TRUE(t.allowUntrustedService);
    EXPECT_EQ(t.keyPassPhrase, QByteArray("*blankword*"));

    // "AllowUntrustedService" other than 1 is false.
    SAgentConnectionSettings u;
    readSslSettings(*s, 1, u);
    EXPECT_FALSE(u.allowUntrustedService);
    auto truth = settingsWith("[SSLSettings]\nAllowUntrustedService=true\n");
    readSslSettings(*truth, 1, u);
    EXPECT_FALSE(u.allowUntrustedService);
    // Transports other than 0 and 1 leave the record alone.
    SAgentConnectionSettings untouched;
    untouched.transport = 5;
    readSslSettings(*s, 7, untouched);
    EXPECT_EQ(untouched.transport, 5);
}

TEST_F(AgentSettingsTest, WritingServerAddressesAndSslSettings)
{
    auto s = settingsWith("[AgentServer0]\nTransport=tcp\n[AgentServer1]\nTransport=ssl\n");
    EXPECT_EQ(writeAgentServersAddress(*s, QStringLiteral("10.1.1.1"), 7000), 2);
    EXPECT_EQ(s->value(QStringLiteral("AgentServer1/Host")).toString(), QStringLiteral("10.1.1.1"));
    EXPECT_EQ(s->value(QStringLiteral("AgentServer1/Port")).toInt(), 7000);
    EXPECT_FALSE(s->contains(QStringLiteral("AgentServer2/Host")));

    auto none = settingsWith("");
    EXPECT_EQ(writeAgentServersAddress(*none, QStringLiteral("h"), 1), 0);
    EXPECT_TRUE(none->allKeys().isEmpty());

    SAgentConnectionSettings r;
    r.certificatePath = QStringLiteral("/c.pem");
    r.privateKeyPath = QStringLiteral("/k.pem");
    r.serviceCertificatePath = QStringLiteral("/s.pem");
    r.allowUntrustedService = true;
    r.keyPassPhrase = "secret";
    writeSslSettings(r, false, *none);
    EXPECT_TRUE(none->allKeys().isEmpty());
    writeSslSettings(r, true, *none);
    none->sync();
    QSettings reread(none->fileName(), QSettings::IniFormat);
    SAgentConnectionSettings back;
    readSslSettings(reread, 1, back);
    EXPECT_EQ(back.certificatePath, r.certificatePath);
    EXPECT_EQ(back.privateKeyPath, r.privateKeyPath);
    EXPECT_EQ(back.serviceCertificatePath, r.serviceCertificatePath);
    EXPECT_TRUE(back.allowUntrustedService);
    EXPECT_EQ(reread.allKeys().size(), 4);   // never the pass phrase
}

TEST_F(AgentSettingsTest, MissingKeysInTheirFixedOrder)
{
    const QStringList common = {QStringLiteral("SSLSettings/CertificatePath"), QStringLiteral("SSLSettings/AllowUntrustedService"),
                                QStringLiteral("SSLSettings/ServiceCertificatePath"), QStringLiteral("SSLSettings/PrivateKeyPath"),
                                QStringLiteral("Common/AgentType"), QStringLiteral("AgentControlServer/Port"),
                                QStringLiteral("SNMP/UDPProxyPort")};
    const QStringList active = {QStringLiteral("ActiveAgentSettings/Transport"), QStringLiteral("ActiveAgentSettings/Host"),
                                QStringLiteral("ActiveAgentSettings/Port")};
    const QStringList passive = {QStringLiteral("AgentServer0/Transport"), QStringLiteral("AgentServer0/Host"),
                                 QStringLiteral("AgentServer0/Port")};
    EXPECT_EQ(missingSettingsKeys(*settingsWith("")), common + active);

    QStringList passiveCommon = common;
    passiveCommon.removeAll(QStringLiteral("Common/AgentType"));
    EXPECT_EQ(missingSettingsKeys(*settingsWith("[Common]\nAgentType=1\n")), passiveCommon + passive);

    EXPECT_EQ(missingSettingsKeys(*settingsWith("[Common]\nAgentType=2\n[AgentServer0]\nTransport=tcp\nHost=a\nPort=1\n"
                                                "[SSLSettings]\nCertificatePath=\nAllowUntrustedService=0\n"
                                                "ServiceCertificatePath=\nPrivateKeyPath=\n"
                                                "[AgentControlServer]\nPort=3456\n[SNMP]\nUDPProxyPort=3457\n")),
              QStringList());
}
