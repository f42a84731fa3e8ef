// Ping, TCP and UDP polls through the loaded library hand their host to the daemon's background
// resolver when they are ordinary polls (mode 0), and only then. Every poll targets a closed or
// local port of 127.0.0.1, so the outcome of the check itself does not matter here.

#include "support/LoopbackServer.h"
#include "support/PluginTestHost.h"

#include <QMutex>
#include <gtest/gtest.h>

#include <vector>

namespace {

const char kAsyncService[] = "void_asyncResolve_int_constchar*_constchar*";

struct AsyncCall
{
    int kind;
    QString first;
    QString second;
};

QMutex g_mutex;
std::vector<AsyncCall> g_calls;

void recordAsyncResolve(int kind, const char* first, const char* second)
{
    QMutexLocker lock(&g_mutex);
    g_calls.push_back({kind, QString::fromUtf8(first), QString::fromUtf8(second)});
}

std::vector<AsyncCall> takeCalls()
{
    QMutexLocker lock(&g_mutex);
    std::vector<AsyncCall> out;
    out.swap(g_calls);
    return out;
}

enum TypeIndex : unsigned { kPing = 0, kTcp = 1, kUdp = 2 };

void addTypeSettings(PluginTestRecord& rec, unsigned type, int closedPort)
{
    switch (type) {
    case kPing:
        rec.addSetting("Packet Size, bytes", nullptr, 32, 'i');
        rec.addSetting("Reverse", nullptr, 0, 'y');
        break;
    case kTcp:
        rec.addSetting("Port", nullptr, closedPort, 'i');
        rec.addSetting("Reverse", nullptr, 0, 'y');
        break;
    case kUdp:
        rec.addSetting("Port", nullptr, closedPort, 'i');
        rec.addSetting("Data in Hex", "01020304", 0, 's');
        rec.addSetting("Expect Echo Response", nullptr, 0, 'y');
        break;
    }
}

TEST(NetworkChecksBackgroundResolve, OrdinaryPollsRegisterTheirHostOthersDoNot)
{
    PluginTestHost host;
    host.setService(QString::fromLatin1(kAsyncService), reinterpret_cast<void*>(&recordAsyncResolve));
    ASSERT_TRUE(host.load()) << host.error().toStdString();
    const int closedPort = LoopbackServer::closedPort();

    struct Case
    {
        const char* name;
        unsigned type;
        int mode;
        bool registers;
    } cases[] = {
        {"ping, poll", kPing, 0, true},   {"ping, discovery", kPing, 1, false},
        {"tcp, poll", kTcp, 0, true},     {"tcp, enumeration", kTcp, 2, false},
        {"udp, poll", kUdp, 0, true},     {"udp, discovery", kUdp, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        takeCalls();
        PluginTestRecord rec;
        rec.mon.typeIndex = c.type;
        rec.mon.timeout = 500;
        rec.mon.mode = c.mode;
        rec.setHost("probe.test", "127.0.0.1", false);
        addTypeSettings(rec, c.type, closedPort);
        host.poll(rec);
        // The address text is used as it is: no lookup of the name happened on the way.
        EXPECT_STRNE(rec.mon.failReason, "cannot resolve host IP address");
        const std::vector<AsyncCall> calls = takeCalls();
        if (!c.registers) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].kind, 1);
        EXPECT_EQ(calls[0].first, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(calls[0].second, QStringLiteral("probe.test"));
    }
}

} // namespace
