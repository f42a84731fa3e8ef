#include "common/CUrl.h"

#include <gtest/gtest.h>

TEST(CUrl, TextsItGivesBack)
{
    struct Case { const char* in; const char* full; const char* omitDefault; const char* tail; const char* hostPort; };
    const Case cases[] = {
        {"https://h:443/p", "https://h:443/p", "https://h/p", "p", "h"},
        {"http://h", "http://h/", "http://h/", "", "h"},
        {"http://u:pw@h:8080/a/b?q=1#f", "http://h:8080/a/b?q=1#f", "http://h:8080/a/b?q=1#f", "a/b?q=1#f", "h:8080"},
        {"HTTPS://Example.ORG:443", "https://example.org:443/", "https://example.org/", "", "example.org"},
        {"SFTP://h:22/x", "sftp://h:22/x", "sftp://h/x", "x", "h"},
        {"ftps://h:990", "ftps://h:990/", "ftps://h/", "", "h"},
        {"ftp://h:990", "ftp://h:990/", "ftp://h:990/", "", "h:990"},
        {"http://xn--bcher-kva.de/", "http://b\xc3\xbc" "cher.de/", "http://b\xc3\xbc" "cher.de/", "", "b\xc3\xbc" "cher.de"},
        {"gopher://h:70/", "gopher://h:70/", "gopher://h:70/", "", "h:70"},
        {"http://h/a%2Fb", "http://h/a/b", "http://h/a/b", "a/b", "h"},
    };
    for (const Case& c : cases) {
        const CUrl u(QString::fromUtf8(c.in));
        EXPECT_EQ(QString::fromUtf8(c.full), u.toString(false)) << c.in;
        EXPECT_EQ(QString::fromUtf8(c.omitDefault), u.toString(true)) << c.in;
        EXPECT_EQ(QString::fromUtf8(c.tail), u.tail()) << c.in;
        EXPECT_EQ(QString::fromUtf8(c.hostPort), u.hostPort(true)) << c.in;
    }
}

TEST(CUrl, DecodesBeforeParsing)
{
    const CUrl slash(QStringLiteral("http://h/a%2Fb"));
    EXPECT_EQ(QStringLiteral("/a/b"), slash.path());
    const CUrl query(QStringLiteral("http://h/a%3Fq=1"));
    EXPECT_EQ(QStringLiteral("/a"), query.path());
    EXPECT_EQ(QStringLiteral("q=1"), query.query());
}

TEST(CUrl, SetTailKeepsPortAndDropsUser)
{
    CUrl u(QStringLiteral("https://user:secret@h:8443/old?x=1"));
    EXPECT_EQ(QStringLiteral("user"), u.userName());
    u.setTail(QStringLiteral("new/path?y=2"));
    EXPECT_EQ(QStringLiteral("https://h:8443/new/path?y=2"), u.toString(false));
    EXPECT_TRUE(u.userName().isEmpty());
    EXPECT_TRUE(u.password().isEmpty());
    EXPECT_EQ(8443, u.port());
}

TEST(CUrl, SecuredSchemesAndEmptyScheme)
{
    struct Case { const char* in; bool secured; };
    const Case cases[] = {{"HTTPS://h", true}, {"SFTP://h", true}, {"ftps://h", true},
                          {"http://h", false}, {"ftp://h", false}, {"h", false}};
    for (const Case& c : cases)
        EXPECT_EQ(c.secured, CUrl(QString::fromLatin1(c.in)).isSecured()) << c.in;

    QUrl plain;
    plain.setHost(QStringLiteral("h"));
    plain.setPath(QStringLiteral("/x"));
    EXPECT_EQ(QStringLiteral("h/x"), CUrl(plain).toString(true));
    EXPECT_EQ(QStringLiteral("/"), CUrl().toString(true));
}

TEST(CUrl, MalformedInputIsInvalidNotFatal)
{
    for (const char* in : {"http://h:99999/", "http://[::1", "http://h:-1/", "%", "http://%zz/", "://"}) {
        const CUrl u(QString::fromLatin1(in));
        (void)u.toString(true);
        (void)u.tail();
        (void)u.hostUtf8();
    }
    EXPECT_FALSE(CUrl(QStringLiteral("http://h:99999/")).isValid());
    EXPECT_FALSE(CUrl(QStringLiteral("http://[::1")).isValid());
}

TEST(CUrl, EscapedUserInformationCannotMoveTheHost)
{
    const CUrl u(QStringLiteral("https://us%40r%2Fx:p%3Aw%40evil@h:443/a%2Fb"));
    EXPECT_EQ(QStringLiteral("h"), u.host());
    EXPECT_EQ(443, u.port());
    EXPECT_EQ(QStringLiteral("us@r/x"), u.userName(QUrl::FullyDecoded));
    EXPECT_EQ(QStringLiteral("p:w@evil"), u.password(QUrl::FullyDecoded));
    EXPECT_EQ(QStringLiteral("/a/b"), u.path());
}
