// The pool of task threads: start size, growth, limits, retirement and the watchdog, driven by
// a hand-set clock from the test thread (which plays the task manager).
#include "ManualClock.h"
#include "TestTasks.h"
#include "support/CapturedMessages.h"
#include "core/PerformanceStatistics.h"
#include "engine/CTaskThreadsPool.h"

#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using Ptr = QExplicitlySharedDataPointer<TestTask>;

struct PoolFixture {
    ManualClock clock;
    ClockInstaller installer{&clock};
    FinishedQueue finished;
    std::unique_ptr<CTaskThreadsPool> pool{new CTaskThreadsPool(nullptr, nullptr, finished.callback(), nullptr, &clock)};

    Ptr start(const QString& name, bool blocking = true, int deadlockAfter = 300)
    {
        Ptr task(new TestTask(name, blocking, nullptr, deadlockAfter));
        EXPECT_TRUE(pool->dispatch(CTaskPtr(task.data())));
        EXPECT_TRUE(task->started.tryAcquire(1, 20000));
        return task;
    }
    void finish(const Ptr& task)
    {
        task->release.release();
        CTaskThread* t = finished.take();
        ASSERT_NE(t, nullptr);
        pool->threadDone(t);
    }
};

TEST(TaskThreadsPool, StartsWithEightIdleThreads)
{
    PoolFixture f;
    EXPECT_EQ(f.pool->idleCount(), 8);
    EXPECT_EQ(f.pool->busyCount(), 0);
    EXPECT_EQ(f.pool->threadCounter(), 8);
    EXPECT_EQ(f.pool->maxThreads(), 100);
    EXPECT_EQ(f.pool->cpuLoadLimit(), 80);
}

TEST(TaskThreadsPool, LimitsAreClampedAndLogged)
{
    PoolFixture f;
    CapturedMessages messages;
    struct Case {
        int threads, cpu, expectThreads, expectCpu;
    };
    const Case cases[] = {
        {5, 200, 8, 100}, {0, 0, 100, 80}, {-1, 5, 100, 10}, {3000, -1, 2048, 10},
        {1000000, 1000000, 2048, 100}, {-7, -7, 2048, 100}, {64, 55, 64, 55},
    };
    for (const Case& c : cases) {
        f.pool->setLimits(c.threads, c.cpu);
        EXPECT_EQ(f.pool->maxThreads(), c.expectThreads) << c.threads;
        EXPECT_EQ(f.pool->cpuLoadLimit(), c.expectCpu) << c.cpu;
        EXPECT_EQ(CapturedMessages::lines().last(),
                  QStringLiteral("info: task threads pool: new limits: threads=%1, cpuload=%2")
                      .arg(c.expectThreads)
                      .arg(c.expectCpu));
    }
}

TEST(TaskThreadsPool, EightTasksAlwaysRunAndMoreOnlyUnderTheLoadLimit)
{
    PoolFixture f;
    f.clock.setLoad(100);
    std::vector<Ptr> tasks;
    for (int i = 0; i < 8; ++i)
        tasks.push_back(f.start(QStringLiteral("t%1").arg(i)));   // whatever the load
    struct Case {
        int load;
        bool accepts;
    };
    for (const Case& c : {Case{79, true}, Case{80, false}, Case{100, false}, Case{0, true}}) {
        f.clock.setLoad(c.load);
        EXPECT_EQ(f.pool->canAccept(), c.accepts) << c.load;
    }
    f.clock.setLoad(79);
    tasks.push_back(f.start(QStringLiteral("ninth")));
    EXPECT_EQ(f.pool->threadCounter(), 9);   // no idle thread was left: a new one
    EXPECT_EQ(f.pool->busyCount(), 9);

    // The thread limit holds even at no load.
    f.clock.setLoad(0);
    f.pool->setLimits(9, -1);
    EXPECT_FALSE(f.pool->canAccept());
    for (const Ptr& t : tasks)
        f.finish(t);
    EXPECT_EQ(f.pool->idleCount(), 9);
}

TEST(TaskThreadsPool, ATaskPrefersTheThreadThatRanItLast)
{
    PoolFixture f;
    Ptr task = f.start(QStringLiteral("again"), false);
    CTaskThread* first = task->ranOn;
    f.finish(task);
    Ptr other = f.start(QStringLiteral("other"), false);   // takes the most recently idle thread
    f.finish(other);
    EXPECT_EQ(other->ranOn.load(), first);
    Ptr blocker = f.start(QStringLiteral("blocker"));        // occupies that thread
    EXPECT_EQ(blocker->ranOn.load(), first);
    Ptr again(new TestTask(QStringLiteral("again2"), false));
    again->setLastThread(first);   // busy now: another idle thread is taken
    ASSERT_TRUE(f.pool->dispatch(CTaskPtr(again.data())));
    ASSERT_TRUE(again->started.tryAcquire(1, 20000));
    f.pool->threadDone(f.finished.take());
    EXPECT_NE(again->ranOn.load(), first);
    f.finish(blocker);
}

// A new poll task of a monitor goes back to the thread that polled that monitor last (it holds
// the monitor's working copy), not to the thread that became idle last.
TEST(TaskThreadsPool, APollPrefersTheThreadThatPolledItsMonitorLast)
{
    PoolFixture f;
    auto poll = [&](int monitor) {
        Ptr task(new TestTask(QStringLiteral("poll %1").arg(monitor), false));
        task->monitorId = monitor;
        EXPECT_TRUE(f.pool->dispatch(CTaskPtr(task.data())));
        EXPECT_TRUE(task->started.tryAcquire(1, 20000));
        f.pool->threadDone(f.finished.take());
        return task->ranOn.load();
    };
    CTaskThread* polledFive = poll(5);
    Ptr first = f.start(QStringLiteral("b1"));    // the newest idle thread: the one that polled 5
    Ptr second = f.start(QStringLiteral("b2"));
    ASSERT_EQ(first->ranOn.load(), polledFive);
    CTaskThread* newest = second->ranOn;
    f.finish(first);
    f.finish(second);                              // now the newest idle thread
    EXPECT_EQ(poll(6), newest) << "a monitor polled nowhere before takes the newest idle thread";
    EXPECT_EQ(poll(5), polledFive);                // though the thread of 6 is the newest idle one
    EXPECT_EQ(poll(6), newest);
}

TEST(TaskThreadsPool, IdleThreadsBeyondEightRetireAfterTwoMinutes)
{
    PoolFixture f;
    std::vector<Ptr> tasks;
    for (int i = 0; i < 12; ++i)
        tasks.push_back(f.start(QStringLiteral("t%1").arg(i)));
    EXPECT_EQ(f.pool->threadCounter(), 12);
    for (const Ptr& t : tasks)
        f.finish(t);
    ASSERT_EQ(f.pool->idleCount(), 12);

    f.clock.advance(119);
    f.pool->maintain();
    EXPECT_EQ(f.pool->idleCount(), 12);   // 119 s idle: stays
    f.clock.advance(2);
    f.pool->maintain();
    EXPECT_EQ(f.pool->idleCount(), 8);
    // The retired threads are deleted once they have ended.
    for (int i = 0; i < 200 && f.pool->finishingCount() > 0; ++i) {
        QThread::msleep(20);
        f.pool->maintain();
    }
    EXPECT_EQ(f.pool->finishingCount(), 0);
}

TEST(TaskThreadsPool, WatchdogAsksTwiceThenAbandonsTheThreadAndReportsOnce)
{
    PoolFixture f;
    CapturedMessages messages;
    Ptr stuck = f.start(QStringLiteral("poll monitor 5"));
    const int number = stuck->ranOn.load()->number();
    f.pool->maintain();   // the first watchdog call only notes the time
    f.clock.advance(29);
    f.pool->maintain();   // 29 s later: nothing
    EXPECT_EQ(stuck->stops.load(), 0);

    const QString warning = QStringLiteral("warning: thread %1 with poll monitor 5 detected as deadlocked for %2 time(s)");
    f.clock.advance(272);   // 301 s since the task started
    f.pool->maintain();
    EXPECT_EQ(stuck->stops.load(), 1);
    EXPECT_EQ(stuck->state(), 1);
    EXPECT_EQ(CapturedMessages::count(warning.arg(number).arg(1)), 1);

    f.clock.advance(200);   // below the threshold again, counted from the first detection
    f.pool->maintain();
    EXPECT_EQ(stuck->stops.load(), 1);
    f.clock.advance(101);
    f.pool->maintain();
    EXPECT_EQ(stuck->stops.load(), 2);
    EXPECT_EQ(CapturedMessages::count(warning.arg(number).arg(2)), 1);
    EXPECT_EQ(f.pool->busyCount(), 1);

    f.clock.advance(301);
    f.pool->maintain();
    EXPECT_EQ(CapturedMessages::count(
                  QStringLiteral("critical: task threads pool: thread %1 with poll monitor 5 is deadlocked").arg(number)),
              1);
    EXPECT_EQ(CapturedMessages::count(
                  QStringLiteral("critical: task threads pool: terminating deadlocked thread %1 with poll monitor 5")
                      .arg(number)),
              1);
    EXPECT_EQ(f.pool->busyCount(), 0);
    EXPECT_EQ(f.pool->abandonedCount(), 1);
    EXPECT_EQ(stuck->disables.load(), 1);
    EXPECT_EQ(stuck->dones.load(), 1);   // reported by the pool, after the thread left it

    // The task finally returns: its thread reports nothing more and ends.
    stuck->release.release();
    for (int i = 0; i < 200 && f.pool->abandonedCount() > 0; ++i) {
        QThread::msleep(20);
        f.pool->maintain();
    }
    EXPECT_EQ(f.pool->abandonedCount(), 0);
    EXPECT_EQ(stuck->dones.load(), 1);
    // The pool goes on with fresh work.
    Ptr next = f.start(QStringLiteral("next"), false);
    f.pool->threadDone(f.finished.take());
    EXPECT_EQ(next->dones.load(), 1);
}

TEST(TaskThreadsPool, AStillAliveTaskIsNotFlagged)
{
    PoolFixture f;
    Ptr busy = f.start(QStringLiteral("long poll"));
    f.pool->maintain();
    for (int i = 0; i < 5; ++i) {
        f.clock.advance(200);
        busy->markStarted();   // the library's heartbeat
        f.clock.advance(100);
        f.pool->maintain();
    }
    EXPECT_EQ(busy->stops.load(), 0);
    f.finish(busy);
}

TEST(TaskThreadsPool, ShutdownStopsEveryThreadAndAbandonsOnlyAStuckOne)
{
    PoolFixture f;
    Ptr quick = f.start(QStringLiteral("quick"));
    Ptr stuck = f.start(QStringLiteral("stuck"));
    f.pool->stopAll();
    EXPECT_EQ(quick->stops.load(), 1);
    EXPECT_EQ(stuck->state(), 1);
    quick->release.release();
    f.pool->waitAll(500);
    EXPECT_EQ(quick->dones.load(), 1);
    EXPECT_EQ(f.pool->abandonedCount(), 1);
    EXPECT_EQ(stuck->dones.load(), 1);
    stuck->release.release();
    for (int i = 0; i < 200 && f.pool->abandonedCount() > 0; ++i) {
        QThread::msleep(20);
        f.pool->maintain();
    }
    EXPECT_EQ(stuck->dones.load(), 1);
}

TEST(TaskThreadsPool, AbandonedThreadsAreBoundedAndTheBoundIsLogged)
{
    PoolFixture f;
    CapturedMessages messages;
    const int stuckCount = CTaskThreadsPool::kMaxAbandoned + 1;
    const quint32 countedBefore = statisticCounter(STAT_ABANDONED_THREADS).count;
    std::vector<Ptr> stuck;
    for (int i = 0; i < stuckCount; ++i)
        stuck.push_back(f.start(QStringLiteral("stuck %1").arg(i)));
    f.pool->maintain();
    for (int pass = 0; pass < stuckCount + 4; ++pass) {
        f.clock.advance(301);
        f.pool->maintain();
    }
    EXPECT_EQ(f.pool->abandonedCount(), CTaskThreadsPool::kMaxAbandoned);
    EXPECT_EQ(f.pool->busyCount(), 1);
    // The thread kept at the cap is flagged on every pass, but logged once, and so is the cap.
    const QStringList limitLines = CapturedMessages::lines().filter(
        QStringLiteral("threads are abandoned already; thread"));
    ASSERT_EQ(limitLines.size(), 1);
    EXPECT_TRUE(limitLines.first().startsWith(QStringLiteral("critical: task threads pool: 16 threads are abandoned")))
        << limitLines.first().toStdString();
    EXPECT_EQ(CapturedMessages::lines().filter(QStringLiteral(" is deadlocked")).size(), stuckCount);
    EXPECT_EQ(statisticCounter(STAT_ABANDONED_THREADS).count - countedBefore,
              static_cast<quint32>(CTaskThreadsPool::kMaxAbandoned));
    EXPECT_EQ(statisticCounter(STAT_ABANDONED_THREADS).max, static_cast<quint32>(CTaskThreadsPool::kMaxAbandoned));
    int reported = 0;
    for (const Ptr& t : stuck)
        reported += t->dones.load();
    EXPECT_EQ(reported, CTaskThreadsPool::kMaxAbandoned);

    for (const Ptr& t : stuck)
        t->release.release();
    f.pool->threadDone(f.finished.take());   // the one still in the pool reports as usual
    for (int i = 0; i < 300 && f.pool->abandonedCount() > 0; ++i) {
        QThread::msleep(20);
        f.pool->maintain();
    }
    EXPECT_EQ(f.pool->abandonedCount(), 0);
    reported = 0;
    for (const Ptr& t : stuck)
        reported += t->dones.load();
    EXPECT_EQ(reported, stuckCount);   // each task reported exactly once
}

class ThrowingTask : public CTask
{
public:
    ThrowingTask()
        : CTask(QStringLiteral("thrower"))
    {
    }
    void exec(CTaskThread*) override { throw std::runtime_error("bad input"); }
    void done(CTaskThread*) override
    {
        ++dones;
        throw 7;
    }
    bool isDeadlocked(int) override { return false; }
    std::atomic<int> dones{0};
};

TEST(TaskThreadsPool, ExceptionsOfATaskAreLoggedAndTheThreadGoesOn)
{
    PoolFixture f;
    CapturedMessages messages;
    QExplicitlySharedDataPointer<ThrowingTask> task(new ThrowingTask);
    ASSERT_TRUE(f.pool->dispatch(CTaskPtr(task.data())));
    CTaskThread* thread = f.finished.take();
    ASSERT_NE(thread, nullptr);
    f.pool->threadDone(thread);
    EXPECT_EQ(task->dones.load(), 1);   // done runs although exec threw
    const QString prefix = QStringLiteral("warning: task thread %1 with thrower: exception in ").arg(thread->number());
    EXPECT_EQ(CapturedMessages::count(prefix + QStringLiteral("task exec: bad input")), 1);
    EXPECT_EQ(CapturedMessages::count(prefix + QStringLiteral("task done")), 1);
    Ptr next = f.start(QStringLiteral("next"), false);
    f.pool->threadDone(f.finished.take());
    EXPECT_EQ(next->dones.load(), 1);
}

// What the watchdog hands on when it gives a thread up: the incident names a poll by its kind
// and says how long the thread was busy; a task of no monitor is a plain thread.
TEST(TaskThreadsPool, AGivenUpThreadIsReportedAsAnIncident)
{
    struct Case {
        std::optional<int> monitorId;
        const char* text;
    };
    const Case cases[] = {
        {5, "Poll task thread terminated: deadlock detected (no response for 903 seconds)"},
        {std::nullopt, "Thread terminated: deadlock detected (no response for 903 seconds)"},
    };
    for (const Case& c : cases) {
        PoolFixture f;
        CapturedMessages messages;
        QStringList incidents;
        f.pool->setIncidentHook([&](QThread*, const QString& text, const QDateTime&) { incidents << text; });
        Ptr stuck(new TestTask(QStringLiteral("stuck"), true));
        stuck->monitorId = c.monitorId;
        ASSERT_TRUE(f.pool->dispatch(CTaskPtr(stuck.data())));
        ASSERT_TRUE(stuck->started.tryAcquire(1, 20000));
        f.pool->maintain();
        for (int pass = 0; pass < 3; ++pass) {
            f.clock.advance(301);
            f.pool->maintain();
        }
        EXPECT_EQ(f.pool->abandonedCount(), 1);
        EXPECT_EQ(incidents, QStringList{QString::fromLatin1(c.text)});
        stuck->release.release();
        for (int i = 0; i < 200 && f.pool->abandonedCount() > 0; ++i) {
            QThread::msleep(20);
            f.pool->maintain();
        }
    }
}

}  // namespace
