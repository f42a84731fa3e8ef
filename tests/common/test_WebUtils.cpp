#include "common/WebUtils.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTcpServer>
#include <QThread>

#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>

using namespace WebUtils;

TEST(WebUtils, AddressValidation)
{
    struct Case { const char* text; bool partial; bool valid; };
    const Case cases[] = {
        {"192.168.", true, true}, {"", true, true}, {"10", true, true}, {"1.2.3.4", true, true},
        {"192.168.01", true, false}, {"1.2.3.4.5", true, false}, {"0.1", true, false},
        {"1..2", true, false}, {"a.b", true, false}, {"1.2.3.256", true, false},
        {"0.1.2.3", false, false}, {"1.2.3.256", false, false}, {"1.2.3.4", false, true},
        {"255.255.255.255", false, true}, {"1.2.3", false, false}, {"1.2.3.", false, false},
        {"+1.2.3.4", false, false}, {" 1.2.3.4", false, false}, {"1.2.3.04", false, false},
        {"::1", false, false}, {"::1", true, false}, {"99999999999.1.1.1", false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.valid, isValidIp(QString::fromLatin1(c.text), c.partial)) << c.text << " partial=" << c.partial;
}

TEST(WebUtils, HostNameValidation)
{
    struct Case { const char* text; bool valid; };
    const Case cases[] = {
        {"123", false}, {"10.1", false}, {"10.1.", false}, {"", false}, {"1.2.3.4", false},
        {"server-1.example.org", true}, {"localhost", true}, {"b\xc3\xbc" "cher.de", true},
        {"bad host", false}, {"a/b", false}, {"1.2.3.4.5", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.valid, isValidHostName(QString::fromUtf8(c.text))) << c.text;
}

TEST(WebUtils, ParseUrl)
{
    struct Case {
        const char* text; bool ftp; bool ok; int port = 0; bool secure = false; const char* host = "";
        const char* tail = ""; const char* url = ""; const char* user = ""; const char* password = "";
    };
    const Case cases[] = {
        {"myhost/status", false, true, 80, false, "myhost", "status", "http://myhost/status", "", ""},
        {"myhost/status", true, true, 21, false, "myhost", "status", "ftp://myhost/status", "", ""},
        {"https://h/x", true, false},
        {"ftp://h/x", false, false},
        {"https://us%40r:p%3Aw@h:443/a?b=1", false, true, 443, true, "h", "a?b=1", "https://h/a?b=1", "us@r", "p:w"},
        {"http://u:p@h:8080/", false, true, 8080, false, "h", "", "http://h:8080/", "u", "p"},
        {"HTTPS://Host.Example:8443", false, true, 8443, true, "host.example", "", "https://host.example:8443/", "", ""},
        {"sftp://h", true, true, 22, true, "h", "", "sftp://h/", "", ""},
        {"ftps://h:2121/d/f.txt", true, true, 2121, true, "h", "d/f.txt", "ftps://h:2121/d/f.txt", "", ""},
        {"h:8080/x", false, true, 8080, false, "h", "x", "http://h:8080/x", "", ""},
        {"http://", false, false},
        {"http://h:99999/", false, false},
        {"", false, false},
        {"http://[::1", false, false},
        {"http://xn--bcher-kva.de/", false, true, 80, false, "b\xc3\xbc" "cher.de", "",
         "http://b\xc3\xbc" "cher.de/", "", ""},
    };
    for (const Case& c : cases) {
        SParsedUrlRec r;
        const bool ok = parseUrl(QString::fromUtf8(c.text), r, c.ftp);
        EXPECT_EQ(c.ok, ok) << c.text << " ftp=" << c.ftp;
        if (!ok || !c.ok)
            continue;
        EXPECT_EQ(c.port, r.port) << c.text;
        EXPECT_EQ(c.secure, r.secure) << c.text;
        EXPECT_EQ(QString::fromUtf8(c.host), r.host) << c.text;
        EXPECT_EQ(QString::fromUtf8(c.tail), r.tail) << c.text;
        EXPECT_EQ(QString::fromUtf8(c.url), r.url) << c.text;
        EXPECT_EQ(QString::fromUtf8(c.user), r.userName) << c.text;
        EXPECT_EQ(QString::fromUtf8(c.password), r.password) << c.text;
    }
}

TEST(WebUtils, HeaderTexts)
{
    EXPECT_EQ(QStringList({"A: 1", "B:", "C:"}), textToHeadersList(QStringLiteral("A: 1\nB;\n\nC"), true));
    EXPECT_EQ(QStringList({"A: 1", "B;", "C"}), textToHeadersList(QStringLiteral(" A: 1 \nB;\n\nC\n"), false));
    EXPECT_EQ(QStringList({"X-a;b:", "", "Y: z"}), textToHeadersList(QStringLiteral("X-a;b\n   \nY: z"), true));
    EXPECT_EQ(QStringList({"k:v;w"}), textToHeadersList(QStringLiteral("k:v;w"), true));
    EXPECT_EQ(QStringList(), textToHeadersList(QStringLiteral("\n\n"), true));

    using P = QPair<QString, QString>;
    EXPECT_EQ(P("Content-Type", "text/html; a=b:c"), stringToHeader(QStringLiteral(" Content-Type :  text/html; a=b:c ")));
    EXPECT_EQ(P("", ""), stringToHeader(QStringLiteral("no colon")));
    EXPECT_EQ(P("", "x"), stringToHeader(QStringLiteral(":x")));
}

TEST(WebUtils, SmallTexts)
{
    EXPECT_EQ(QStringLiteral("http://h"), makeWebServerUrl(WebServerHttp, QStringLiteral("h"), 80));
    EXPECT_EQ(QStringLiteral("http://h:8080"), makeWebServerUrl(WebServerHttp, QStringLiteral("h"), 8080));
    EXPECT_EQ(QStringLiteral("https://h"), makeWebServerUrl(EWebServerMode(7), QStringLiteral("h"), 443));
    EXPECT_EQ(QStringLiteral("https://h:80"), makeWebServerUrl(WebServerHttps, QStringLiteral("h"), 80));
    EXPECT_EQ(QStringLiteral("a b  c"), clearLFAndTrim(QStringLiteral("\na\nb \nc\n")));
    EXPECT_EQ(QStringLiteral("localhost"), defaultWwwHost());

    QString t;
    networkReplyErrToStr(QNetworkReply::ConnectionRefusedError, t);
    EXPECT_EQ(QStringLiteral("server refused the connection"), t);
    networkReplyErrToStr(QNetworkReply::ProtocolFailure, t);
    EXPECT_EQ(QStringLiteral("a breakdown in protocol"), t);
    networkReplyErrToStr(QNetworkReply::NoError, t);
    EXPECT_EQ(QStringLiteral("unknown error"), t);
    networkReplyErrToStr(QNetworkReply::NetworkError(4242), t);
    EXPECT_EQ(QStringLiteral("unknown error"), t);
    for (int code : {1, 3, 4, 6, 99, 201, 299, 302, 401})
        EXPECT_TRUE(isActualNetworkError(QNetworkReply::NetworkError(code))) << code;
    for (int code : {0, 5, 202, 301, 399, -1})
        EXPECT_FALSE(isActualNetworkError(QNetworkReply::NetworkError(code))) << code;

    EXPECT_EQ(QStringLiteral("null"), jsonToString(QJsonValue()));
    EXPECT_EQ(QStringLiteral("true"), jsonToString(QJsonValue(true)));
    EXPECT_EQ(QStringLiteral("3.14159"), jsonToString(QJsonValue(3.14159265)));
    EXPECT_EQ(QStringLiteral("s"), jsonToString(QJsonValue(QStringLiteral("s"))));
    EXPECT_EQ(QStringLiteral("<undefined>"), jsonToString(QJsonValue(QJsonValue::Undefined)));
    EXPECT_EQ(QStringLiteral("[\n    1\n]\n"), jsonToString(QJsonArray({1})));
    EXPECT_EQ(QStringLiteral("{\n}\n"), jsonToString(QJsonObject()));
}

TEST(WebUtils, HostComparison)
{
    EXPECT_TRUE(areSameHostnames("mail", "MAIL.example.org", ".example.org"));
    EXPECT_FALSE(areSameHostnames("mail.a.example.org", "mail.b.example.org", ".example.org"));
    EXPECT_TRUE(areSameHostnames("Mail", "mail", ""));
    EXPECT_FALSE(areSameHostnames("mail", "mail.example.org", ""));
    EXPECT_FALSE(areSameHostnames("", "", ".x"));
    EXPECT_FALSE(areSameHostnames("a", "b", ".x"));
    EXPECT_TRUE(hostnameContainsDomain("a.b"));
    EXPECT_FALSE(hostnameContainsDomain("a..")); 
    EXPECT_EQ(QStringLiteral("mail.corp"), mergeHostnameWithDomain("mail.old.net", ".corp"));

    EXPECT_TRUE(areSameIps("10.0.0.1", "10.0.0.1"));
    EXPECT_FALSE(areSameIps("10.0.0.1", "10.0.0.2"));
    EXPECT_TRUE(areSameIps("host", "host"));
    EXPECT_FALSE(areSameIps("host", "HOST"));
    EXPECT_FALSE(areSameIps("::1", "::2"));
    EXPECT_FALSE(areSameIps("::1", "0.0.0.0"));
    EXPECT_TRUE(areSameIps("::1", "0:0::1"));
    EXPECT_TRUE(areSameIps("::ffff:10.0.0.1", "10.0.0.1"));
    EXPECT_EQ(QStringLiteral("10.0.0.1"), canonicalizeIp(Optional<QString>(QStringLiteral("10.0.0.001"))).valueOr("?"));
    EXPECT_EQ(QStringLiteral("x"), canonicalizeIp(Optional<QString>(QStringLiteral("x"))).valueOr("?"));
    EXPECT_TRUE(canonicalizeIp(Optional<QString>::null()).isNull());

    auto rec = [](const char* name, const char* ip) {
        SHostRec r;
        if (name)
            r.hostName = Optional<QString>(QString::fromLatin1(name));
        if (ip)
            r.ipAddress = Optional<QString>(QString::fromLatin1(ip));
        return r;
    };
    struct Case { SHostRec l, r; bool addr, names; QStringList list; bool same; };
    const Case cases[] = {
        {rec("mail", "10.0.0.1"), rec("MAIL.example.org", "10.0.0.1"), true, true, {}, true},
        {rec("mail", "10.0.0.1"), rec("mail", "10.0.0.2"), true, true, {}, false},
        {rec("mail", "10.0.0.1"), rec("mail", "10.0.0.2"), false, true, {}, true},
        {rec("a", "10.0.0.1"), rec("b", "10.0.0.1"), true, false, {}, true},
        {rec("a", "10.0.0.1"), rec("b", nullptr), true, false, {}, false},
        {rec(nullptr, "10.0.0.1"), rec("", "10.0.0.2"), true, true, {"10.0.0.1", "10.0.0.2"}, true},
        {rec(nullptr, "10.0.0.3"), rec("", "10.0.0.2"), true, true, {"10.0.0.1", "10.0.0.2"}, false},
        {rec("a", nullptr), rec(nullptr, nullptr), false, true, {}, false},
        {rec("a", nullptr), rec("a", nullptr), false, false, {}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.same, areSameHosts(c.l, c.r, c.addr, c.names, false, c.list, ".example.org"))
            << c.l.hostName.valueOrEmpty().toStdString() << " / " << c.r.hostName.valueOrEmpty().toStdString();
    SHostRec flagged = rec("a", "1.1.1.1");
    flagged.matchFlag = Optional<bool>(true);
    EXPECT_FALSE(areSameHosts(flagged, rec("a", "1.1.1.1"), true, true, true, {}, ""));
    EXPECT_TRUE(areSameHosts(flagged, flagged, true, true, true, {}, ""));
}

TEST(WebUtils, LoopbackLookups)
{
    const QList<QHostAddress> all = getAllAddrsByHostname(QStringLiteral("localhost"));
    EXPECT_TRUE(all.contains(QHostAddress(QStringLiteral("127.0.0.1"))));
    for (const QHostAddress& a : all)
        EXPECT_EQ(QAbstractSocket::IPv4Protocol, a.protocol());
    EXPECT_TRUE(canResolveHostnameToIp(QStringLiteral("localhost")));
    EXPECT_TRUE(getAllAddrsByHostname(QString()).isEmpty());
    EXPECT_EQ(QHostAddress(QStringLiteral("127.0.0.1")), getFirstAddrByHostname(QStringLiteral("localhost")));
    EXPECT_EQ(QStringLiteral("127.0.0.1"), getIpByHostname(QStringLiteral("localhost"), QString()));

    struct Case { const char* in; bool isAddress; int count; const char* error; };
    const Case cases[] = {
        {"127.0.0.1", true, 1, ""},
        {"::1", true, 0, "only IPv4 is supported"},
        {"fe80::1%lo", true, 0, "only IPv4 is supported"},
        {"localhost", false, -1, ""},
        {"", false, 0, "cannot resolve host IP address"},
    };
    for (const Case& c : cases) {
        bool isAddress = !c.isAddress;
        QByteArray error;
        const QList<QHostAddress> got = getOrResolveAllAddrs(QString::fromLatin1(c.in), isAddress, error);
        EXPECT_EQ(c.isAddress, isAddress) << c.in;
        if (c.count >= 0)
            EXPECT_EQ(c.count, got.size()) << c.in;
        else
            EXPECT_FALSE(got.isEmpty()) << c.in;
        EXPECT_EQ(QByteArray(c.error), error) << c.in;
    }
    bool isAddress = false;
    QByteArray error;
    EXPECT_TRUE(getOrResolveFirstAddr(QStringLiteral("::1"), isAddress, error).isNull());

    // Reverse lookups: loopback comes from the hosts file; bad input gives nothing.
    const QString name = getHostnameByIp(QStringLiteral("127.0.0.1"), QString());
    EXPECT_FALSE(name.isEmpty());
    EXPECT_TRUE(getAllAddrsByHostname(name).contains(QHostAddress(QStringLiteral("127.0.0.1"))));
    EXPECT_EQ(name, getHostnameByIp(QStringLiteral("127.0.0.1"), QStringLiteral("no-such-alias")));
    for (const char* bad : {"", "::1", "not an address", "1.2.3"})
        EXPECT_TRUE(getHostnameByIp(QString::fromLatin1(bad), QString()).isEmpty()) << bad;
}

TEST(WebUtils, SlowAddressRule)
{
    const QString a = QStringLiteral("192.0.2.1");
    {
        QMutexLocker lock(&g_webUtilsMutex);
        refreshTimedOutAddresses(a, 999);
        EXPECT_FALSE(g_timedOutAddresses.contains(a));
        refreshTimedOutAddresses(a, 1000);
        refreshTimedOutAddresses(a, 5000);
        EXPECT_EQ(1, g_timedOutAddresses.count(a));
        refreshTimedOutAddresses(a, 999);
        EXPECT_FALSE(g_timedOutAddresses.contains(a));
    }

    const QList<QHostAddress> xy{QHostAddress("10.0.0.1"), QHostAddress("10.0.0.2")};
    struct Case { QStringList slow; const char* preferred; const char* chosen; };
    const Case cases[] = {
        {{"10.0.0.1"}, "", "10.0.0.2"},
        {{"10.0.0.1"}, "10.0.0.1", "10.0.0.1"},
        {{"10.0.0.1", "10.0.0.2"}, "", "10.0.0.1"},
        {{}, "", "10.0.0.1"},
        {{}, "10.0.0.2", "10.0.0.2"},
        {{}, "10.0.0.9", "10.0.0.1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QString::fromLatin1(c.chosen), chooseAddress(xy, QString::fromLatin1(c.preferred), c.slow))
            << c.preferred;
    EXPECT_EQ(QString(), chooseAddress({}, QStringLiteral("10.0.0.1"), {}));

    // A slow local address is listed after the others.
    const QStringList before = getLocalAddresses();
    ASSERT_TRUE(before.contains(QStringLiteral("127.0.0.1")));
    for (const QString& s : before)
        EXPECT_FALSE(s.startsWith(QLatin1String("169.254.")) || s.contains(':')) << s.toStdString();
    {
        QMutexLocker lock(&g_webUtilsMutex);
        refreshTimedOutAddresses(QStringLiteral("127.0.0.1"), 1500);
    }
    const QStringList after = getLocalAddresses();
    EXPECT_EQ(QStringLiteral("127.0.0.1"), after.last());
    EXPECT_EQ(before.size(), after.size());
    // A fast reverse lookup of it clears the mark again.
    getHostnameByIp(QStringLiteral("127.0.0.1"), QString());
    QMutexLocker lock(&g_webUtilsMutex);
    EXPECT_FALSE(g_timedOutAddresses.contains(QStringLiteral("127.0.0.1")));
}

TEST(WebUtils, LocalHostName)
{
    char buffer[1025] = {};
    ASSERT_EQ(0, gethostname(buffer, sizeof buffer - 1));
    EXPECT_EQ(QString::fromUtf8(buffer), getLocalhostName(false));
    const QString resolved = getLocalhostName(true);
    EXPECT_EQ(resolved, getLocalhostName(true));   // answered from the cache
    EXPECT_FALSE(resolved.isEmpty());

    // Many threads at once: no deadlock, one answer, and reverse lookups that do not clobber
    // each other's results.
    const QString reverse = getHostnameByIp(QStringLiteral("127.0.0.1"), QString());
    std::atomic<int> mismatches{0};
    QList<QThread*> threads;
    for (int t = 0; t < 6; ++t)
        threads << QThread::create([&] {
            for (int i = 0; i < 20; ++i) {
                if (getLocalhostName(true) != resolved)
                    ++mismatches;
                if (getIpByHostname(QStringLiteral("localhost"), QString()) != QLatin1String("127.0.0.1"))
                    ++mismatches;
                if (getHostnameByIp(QStringLiteral("127.0.0.1"), QString()) != reverse)
                    ++mismatches;
            }
        });
    for (QThread* t : threads)
        t->start();
    for (QThread* t : threads) {
        EXPECT_TRUE(t->wait(120000));
        delete t;
    }
    EXPECT_EQ(0, mismatches.load());
}

TEST(WebUtils, CheckServerPort)
{
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::LocalHost, 0));
    QString error = QStringLiteral("stale");
    EXPECT_FALSE(checkServerPort(QHostAddress::LocalHost, busy.serverPort(), error));
    EXPECT_EQ(QStringLiteral("can not bind socket to port"), error);
    const quint16 port = busy.serverPort();
    busy.close();
    EXPECT_TRUE(checkServerPort(QHostAddress::LocalHost, port, error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(checkServerPort(QHostAddress::LocalHost, 70000, error));
    EXPECT_EQ(QStringLiteral("can not bind socket to port"), error);
    EXPECT_FALSE(checkServerPort(QHostAddress(QStringLiteral("::1")), 0, error));
    EXPECT_EQ(QStringLiteral("can not bind socket to port"), error);
}

TEST(WebUtils, OsRelease)
{
    const QByteArray text =
        "# comment=ignored\n"
        "NAME=\"Debian GNU/Linux\"\n"
        "\n"
        "  PRETTY_NAME = 'Debian 12 (bookworm)'  \n"
        "VERSION_ID=\"12\"\n"
        "no equals here\n"
        "ID=debian\n"
        "ID=\"override\"\n"
        "QUOTE=\"half\n"
        "EMPTY=\n"
        "EQ=a=b\n";
    const QMap<QString, QString> m = parseOsRelease(text);
    EXPECT_EQ(QStringLiteral("Debian 12 (bookworm)"), m.value("PRETTY_NAME"));
    EXPECT_EQ(QStringLiteral("Debian GNU/Linux"), m.value("NAME"));
    EXPECT_EQ(QStringLiteral("override"), m.value("ID"));
    EXPECT_EQ(QStringLiteral("\"half"), m.value("QUOTE"));
    EXPECT_EQ(QString(), m.value("EMPTY"));
    EXPECT_EQ(QStringLiteral("a=b"), m.value("EQ"));
    EXPECT_FALSE(m.contains("# comment"));
    EXPECT_EQ(7, m.size());
    EXPECT_TRUE(parseOsRelease(QByteArray()).isEmpty());
    EXPECT_EQ(QStringLiteral("\""), parseOsRelease("A=\"\n").value("A"));

    SSystemInfo info;
    EXPECT_TRUE(getSystemInfo(info));
    EXPECT_EQ(QStringLiteral("Linux"), info.systemName);
    EXPECT_FALSE(info.architecture.isEmpty());
    EXPECT_FALSE(info.prettyName.isEmpty());
}

TEST(WebUtils, SystemInfoFromParts)
{
    utsname u{};
    ASSERT_EQ(0, uname(&u));
    const QByteArray release("NAME=x\nPRETTY_NAME=\"Test OS 1\"\n");
    struct Case { bool unameOk; bool haveRelease; bool result; const char* system; const char* pretty; };
    const Case cases[] = {
        {true, true, true, "Linux", "Test OS 1"},
        {true, false, true, "Linux", "Unknown"},
        {false, true, false, "Unknown", "Test OS 1"},   // a failed uname is an error result, not an exit
        {false, false, false, "Unknown", "Unknown"},
    };
    for (const Case& c : cases) {
        SSystemInfo info;
        EXPECT_EQ(c.result, buildSystemInfo(c.unameOk ? &u : nullptr, c.haveRelease ? &release : nullptr, info));
        EXPECT_EQ(QString::fromLatin1(c.system), info.systemName);
        EXPECT_EQ(QString::fromLatin1(c.pretty), info.prettyName);
        EXPECT_FALSE(info.architecture.isEmpty());
    }
}

TEST(WebUtils, ChooseHostName)
{
    struct Case { QByteArray official; QList<QByteArray> aliases; const char* preferred; QString chosen; };
    const Case cases[] = {
        {"host.example", {"a", "b"}, "b", QStringLiteral("b")},
        {"host.example", {"a", "b"}, "c", QStringLiteral("host.example")},
        {"", {"a", "b"}, "c", QStringLiteral("b")},
        {"", {}, "", QString()},
        {"xn--bcher-kva.de", {}, "", QStringLiteral("b\u00fccher.de")},
        {"x", {"xn--bcher-kva.de"}, "b\xc3\xbc" "cher.de", QStringLiteral("b\u00fccher.de")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.chosen, chooseHostName(c.official, c.aliases, QString::fromUtf8(c.preferred))) << c.official.constData();
}
