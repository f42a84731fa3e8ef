// Host resolution of monitor records: address text, names (plain, IDN, several addresses,
// IPv6 only, unknown), fail reasons, background-resolution requests, and the global settings
// interface. Runs with its own /etc/hosts, so no lookup leaves the machine.

#include "support/PluginTestHost.h"
#include "support/PrivateNameFiles.h"
#include "CHostInfo.h"
#include "zam_plugin_api.h"

#include <QString>

#include <gtest/gtest.h>

#include <QMutex>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <netinet/in.h>
#include <thread>
#include <vector>

namespace {

const char kAsyncService[] = "void_asyncResolve_int_constchar*_constchar*";
const char kSettingsService[] = "PluginGlobalSettings_getInterface";

struct AsyncCall
{
    int kind;
    QString first;
    QString second;
    bool operator==(const AsyncCall& o) const { return kind == o.kind && first == o.first && second == o.second; }
};

QMutex g_callsMutex;
std::vector<AsyncCall> g_calls;

void recordAsyncResolve(int kind, const char* first, const char* second)
{
    QMutexLocker lock(&g_callsMutex);
    g_calls.push_back({kind, QString::fromUtf8(first), QString::fromUtf8(second)});
}

std::vector<AsyncCall> takeCalls()
{
    QMutexLocker lock(&g_callsMutex);
    std::vector<AsyncCall> out;
    out.swap(g_calls);
    return out;
}

class HostInfo : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_installError = privatenames::install(s_dir->path(),
                                               "127.0.0.1 localhost\n"
                                               "127.0.0.7 host7.test\n"
                                               "127.0.0.10 two.test\n"
                                               "127.0.0.11 two.test\n"
                                               "127.0.0.9 xn--bcher-kva.test\n"
                                               "::1 v6only.test\n");
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_installError.isEmpty()) << qPrintable(s_installError);
        zam_plugin_register_log_cb(&PluginTestHost::logSink);
        zam_plugin_register_service_data_cb(&PluginTestHost::serviceLookup);
        host.setService(QString::fromLatin1(kAsyncService), reinterpret_cast<void*>(&recordAsyncResolve));
        takeCalls();
    }
    void TearDown() override
    {
        zam_plugin_register_log_cb(nullptr);
        zam_plugin_register_service_data_cb(nullptr);
    }

    PluginTestHost host{QString()};
    static QTemporaryDir* s_dir;
    static QString s_installError;
};

QTemporaryDir* HostInfo::s_dir = nullptr;
QString HostInfo::s_installError;

struct ResolveCase
{
    const char* label;
    const char* name;
    const char* address;
    int useHostName;
    int mode;
    int rc;
    const char* expected;       // address answered (and, on success, left in hostAddress)
    const char* reason;         // fail reason, "" on success
    std::vector<AsyncCall> calls;
};

TEST_F(HostInfo, ResolveToAddrTable)
{
    const std::vector<ResolveCase> cases = {
        {"address text preferred", "host7.test", "10.0.0.5", 0, 0, 1, "10.0.0.5", "", {{1, "10.0.0.5", "host7.test"}}},
        {"useHostName resolves by name", "host7.test", "10.0.0.5", 1, 0, 1, "127.0.0.7", "", {}},
        {"empty address resolves by name", "host7.test", "", 0, 0, 1, "127.0.0.7", "", {}},
        {"address alone", "", "127.0.0.3", 1, 0, 1, "127.0.0.3", "", {{1, "127.0.0.3", ""}}},
        {"mode 2 never asks", "host7.test", "10.0.0.5", 0, 2, 1, "10.0.0.5", "", {}},
        {"known address of the name wins", "two.test", "127.0.0.11", 1, 0, 1, "127.0.0.11", "", {}},
        {"first address otherwise", "two.test", "10.9.9.9", 1, 0, 1, "127.0.0.10", "", {}},
        {"IDN name", "b\xc3\xbc" "cher.test", "", 1, 0, 1, "127.0.0.9", "", {}},
        {"nothing set", "", "", 1, 0, 0, "", "hostname and IP address are not set", {}},
        {"IPv6 address text", "host7.test", "fe80::1", 0, 0, 0, "", "invalid host IP address", {}},
        {"address out of range", "", "300.1.2.3", 0, 0, 0, "", "invalid host IP address", {}},
        {"not an address", "", "no-address", 0, 0, 0, "", "invalid host IP address", {}},
        {"unknown name", "nothing.invalid", "", 1, 0, 0, "", "cannot resolve host IP address", {}},
        {"IPv6-only name", "v6only.test", "10.0.0.5", 1, 0, 0, "", "cannot resolve host IP address", {}},
    };
    for (const ResolveCase& c : cases) {
        SCOPED_TRACE(c.label);
        PluginTestRecord rec;
        rec.setHost(c.name, c.address, c.useHostName != 0);
        rec.mon.mode = c.mode;
        QHostAddress out(QStringLiteral("1.1.1.1"));
        EXPECT_EQ(CHostInfo::resolveToAddr(&rec.mon, out), c.rc);
        EXPECT_STREQ(rec.mon.failReason, c.reason);
        if (c.rc) {
            EXPECT_EQ(out.toString(), QString::fromLatin1(c.expected));
            EXPECT_STREQ(rec.mon.hostAddress, c.expected);
        } else {
            EXPECT_TRUE(out.isNull());
        }
        EXPECT_EQ(takeCalls(), c.calls);
    }
}

TEST_F(HostInfo, TraceLinesOfAResolution)
{
    PluginTestRecord rec;
    rec.setHost("host7.test", "", true);
    rec.mon.typeIndex = 1;
    rec.mon.monitorId = 3;
    rec.mon.logEnabled = 1;
    QHostAddress out;
    ASSERT_EQ(CHostInfo::resolveToAddr(&rec.mon, out), 1);
    EXPECT_EQ(host.logTexts(ZAM_LOG_TRACE),
              QStringList({QStringLiteral("host7.test: TCP monitor, id=3: resolve address"),
                           QStringLiteral("host7.test: TCP monitor, id=3: resolve address ok: '127.0.0.7'")}));
}

TEST_F(HostInfo, ResolveForUncGivesDottedTextOrNothing)
{
    PluginTestRecord ok;
    ok.setHost("host7.test", "", true);
    QByteArray text("stale");
    EXPECT_EQ(CHostInfo::resolveForUnc(&ok.mon, text), 1);
    EXPECT_EQ(text, QByteArray("127.0.0.7"));

    PluginTestRecord bad;
    bad.setHost("nothing.invalid", "", true);
    text = "stale";
    EXPECT_EQ(CHostInfo::resolveForUnc(&bad.mon, text), 0);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_STREQ(bad.mon.failReason, "cannot resolve host IP address");
}

struct AsyncCase
{
    const char* label;
    const char* name;
    const char* address;
    int useHostName;
    int mode;
    int rc;
    QByteArray expected;
    std::vector<AsyncCall> calls;
};

TEST_F(HostInfo, ResolveAsyncTable)
{
    const std::vector<AsyncCase> cases = {
        {"by name", "host7.test", "10.0.0.5", 1, 0, 1, "host7.test", {{0, "host7.test", "10.0.0.5"}}},
        {"by address", "host7.test", "10.0.0.5", 0, 0, 1, "10.0.0.5", {{1, "10.0.0.5", "host7.test"}}},
        {"name when no address", "host7.test", "", 0, 0, 1, "host7.test", {{0, "host7.test", ""}}},
        {"address when no name", "", "10.0.0.5", 1, 0, 1, "10.0.0.5", {{1, "10.0.0.5", ""}}},
        {"IDN name in ACE form", "b\xc3\xbc" "cher.test", "", 1, 0, 1, "xn--bcher-kva.test",
         {{0, QString::fromUtf8("b\xc3\xbc" "cher.test"), ""}}},
        {"mode 1 never asks", "host7.test", "", 1, 1, 1, "host7.test", {}},
        {"nothing set", "", "", 1, 0, 0, "", {}},
    };
    for (const AsyncCase& c : cases) {
        SCOPED_TRACE(c.label);
        PluginTestRecord rec;
        rec.setHost(c.name, c.address, c.useHostName != 0);
        rec.mon.mode = c.mode;
        QByteArray name("stale");
        EXPECT_EQ(CHostInfo::resolveAsync(&rec.mon, name), c.rc);
        EXPECT_EQ(name, c.expected);
        EXPECT_STREQ(rec.mon.failReason, c.rc ? "" : "hostname and IP address are not set");
        EXPECT_EQ(takeCalls(), c.calls);
    }
}

TEST_F(HostInfo, WithoutTheDaemonServiceNothingIsRequested)
{
    host.setService(QString::fromLatin1(kAsyncService), nullptr);
    PluginTestRecord rec;
    rec.setHost("host7.test", "10.0.0.5", false);
    QHostAddress out;
    QByteArray name;
    EXPECT_EQ(CHostInfo::resolveToAddr(&rec.mon, out), 1);
    EXPECT_EQ(CHostInfo::resolveAsync(&rec.mon, name), 1);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_TRUE(host.servicesAsked().contains(QString::fromLatin1(kAsyncService)));
}

TEST_F(HostInfo, HostFieldsWithoutTerminatorAreReadWithinBounds)
{
    PluginTestRecord rec;
    std::memset(rec.mon.hostName, 'a', sizeof rec.mon.hostName);
    std::memset(rec.mon.hostAddress, '1', sizeof rec.mon.hostAddress);
    rec.mon.useHostName = 1;
    rec.mon.mode = 0;
    QByteArray name;
    EXPECT_EQ(CHostInfo::resolveAsync(&rec.mon, name), 1);
    EXPECT_EQ(name.size(), static_cast<int>(sizeof rec.mon.hostName));
    const std::vector<AsyncCall> calls = takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first.size(), static_cast<int>(sizeof rec.mon.hostName));
    EXPECT_EQ(calls[0].second.size(), static_cast<int>(sizeof rec.mon.hostAddress));

    rec.mon.useHostName = 0;
    QHostAddress out;
    EXPECT_EQ(CHostInfo::resolveToAddr(&rec.mon, out), 0);
    EXPECT_STREQ(rec.mon.failReason, "invalid host IP address");
}

TEST(HostInfoAddr, FillAddrWritesNetworkOrderAndZeroesTheRest)
{
    sockaddr_in addr;
    std::memset(&addr, 0xAB, sizeof addr);
    CHostInfo::fillAddr(addr, QHostAddress(QStringLiteral("127.1.2.3")), 8080);
    EXPECT_EQ(addr.sin_family, AF_INET);
    EXPECT_EQ(addr.sin_port, htons(8080));
    const unsigned char expected[4] = {127, 1, 2, 3};
    EXPECT_EQ(std::memcmp(&addr.sin_addr, expected, 4), 0);
    for (unsigned char b : addr.sin_zero)
        EXPECT_EQ(b, 0);
}

class FakeSettings : public IPluginGlobalSettings
{
public:
    QString pythonPath() override { return QStringLiteral("/opt/python3"); }
};

FakeSettings g_fakeSettings;
std::atomic<int> g_settingsAsked{0};

IPluginGlobalSettings* fakeSettingsInterface()
{
    ++g_settingsAsked;
    return &g_fakeSettings;
}

FakeSettings g_otherSettings;
IPluginGlobalSettings* otherSettingsInterface()
{
    return &g_otherSettings;
}

// One sequence: the pointer is library-global and kept once obtained.
TEST(HostInfoGlobalSettings, ObtainedOnceSharedAcrossThreadsAndKept)
{
    static int runs = 0;
    if (runs++ > 0)
        GTEST_SKIP() << "the pointer is kept for the rest of the process";
    PluginTestHost host{QString()};
    zam_plugin_register_service_data_cb(&PluginTestHost::serviceLookup);

    EXPECT_EQ(getPluginGlobalSettings(), nullptr);
    EXPECT_EQ(getPluginGlobalSettings(), nullptr);
    EXPECT_EQ(host.servicesAsked().count(QString::fromLatin1(kSettingsService)), 2) << "asked again while missing";

    host.setService(QString::fromLatin1(kSettingsService), reinterpret_cast<void*>(&fakeSettingsInterface));
    std::vector<std::thread> threads;
    std::vector<IPluginGlobalSettings*> seen(8, nullptr);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] {
            for (int k = 0; k < 200; ++k)
                seen[i] = getPluginGlobalSettings();
        });
    for (std::thread& t : threads)
        t.join();
    for (IPluginGlobalSettings* p : seen)
        EXPECT_EQ(p, &g_fakeSettings);
    EXPECT_GE(g_settingsAsked.load(), 1);
    EXPECT_LE(g_settingsAsked.load(), 8) << "kept after the first answer";
    EXPECT_EQ(getPluginGlobalSettings()->pythonPath(), QStringLiteral("/opt/python3"));

    host.setService(QString::fromLatin1(kSettingsService), reinterpret_cast<void*>(&otherSettingsInterface));
    EXPECT_EQ(getPluginGlobalSettings(), &g_fakeSettings);
    zam_plugin_register_service_data_cb(nullptr);
}

} // namespace
