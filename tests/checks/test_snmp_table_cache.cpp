// The shared SNMP table cache: keys by agent and credentials, waiting for an entry that another
// poll holds (and giving up on a stop request), and maintenance that drops stale entries only.

#include "support/NetSnmpForTests.h"
#include "Snmp/CSnmpMonitorJob.h"
#include "Snmp/CSnmpServer.h"
#include "Snmp/CSnmpTableCache.h"
#include "Snmp/CSnmpTableLocker.h"
#include "Snmp/CSnmpWorker.h"
#include "CTimeWatcher.h"
#include "support/PluginTestHost.h"
#include "support/TestServers.h"
#include "zam_core_context.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

CSnmpServer server(int version, const char* community, const char* user = "", const char* pass = "")
{
    CSnmpServer s;
    s.peer = "udp:127.0.0.1:161";
    s.port = 161;
    s.version = version;
    s.community = community;
    s.securityName = user;
    s.authPass = pass;
    return s;
}

TEST(SnmpTableCacheKey, SameAgentAndCredentialsOnly)
{
    EXPECT_EQ(server(2, "a"), server(2, "a"));
    EXPECT_NE(server(2, "a"), server(2, "b"));
    EXPECT_NE(server(1, "a"), server(2, "a"));
    // v3: the community plays no part, the user and pass phrases do.
    EXPECT_EQ(server(3, "a", "u", "p"), server(3, "b", "u", "p"));
    EXPECT_EQ(qHash(server(3, "a", "u", "p")), qHash(server(3, "b", "u", "p")));
    EXPECT_NE(server(3, "a", "u", "p"), server(3, "a", "v", "p"));
    EXPECT_NE(server(3, "a", "u", "p"), server(3, "a", "u", "q"));
    CSnmpServer otherPort = server(2, "a");
    otherPort.port = 162;
    EXPECT_NE(otherPort, server(2, "a"));
    const CSnmpTableCacheKey a{server(2, "a"), ".1.3", {".1.1", ".1.2"}};
    const CSnmpTableCacheKey b{server(2, "a"), ".1.3", {".1.1", ".1.3"}};
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == (CSnmpTableCacheKey{server(2, "a"), ".1.3", {".1.1", ".1.2"}}));
    EXPECT_EQ(byteStringHash(""), 0u);
    EXPECT_EQ(byteStringHash("a"), 97u);
    EXPECT_EQ(byteStringHash("ab"), 97u * 16 + 98);
}

int keepGoing(void*)
{
    return 0;
}

int stopAfterFirstAsk(void* context)
{
    return static_cast<std::atomic<int>*>(context)->fetch_add(1) > 0 ? 1 : 0;
}

TEST(SnmpTableCache, SecondReaderWaitsOrStops)
{
    CSnmpTableCache* cache = CSnmpTableCache::instance();
    const CSnmpTableCacheKey key{server(2, "wait-test"), ".1.9", {".1"}};
    auto held = cache->getLockedEntry(key, &keepGoing, nullptr);
    ASSERT_TRUE(held);
    // A stop request while the entry is held elsewhere: null, and the waiter count is back to 0.
    std::atomic<int> asks{0};
    EXPECT_FALSE(cache->getLockedEntry(key, &stopAfterFirstAsk, &asks));
    EXPECT_GE(asks.load(), 2);
    EXPECT_EQ(held->waiters.load(), 0);

    // A second reader gets the same entry once the first lets go, and sees its table.
    std::atomic<bool> got{false};
    QSharedPointer<CSnmpTableCacheEntry> second;
    std::thread reader([&] {
        second = cache->getLockedEntry(key, &keepGoing, nullptr);
        got = true;
    });
    held->table = {{"1"}};
    held->valid = true;
    held->mutex.unlock();
    reader.join();
    ASSERT_TRUE(got.load());
    ASSERT_TRUE(second);
    EXPECT_EQ(second.data(), held.data());
    EXPECT_EQ(second->table, (QList<QStringList>{{"1"}}));
    second->mutex.unlock();
}

TEST(SnmpTableCache, MaintenanceDropsStaleUnusedEntries)
{
    CSnmpTableCache* cache = CSnmpTableCache::instance();
    const uint32_t now = CTimeWatcher::nowMillisec();
    const uint32_t life = static_cast<uint32_t>(CSnmpTableCache::lifeMs());
    auto make = [&](const char* name, bool valid, uint32_t end) {
        const CSnmpTableCacheKey key{server(2, name), ".1.9", {".1"}};
        auto entry = cache->getLockedEntry(key, &keepGoing, nullptr);
        entry->valid = valid;
        entry->end = end;
        return entry;
    };
    cache->doMaintenance();  // entries of earlier tests go first
    const int before = cache->size();
    auto fresh = make("fresh", true, now);
    auto stale = make("stale", true, now - life - 1000);
    auto broken = make("broken", false, now);
    auto busy = make("busy", true, now - life - 1000);  // stays locked: a poll is refreshing it
    fresh->mutex.unlock();
    stale->mutex.unlock();
    broken->mutex.unlock();
    EXPECT_TRUE(CSnmpTableCache::isFresh(*fresh, now));
    EXPECT_FALSE(CSnmpTableCache::isFresh(*stale, now));
    ASSERT_EQ(cache->size(), before + 4);
    cache->doMaintenance();
    EXPECT_EQ(cache->size(), before + 2);  // fresh and busy stay
    // The erased entry still serves whoever holds it.
    EXPECT_TRUE(stale->valid);
    busy->mutex.unlock();
    busy->end = now - life - 1000;
    cache->doMaintenance();
    EXPECT_EQ(cache->size(), before + 1);
}

// A poll whose stop request comes while another poll refreshes the same table.
TEST(SnmpTableCache, WalkAbortsWhileAnotherPollHoldsTheTable)
{
    ZAM_REQUIRE_TEST_SERVERS();
    initNetSnmpForTests();
    zam_plugin_register_log_cb(&PluginTestHost::logSink);
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    stCoreZamContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    ctx.active = 1;
    ctx.snmpMutex = &mutex;
    PluginTestRecord rec;
    rec.setHost("", testservers::kHost, false);
    rec.mon.timeout = 3000;
    std::atomic<int> asks{0};
    rec.mon.stillAlive = &stopAfterFirstAsk;
    rec.mon.stillAliveContext = &asks;
    CSnmpMonitorJob job(&rec.mon);
    job.version = 2;
    job.port = testservers::kSnmpFixturePort;
    job.community = testservers::kSnmpFixCommunity;
    CSnmpWorker worker(&job);
    CTimeWatcher watcher(rec.mon.timeout);
    ASSERT_EQ(snmpTryInitSession(&ctx, worker, watcher), 0) << rec.mon.failReason;

    const QString table = QStringLiteral(".1.3.6.1.2.1.25.3.3.1");
    const QStringList columns{QStringLiteral(".2")};
    auto held = CSnmpTableCache::instance()->getLockedEntry({CSnmpServer(job), table, columns}, &keepGoing, nullptr);
    ASSERT_TRUE(held);
    QList<QStringList> rows;
    unsigned stamp = 0;
    EXPECT_EQ(worker.walkTable(table, columns, rows, stamp), 1);
    EXPECT_EQ(std::string(rec.mon.failReason).rfind("SNMP operation aborted", 0), 0u) << rec.mon.failReason;
    held->mutex.unlock();
}

}  // namespace
