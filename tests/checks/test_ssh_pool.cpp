// The SSH client pool against the test sshd: sessions shared by equal credentials, the limit
// of 8 per server, no-reuse eviction, drops, dead clients and idle expiry.

#include "Ssh/CSshClient.h"
#include "Ssh/CSshClientPool.h"
#include "support/EventLoopWait.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <vector>

namespace {

// The idle limit of 299999 ms, shortened for this program.
const bool g_scaled = qputenv("NETAGENTD_TEST_TIME_SCALE", "0.001");

const QHostAddress kHost(QString::fromLatin1(testservers::kHost));

CSshClientAuth passwordAuth(const char* user = testservers::kUser)
{
    return CSshClientAuth(0, user, testservers::kPassword, "", "", "");
}

class SshPool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZAM_REQUIRE_TEST_SERVERS();
        zam_plugin_register_getmem_cb(&PluginTestRecord::resultMemory);
        rec.mon.timeout = 5000;
        rec.mon.logEnabled = 0;
    }
    void TearDown() override { CSshClientPool::instance()->shutdownAll(); }

    // A command run on the client, as a poll does.
    int run(CSshClient* client)
    {
        client->setMonitor(&rec.mon);
        client->setScriptAndFile(CSshClient::ExecStandard, "echo 1", "");
        return client->exec();
    }

    CSshClientPool* pool = CSshClientPool::instance();
    PluginTestRecord rec;
};

TEST_F(SshPool, EqualCredentialsShareOneSession)
{
    const int port = testservers::kSshPort;
    CSshClient* first = pool->acquireClient(kHost, port, false, "", passwordAuth(), false, 5000);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(run(first), 0) << rec.mon.failReason;
    pool->releaseClient(kHost, port, first, false);

    CSshClient* again = pool->acquireClient(kHost, port, false, "", passwordAuth(), false, 5000);
    EXPECT_EQ(again, first) << "the idle, connected client is handed out again";
    EXPECT_TRUE(again->isConnected());
    ASSERT_EQ(run(again), 0) << rec.mon.failReason;

    const CSshClientAuth key(1, testservers::kUser, "", (testservers::sshKeyPath() + ".pub").toUtf8(), testservers::sshKeyPath().toUtf8(), "");
    CSshClient* other = pool->acquireClient(kHost, port, false, "", key, false, 5000);
    EXPECT_NE(other, first) << "other credentials, another client";
    ASSERT_EQ(run(other), 0) << rec.mon.failReason;
    EXPECT_EQ(pool->clientCount(kHost, port), 2);
    pool->releaseClient(kHost, port, again, false);
    pool->releaseClient(kHost, port, other, true);
    EXPECT_EQ(pool->clientCount(kHost, port), 1) << "a dropped client goes at once";
}

TEST_F(SshPool, AtMostEightPerServer)
{
    const int port = testservers::kSshPort;
    std::vector<CSshClient*> held;
    for (int i = 0; i < CSshClientPool::kMaxPerServer; ++i)
        held.push_back(pool->acquireClient(kHost, port, false, "", passwordAuth(), false, 1000));
    for (CSshClient* c : held)
        ASSERT_NE(c, nullptr);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(pool->acquireClient(kHost, port, false, "", passwordAuth(), false, 300), nullptr);
    EXPECT_GE(timer.elapsed(), 250);

    // no-reuse with 8 entries of which one is idle (and connected): that one is closed for a new one
    ASSERT_EQ(run(held[0]), 0) << rec.mon.failReason;
    pool->releaseClient(kHost, port, held[0], false);
    CSshClient* fresh = pool->acquireClient(kHost, port, false, "", passwordAuth(), true, 1000);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->isConnected()) << "never a reused session";
    EXPECT_EQ(pool->clientCount(kHost, port), CSshClientPool::kMaxPerServer);
}

TEST_F(SshPool, DeadAndIdleClientsGo)
{
    const int port = testservers::kSshPort;
    CSshClient* client = pool->acquireClient(kHost, port, false, "", passwordAuth(), false, 5000);
    ASSERT_EQ(run(client), 0) << rec.mon.failReason;
    pool->releaseClient(kHost, port, client, false);
    // a client whose session is gone is not handed out; its slot is freed at once
    client->shutdown();
    CSshClient* next = pool->acquireClient(kHost, port, false, "", passwordAuth(), false, 5000);
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(next->isConnected());
    EXPECT_EQ(pool->clientCount(kHost, port), 1);
    ASSERT_EQ(run(next), 0) << rec.mon.failReason;
    pool->releaseClient(kHost, port, next, false);
    // idle past the (shortened) limit: closed by maintenance, and the key goes with it
    EXPECT_TRUE(waitUntil([&] {
        pool->doMaintenance();
        return pool->clientCount(kHost, port) == 0;
    }, 5000));
}

} // namespace
