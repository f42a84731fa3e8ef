// The maintenance thread and the blocks that init hands out.

#include "CTimerThread.h"
#include "Snmp/CSnmpTableCache.h"
#include "Snmp/snmp_mutex.h"
#include "Ssh/CSshClientPool.h"
#include "common/TestTimeScale.h"
#include "zam_core_context.h"
#include "zam_plugin_api.h"
#include "support/EventLoopWait.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <cstdlib>
#include <malloc.h>

namespace {

// The 60000 ms period, shortened for the test to 60 ms.
const bool kScaled = [] {
    setenv("NETAGENTD_TEST_TIME_SCALE", "0.001", 1);
    return true;
}();

constexpr int kWaitMs = 20000;

class Probe : public QObject
{
    Q_OBJECT
public:
    std::atomic<int> runs{0};
    std::atomic<QThread*> ranOn{nullptr};
public slots:
    void tick()
    {
        ranOn.store(QThread::currentThread());
        ++runs;
    }
};

TEST(MaintenanceThread, BothJobsRunOnTheMaintenanceThreadUntilTerm)
{
    ASSERT_TRUE(kScaled);
    ASSERT_EQ(CTimerThread::maintenanceIntervalMs(), 60);
    auto* cache = CSnmpTableCache::instance();
    auto* pool = CSshClientPool::instance();

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const int cacheBefore = cache->maintenanceRuns();
        const int poolBefore = pool->maintenanceRuns();
        stCoreZamContext* ctx = nullptr;
        ASSERT_EQ(zam_plugin_init(&ctx), 0);
        ASSERT_NE(CTimerThread::instance(), nullptr);
        QThread* maintenance = CTimerThread::instance();
        EXPECT_TRUE(waitUntil([&] {
            return cache->maintenanceRuns() >= cacheBefore + 2 && pool->maintenanceRuns() >= poolBefore + 2;
        }, kWaitMs));
        EXPECT_EQ(cache->lastMaintenanceThread(), maintenance);
        EXPECT_EQ(pool->lastMaintenanceThread(), maintenance);
        EXPECT_NE(cache->lastMaintenanceThread(), QThread::currentThread());

        // A job added while the thread runs starts too.
        Probe probe;
        CTimerThread::instance()->addPeriodicJob(10, &probe, "1tick()");
        EXPECT_TRUE(waitUntil([&] { return probe.runs.load() >= 2; }, kWaitMs));
        EXPECT_EQ(probe.ranOn.load(), maintenance);

        ASSERT_EQ(zam_plugin_term(ctx), 0);
        EXPECT_EQ(CTimerThread::instance(), nullptr);
        // Handed back to this thread, and nothing runs any more.
        EXPECT_EQ(probe.thread(), QThread::currentThread());
        EXPECT_EQ(cache->thread(), QThread::currentThread());
        const int cacheAfter = cache->maintenanceRuns();
        const int probeAfter = probe.runs.load();
        // The maintenance thread has ended; a job timer left behind could only fire on this
        // thread's loop, and no event marks a timer that never fires: give it three periods.
        QTest::qWait(3 * CTimerThread::maintenanceIntervalMs());
        EXPECT_EQ(cache->maintenanceRuns(), cacheAfter);
        EXPECT_EQ(probe.runs.load(), probeAfter);
    }
}

TEST(MaintenanceThread, BadJobsAreRefused)
{
    struct Case { const char* name; bool withObject; const char* slot; };
    const Case cases[] = {
        {"no such slot", true, "1noSuchSlot()"},
        {"no object", false, "1tick()"},
        {"no slot", true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stCoreZamContext* ctx = nullptr;
        ASSERT_EQ(zam_plugin_init(&ctx), 0);
        Probe probe;
        CTimerThread::instance()->addPeriodicJob(10, c.withObject ? &probe : nullptr, c.slot);
        // A good job with the same period, added after it, ran twice: a bad one that had been
        // taken would have run by then.
        Probe good;
        CTimerThread::instance()->addPeriodicJob(10, &good, "1tick()");
        EXPECT_TRUE(waitUntil([&] { return good.runs.load() >= 2; }, kWaitMs));
        EXPECT_EQ(probe.runs.load(), 0);
        EXPECT_EQ(probe.thread(), QThread::currentThread());
        ASSERT_EQ(zam_plugin_term(ctx), 0);
    }
}

TEST(MaintenanceThread, StopWithoutARunningInstanceDoesNothing)
{
    CTimerThread::threadStop();
    EXPECT_EQ(CTimerThread::instance(), nullptr);
}

TEST(PluginContexts, BlocksAreZeroedAndLargeEnough)
{
    stCoreZamContext* ctx = nullptr;
    ASSERT_EQ(zam_plugin_init(&ctx), 0);
    ASSERT_NE(ctx, nullptr);
    EXPECT_GE(malloc_usable_size(ctx), 520u);
    EXPECT_EQ(ctx->active, 1);
    EXPECT_EQ(ctx->snmpMutex, &snmp_mutex);
    EXPECT_EQ(ctx->session.version, SNMP_DEFAULT_VERSION);
    // The session mutex works.
    EXPECT_EQ(pthread_mutex_lock(ctx->snmpMutex), 0);
    EXPECT_EQ(pthread_mutex_unlock(ctx->snmpMutex), 0);

    stCoreZamThreadContext* tctx = nullptr;
    ASSERT_EQ(zam_plugin_init_thread(ctx, &tctx), 0);
    ASSERT_NE(tctx, nullptr);
    EXPECT_EQ(tctx->mysqlThreadInit, 1);
    EXPECT_EQ(zam_plugin_term_thread(ctx, tctx), 0);

    // Another polling thread gets its own block.
    stCoreZamThreadContext* other = nullptr;
    std::thread worker([&] {
        zam_plugin_init_thread(ctx, &other);
        zam_plugin_term_thread(ctx, other);
    });
    worker.join();
    EXPECT_NE(other, nullptr);

    EXPECT_EQ(zam_plugin_term(ctx), 0);
    EXPECT_EQ(zam_plugin_term_thread(nullptr, nullptr), 0);
}

TEST(PluginContexts, SecondInitSharesTheLibraryUntilTheLastTerm)
{
    stCoreZamContext* first = nullptr;
    stCoreZamContext* second = nullptr;
    ASSERT_EQ(zam_plugin_init(&first), 0);
    CTimerThread* maintenance = CTimerThread::instance();
    ASSERT_EQ(zam_plugin_init(&second), 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(CTimerThread::instance(), maintenance);
    ASSERT_EQ(zam_plugin_term(first), 0);
    EXPECT_EQ(CTimerThread::instance(), maintenance);
    EXPECT_EQ(pthread_mutex_lock(second->snmpMutex), 0);
    EXPECT_EQ(pthread_mutex_unlock(second->snmpMutex), 0);
    ASSERT_EQ(zam_plugin_term(second), 0);
    EXPECT_EQ(CTimerThread::instance(), nullptr);
    EXPECT_EQ(zam_plugin_term(nullptr), 0);
}

}  // namespace

#include "test_maintenance_thread.moc"
