// The extended-capabilities report is compact JSON with the host, the agent version and the
// supported monitor types in the order given.
#include "link/ExtendedCapsReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

TEST(ExtendedCapsReport, CompactJsonWithHostAgentAndMonitorTypes)
{
    SExtendedCaps caps;
    caps.hostName = QStringLiteral("host1");
    caps.architecture = QStringLiteral("x86_64");
    caps.osName = QStringLiteral("Debian GNU/Linux");
    caps.osVersion = QStringLiteral("12");
    caps.agentVersion = QStringLiteral("1.1.354");
    caps.monitorTypes = QStringList({QStringLiteral("Ping"), QStringLiteral("TCP"), QStringLiteral("HTTP(S)")});
    const QByteArray json = buildExtendedCapsJson(caps);
    EXPECT_EQ(json,
              QByteArray("{\"agent\":{\"version\":\"1.1.354\"},\"host\":{\"arch\":\"x86_64\",\"name\":\"host1\","
                         "\"os\":{\"name\":\"Debian GNU/Linux\",\"version\":\"12\"}},\"support\":{\"monitors\":"
                         "[{\"name\":\"Ping\"},{\"name\":\"TCP\"},{\"name\":\"HTTP(S)\"}]}}"));

    caps.monitorTypes.clear();
    const QJsonObject empty = QJsonDocument::fromJson(buildExtendedCapsJson(caps)).object();
    EXPECT_EQ(empty.value("support").toObject().value("monitors").toArray().size(), 0);

    // This host's report names it and this agent.
    const SExtendedCaps local = localExtendedCaps({QStringLiteral("Ping")});
    EXPECT_FALSE(local.hostName.isEmpty());
    EXPECT_FALSE(local.architecture.isEmpty());
    EXPECT_EQ(local.agentVersion, QStringLiteral("1.1.354"));
    EXPECT_EQ(local.monitorTypes, QStringList({QStringLiteral("Ping")}));
}

} // namespace
