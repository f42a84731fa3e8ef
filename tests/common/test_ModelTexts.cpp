#include "common/ModelTexts.h"

#include <gtest/gtest.h>

TEST(ModelTexts, SanitizeFileName)
{
    EXPECT_EQ(QStringLiteral("a-b-c"), sanitizeFileName(QStringLiteral("a/b:c")));
    EXPECT_EQ(QStringLiteral("------x. y"), sanitizeFileName(QStringLiteral("/\\:*'\"x. y")));
    EXPECT_EQ(QStringLiteral("\u00e9t\u00e9"), sanitizeFileName(QStringLiteral("\u00e9t\u00e9")));
}

TEST(ModelTexts, SameMonitorUrl)
{
    struct Case { const char* a; const char* b; bool same; };
    const Case cases[] = {
        {"https://$HostDns:443/", "https://$HostIp", true},
        {"http://$HostIp:8080/", "http://$HostIp:8080", true},
        {"http://$HostIp:80/x", "HTTP://$hostip/x", true},
        {"http://$HostIp/", "http://$HostIp", true},
        {"http://$HostIp:8080", "http://$HostIp:8081", false},
        {"http://$HostIp:8080", "http://$HostIp", false},
        {"http://$HostIp:8080/", "http://$HostIp80/", false},
        {"http://$HostIp/a", "http://$HostIp/b", false},
        {"https://$HostIp:443/", "http://$HostIp", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.same, sameMonitorUrl(QString::fromLatin1(c.a), QString::fromLatin1(c.b))) << c.a << " vs " << c.b;
}

TEST(ModelTexts, MonitorAndActionTexts)
{
    EXPECT_EQ(QStringLiteral("monitor 12 (web on srv1)"),
              monitorText(12, Optional<QString>(QStringLiteral("web")), Optional<QString>(QStringLiteral("srv1"))));
    EXPECT_EQ(QStringLiteral("monitor 3 ( on )"), monitorText(3, Optional<QString>(), Optional<QString>::null()));
    EXPECT_EQ(QStringLiteral("action -4 (mail)"), actionText(-4, Optional<QString>(QStringLiteral("mail"))));
}
