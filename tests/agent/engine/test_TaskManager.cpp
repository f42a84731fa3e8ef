// The task manager component: start-up, arrival order, limits, stop.
#include "FakePlugin.h"
#include "ManualClock.h"
#include "TestTasks.h"
#include "support/CapturedMessages.h"
#include "engine/CTaskManager.h"
#include "engine/CTaskManagerScheduler.h"
#include "engine/CPluginManager.h"
#include "engine/CTaskThreadsPool.h"
#include "support/EventLoopWait.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kWaitMs = 20000;

using Ptr = QExplicitlySharedDataPointer<TestTask>;

// A refused task arms the manager's wake; the event that tasks are held back.
bool waitUntilHeldBack(CTaskManager* manager)
{
    return waitUntil([&] { return !manager->scheduler()->nextTaskManagerWake().isNull(); }, kWaitMs);
}

// A task manager without a root: the test opens its gates.
struct ManagerFixture {
    ManualClock clock;
    ClockInstaller installer{&clock};
    CTaskManager* manager = new CTaskManager(nullptr, QStringLiteral("task manager"), 4);
    bool started = false;

    void start()
    {
        manager->start();
        started = true;
    }
    void openGate() { manager->releaseStartGate(); }
    void stop()
    {
        manager->stop();
        manager->releaseEndGate();
        EXPECT_TRUE(manager->wait(30000));
    }
    ~ManagerFixture()
    {
        if (started && !manager->isFinished())
            stop();
        delete manager;
    }
};

TEST(TaskManager, TasksWaitForPostInitAndNeverRunAfterStop)
{
    ManagerFixture f;
    f.start();
    Ptr early(new TestTask(QStringLiteral("early"), false));
    EXPECT_TRUE(f.manager->postTask(CTaskPtr(early.data())));
    QThread::msleep(300);   // nothing to wait for: before post init the manager does not look at its queue
    EXPECT_EQ(early->dones.load(), 0);   // accepted, not served before post init
    f.openGate();
    ASSERT_TRUE(waitUntil([&] { return early->dones.load() == 1; }, kWaitMs));

    f.stop();
    Ptr late(new TestTask(QStringLiteral("late"), false));
    EXPECT_FALSE(f.manager->postTask(CTaskPtr(late.data())));
    EXPECT_FALSE(f.manager->postTask(CTaskPtr()));
    f.manager->postSetLimits(0, 0);   // dropped, no crash
    EXPECT_EQ(late->dones.load(), 0);
    EXPECT_EQ(late->ref.loadRelaxed(), 1);   // nobody kept it
}

TEST(TaskManager, WaitingTasksLeaveInArrivalOrder)
{
    ManagerFixture f;
    f.clock.setLoad(100);   // beyond eight, nothing more is accepted
    f.start();
    f.openGate();
    ASSERT_TRUE(waitUntil([&] { return f.manager->scheduler() && f.manager->scheduler()->load() == 100; }, kWaitMs));
    StartLog log;
    std::vector<Ptr> blockers;
    for (int i = 0; i < 8; ++i) {
        blockers.emplace_back(new TestTask(QStringLiteral("blocker %1").arg(i), true, &log));
        f.manager->postTask(CTaskPtr(blockers.back().data()));
    }
    for (const Ptr& b : blockers)
        ASSERT_TRUE(b->started.tryAcquire(1, 20000));
    std::vector<Ptr> waiting;
    for (int i = 0; i < 4; ++i) {
        waiting.emplace_back(new TestTask(QStringLiteral("waiting %1").arg(i), true, &log));
        f.manager->postTask(CTaskPtr(waiting.back().data()));
    }
    ASSERT_TRUE(waitUntilHeldBack(f.manager));
    const QDateTime firstWake = f.manager->scheduler()->nextTaskManagerWake();
    f.clock.advance(1);   // the retry time has come; the load still refuses
    ASSERT_TRUE(waitUntil([&] { return f.manager->scheduler()->nextTaskManagerWake() > firstWake; }, kWaitMs));
    EXPECT_EQ(log.names().size(), 8);
    for (int i = 0; i < 4; ++i) {
        blockers[i]->release.release();
        ASSERT_TRUE(waiting[i]->started.tryAcquire(1, 20000)) << i;
    }
    EXPECT_EQ(log.names().mid(8), (QStringList{QStringLiteral("waiting 0"), QStringLiteral("waiting 1"),
                                               QStringLiteral("waiting 2"), QStringLiteral("waiting 3")}));
    for (int i = 4; i < 8; ++i)
        blockers[i]->release.release();
    for (const Ptr& w : waiting)
        w->release.release();
    ASSERT_TRUE(waitUntil([&] {
        for (const Ptr& b : blockers)
            if (b->dones.load() != 1)
                return false;
        return true;
    }, kWaitMs));
}

TEST(TaskManager, PendingTasksAreRetriedWhenTheLoadFalls)
{
    ManagerFixture f;
    f.clock.setLoad(100);
    f.start();
    f.openGate();
    ASSERT_TRUE(waitUntil([&] { return f.manager->scheduler() && f.manager->scheduler()->load() == 100; }, kWaitMs));
    std::vector<Ptr> blockers;
    for (int i = 0; i < 8; ++i) {
        blockers.emplace_back(new TestTask(QStringLiteral("b%1").arg(i), true));
        f.manager->postTask(CTaskPtr(blockers.back().data()));
    }
    Ptr ninth(new TestTask(QStringLiteral("ninth"), false));
    f.manager->postTask(CTaskPtr(ninth.data()));
    ASSERT_TRUE(waitUntilHeldBack(f.manager));
    EXPECT_EQ(ninth->dones.load(), 0);
    f.clock.setLoad(10);
    f.clock.advance(1);   // the 500 ms retry time has come
    ASSERT_TRUE(waitUntil([&] { return ninth->dones.load() == 1; }, kWaitMs));
    for (const Ptr& b : blockers)
        b->release.release();
}

TEST(TaskManager, LimitsReachThePool)
{
    ManagerFixture f;
    f.start();
    f.openGate();
    CapturedMessages messages;
    f.manager->postSetLimits(3000, 5);
    f.manager->postSetWtmLimit(12);
    ASSERT_TRUE(waitUntil([&] {
        return CapturedMessages::count(QStringLiteral("info: task threads pool: new limits: threads=2048, cpuload=10")) == 1;
    }, kWaitMs));
}

TEST(TaskManager, StopDropsPendingTasksAndEndsEveryThread)
{
    ManagerFixture f;
    f.clock.setLoad(100);
    f.start();
    f.openGate();
    ASSERT_TRUE(waitUntil([&] { return f.manager->scheduler() && f.manager->scheduler()->load() == 100; }, kWaitMs));
    std::vector<Ptr> blockers;
    for (int i = 0; i < 8; ++i) {
        blockers.emplace_back(new TestTask(QStringLiteral("b%1").arg(i), true));
        f.manager->postTask(CTaskPtr(blockers.back().data()));
    }
    for (const Ptr& b : blockers)
        ASSERT_TRUE(b->started.tryAcquire(1, 20000));
    Ptr pending(new TestTask(QStringLiteral("pending"), false));
    f.manager->postTask(CTaskPtr(pending.data()));
    ASSERT_TRUE(waitUntilHeldBack(f.manager));
    f.manager->stop();
    // Every running task is asked to stop; they end as asked.
    ASSERT_TRUE(waitUntil([&] {
        for (const Ptr& b : blockers)
            if (b->stops.load() != 1)
                return false;
        return true;
    }, kWaitMs));
    for (const Ptr& b : blockers)
        b->release.release();
    f.manager->releaseEndGate();
    ASSERT_TRUE(f.manager->wait(30000));
    for (const Ptr& b : blockers) {
        EXPECT_EQ(b->stops.load(), 1);
        EXPECT_EQ(b->dones.load(), 1);
    }
    EXPECT_EQ(pending->dones.load(), 0);   // never got a thread: dropped unrun
    EXPECT_EQ(pending->ref.loadRelaxed(), 1);
    EXPECT_EQ(f.manager->pluginManager(), nullptr);
    EXPECT_EQ(f.manager->scheduler(), nullptr);
}

// Background lookups keep arriving from other threads (an abandoned task thread may be one)
// while the manager stops and after it has ended: none may reach the resolver once it is
// deleted. The sanitizer build is the one that sees a late call.
TEST(TaskManager, BackgroundLookupsDuringTheStopNeverReachAnEndedResolver)
{
    ManagerFixture f;
    f.start();
    f.openGate();
    ASSERT_TRUE(waitUntil([&] { return f.manager->scheduler() != nullptr; }, kWaitMs));

    struct Callers {
        std::atomic<bool> done{false};
        std::atomic<int> calls{0};
        std::vector<std::thread> threads;
        ~Callers()
        {
            done = true;
            for (std::thread& t : threads)
                t.join();
        }
    } callers;
    for (int i = 0; i < 4; ++i)
        callers.threads.emplace_back([&, i] {
            const QString text = QStringLiteral("127.0.0.%1").arg(i + 1);
            while (!callers.done.load()) {
                f.manager->requestAsyncResolve(CTaskManager::kNoWaitingRequest, false, text, QString());
                ++callers.calls;
            }
        });
    ASSERT_TRUE(waitUntil([&] { return callers.calls.load() > 1000; }, kWaitMs));
    f.stop();
    const int atEnd = callers.calls.load();
    EXPECT_TRUE(waitUntil([&] { return callers.calls.load() > atEnd + 1000; }, kWaitMs));
}

TEST(TaskManager, ResolveAnswersNobodyWaitsForAreNotSent)
{
    struct Case {
        int link;
        int requestId;
        QString result;
        bool sent;
    };
    const Case cases[] = {
        {-1, CTaskManager::kNoWaitingRequest, QString(), false},
        {-1, 0, QString(), false},
        {3, CTaskManager::kNoWaitingRequest, QString(), true},
        {-1, CTaskManager::kNoWaitingRequest, QStringLiteral("10.0.0.1"), true},
        {-1, 5, QString(), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTaskManager::shouldSendResolveResponse(c.link, c.requestId, c.result), c.sent)
            << c.link << " " << c.requestId << " " << c.result.toStdString();
}

TEST(Task, StateAndStartTime)
{
    ManualClock clock;
    ClockInstaller installer(&clock);
    TestTask task(QStringLiteral("t"), false);
    EXPECT_TRUE(task.startTime().isNull());
    EXPECT_EQ(task.state(), 0);
    EXPECT_EQ(task.markStarted(), 0);
    EXPECT_EQ(task.startTime(), clock.now());
    task.setState(1);
    EXPECT_EQ(task.markStarted(), -1);
    task.setState(257);
    EXPECT_EQ(task.state(), 1);
    EXPECT_EQ(task.lastThread(), nullptr);
}

// Polls through the calling task thread's own library context.
class PluginPollTask : public CTask
{
public:
    PluginPollTask()
        : CTask(QStringLiteral("plugin poll"))
    {
    }
    void exec(CTaskThread* thread) override
    {
        CPluginThreadInstancePtr instance = thread->pluginManager()->getThreadPlugin(thread, 1);
        stZamMonitor mon{};
        result = instance->poll(&mon, name());
    }
    void done(CTaskThread*) override { finished.release(); }
    bool isDeadlocked(int) override { return false; }
    std::atomic<int> result{-1};
    QSemaphore finished{0};
};

TEST(TaskManager, TaskThreadsGiveBackTheirLibraryContextsBeforeTheLibraryEnds)
{
    const QString path = fakePluginPath("ok");
    ManagerFixture f;
    f.start();
    ASSERT_TRUE(waitUntil([&] { return f.manager->pluginManager() != nullptr; }, kWaitMs));
    f.manager->pluginManager()->setPluginFileResolver([&](int) { return path; });
    f.openGate();
    std::vector<QExplicitlySharedDataPointer<PluginPollTask>> tasks;
    for (int i = 0; i < 3; ++i) {
        tasks.emplace_back(new PluginPollTask);
        f.manager->postTask(CTaskPtr(tasks.back().data()));
    }
    for (const auto& t : tasks) {
        ASSERT_TRUE(t->finished.tryAcquire(1, 20000));
        EXPECT_EQ(t->result.load(), 0);
    }
    // An extra hold keeps the copy mapped, so its counters stay readable after the engine
    // has let go of it.
    void* hold = dlopen(path.toLatin1().constData(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(hold, nullptr);
    FakeState* st = fakeState(path);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->initCount, 1);
    const int contexts = st->initThreadCount;
    EXPECT_GE(contexts, 1);
    EXPECT_LE(contexts, 3);
    f.stop();
    // a pool thread may still open its context after the sample above: compare the final count
    EXPECT_GE(st->initThreadCount, contexts);
    EXPECT_EQ(st->termCount, 1);
    EXPECT_EQ(st->termThreadCount, st->initThreadCount);
    EXPECT_EQ(st->termThreadsAtTerm, st->initThreadCount);   // every thread context ended before the library
    dlclose(hold);
    EXPECT_FALSE(isLoaded(path));
}

}  // namespace
