#include "support/CapturedMessages.h"

#include "core/BasicTask.h"
#include "core/CNetMonSysLight.h"
#include "core/ProtectedQueue.h"
#include "support/EventLoopWait.h"
#include "support/ThreadSleepState.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

// A light component whose steps the test drives.
class TestLight : public CNetMonSysLight
{
public:
    using CNetMonSysLight::CNetMonSysLight;
    std::atomic<int> runCalls{0};
    std::atomic<bool> throwStd{false};
    std::atomic<bool> throwOther{false};
    std::atomic<bool> shutdownDone{false};
    std::atomic<int> stopCalls{0};

    void terminateThread() override { terminateNow(); }

protected:
    bool init() override { return true; }
    bool runStep() override
    {
        ++runCalls;
        if (throwStd)
            throw std::runtime_error("boom");
        if (throwOther)
            throw 42;
        waitUnlessStopping(20);
        return !isStopping();
    }
    void shutdown() override { shutdownDone = true; }
    void onStop() override { ++stopCalls; }
    void onTerminate() override {}
};

// A component that ignores its stop flag.
class DeafLight : public TestLight
{
public:
    using TestLight::TestLight;
    std::atomic<bool> terminated{false};

protected:
    bool runStep() override
    {
        ++runCalls;
        for (;;)
            QThread::msleep(10);   // busy with its own work, never looking at the stop flag
    }
    void onTerminate() override { terminated = true; }
};

class Owner;
struct Counted
{
    static std::atomic<int> alive;
    Counted() { ++alive; }
    Counted(const Counted&) { ++alive; }
    ~Counted() { --alive; }
};
std::atomic<int> Counted::alive{0};

ZAM_TASK_KIND(SAddTask);
ZAM_TASK_KIND(SPairTask);
struct PlainPayload
{
    int value;
};
struct NamedPayload
{
    int value;
    static const char* kindName() { return "NamedPayload"; }
};

class Owner
{
public:
    QStringList calls;   // read once the consumer has ended
    std::atomic<int> handled{0};
    void handleTask(SAddTask, int v)
    {
        calls << QStringLiteral("add %1").arg(v);
        ++handled;
    }
    void handleTask(SPairTask, const QString& a, Counted) { calls << QStringLiteral("pair %1").arg(a); }
    void handleTask(PlainPayload& p) { calls << QStringLiteral("plain %1").arg(p.value); }
    void handleTask(NamedPayload& p) { calls << QStringLiteral("named %1").arg(p.value); }
};

using OwnerQueue = ProtectedQueue<BasicTaskPtr<Owner>>;
using AddTask = TaskData1<int, SAddTask>;
using PairTask = TaskData2<QString, Counted, SPairTask>;
template <class P> using OwnerTask = BridgeTask<Owner, Owner, P>;

}

TEST(ComponentBases, ThrowingRunStepIsLoggedAndCalledAgainWithBackOff)
{
    const struct {
        bool std;
        const char* line;
    } cases[] = {
        {true, "warning: thrower: exception in run: boom"},
        {false, "warning: thrower: exception in run"},
    };
    for (const auto& c : cases) {
        CapturedMessages messages;
        TestLight light(nullptr, QStringLiteral("thrower"));
        light.throwStd = c.std;
        light.throwOther = !c.std;
        QElapsedTimer timer;
        timer.start();
        light.start();
        EXPECT_TRUE(waitUntil([&] { return light.runCalls.load() >= 3; }, 20000)) << "a throwing step must be called again";
        const int calls = light.runCalls.load();
        const qint64 elapsedMs = timer.elapsed();
        light.stop();
        light.wait();
        EXPECT_TRUE(light.shutdownDone.load());
        EXPECT_EQ(light.stopCalls.load(), 1);
        // Each call after the first waited out a back-off of 100 ms; load only stretches it.
        EXPECT_LE(qint64(calls - 1) * 90, elapsedMs) << "a throwing step must not spin";
        EXPECT_GE(CapturedMessages::count(QString::fromLatin1(c.line)), 2);
    }
}

TEST(ComponentBases, NameIsAlsoTheObjectName)
{
    TestLight light(nullptr, QStringLiteral("first"));
    light.setName(QStringLiteral("renamed"));
    EXPECT_EQ(light.name(), QStringLiteral("renamed"));
    EXPECT_EQ(light.objectName(), QStringLiteral("renamed"));
    EXPECT_EQ(light.constructionName(), QStringLiteral("first"));
}

TEST(ComponentBases, StopFlagIsSeenByIsStopping)
{
    TestLight light(nullptr, QStringLiteral("flag"));
    EXPECT_FALSE(light.isStopping());
    light.setStopFlag();
    EXPECT_TRUE(light.isStopping());
}

TEST(ComponentBases, TerminateNowReturnsForAThreadThatDoesNotReact)
{
    CapturedMessages messages;
    DeafLight deaf(nullptr, QStringLiteral("deaf"));
    deaf.start();
    ASSERT_TRUE(waitUntil([&] { return deaf.runCalls.load() == 1; }, 20000));
    QElapsedTimer timer;
    timer.start();
    deaf.terminateThread();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(deaf.terminated.load());
    const QStringList lines = CapturedMessages::lines();
    EXPECT_EQ(lines.filter(QStringLiteral("terminating thread")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("thread terminated")).size(), 1);
    deaf.wait(2000);
}

TEST(ProtectedQueue, LabelAndNotifierCarryTheShortName)
{
    OwnerQueue queue(QStringLiteral("TQ"));
    EXPECT_EQ(queue.label(), QStringLiteral("<TQ>"));
    EXPECT_EQ(queue.notifier()->objectName(), QStringLiteral("TQ"));
}

TEST(ProtectedQueue, TasksRunInArrivalOrderWithFrontPushesFirst)
{
    OwnerQueue queue(QStringLiteral("TQ"));
    Owner owner;
    // Accepting but closed for taking at construction: items wait.
    BasicTaskPtr<Owner> out;
    EXPECT_EQ(queue.take(out, 0), OwnerQueue::Closed);
    EXPECT_TRUE((OwnerTask<AddTask>::post(queue, &owner, {1})));
    EXPECT_TRUE(OwnerTask<PlainPayload>::post(queue, &owner, {2}));
    EXPECT_TRUE(OwnerTask<NamedPayload>::post(queue, &owner, {3}, true));
    EXPECT_TRUE((OwnerTask<PairTask>::post(queue, &owner, {QStringLiteral("x"), {}}, true)));
    EXPECT_EQ(queue.size(), 4);

    queue.setServing(true);
    QStringList kinds;
    while (queue.take(out, 0) == OwnerQueue::Taken) {
        kinds << QString::fromLatin1(out->kindName());
        out->exec();
    }
    EXPECT_EQ(kinds, QStringList({QStringLiteral("NamedPayload"), QStringLiteral("SPairTask"), QStringLiteral("SAddTask"),
                                  QStringLiteral("<?>")}));
    EXPECT_EQ(owner.calls, QStringList({QStringLiteral("named 3"), QStringLiteral("pair x"), QStringLiteral("add 1"),
                                        QStringLiteral("plain 2")}));
    EXPECT_EQ(queue.take(out, 50), OwnerQueue::TimedOut);
}

// The queue's one state through the owner's steps: serving opens for taking, a stop drains
// what is queued, a discard refuses for good. Each case then pushes one item and takes once.
TEST(ProtectedQueue, StateFollowsServingStopAndDiscard)
{
    using Queue = ProtectedQueue<int>;
    using S = Queue::State;
    struct Case {
        const char* steps;   // S serve, s stop serving, x stop, d stop and discard
        S state;
        bool pushed;
        Queue::TakeResult take;
    };
    const Case cases[] = {
        {"", S::Waiting, true, Queue::Closed},
        {"S", S::Serving, true, Queue::Taken},
        {"Ss", S::Waiting, true, Queue::Closed},
        {"x", S::StopAsked, true, Queue::Closed},
        {"xS", S::Draining, true, Queue::Taken},
        {"Sx", S::Draining, true, Queue::Taken},
        {"Sxs", S::StopAsked, true, Queue::Closed},
        {"d", S::Discarded, false, Queue::Closed},
        {"dS", S::DiscardedServing, false, Queue::Closed},
        {"Sd", S::DiscardedServing, false, Queue::Closed},
        {"Sds", S::Discarded, false, Queue::Closed},
    };
    for (const Case& c : cases) {
        Queue queue(QStringLiteral("SQ"));
        for (const char* step = c.steps; *step; ++step) {
            switch (*step) {
            case 'S': queue.setServing(true); break;
            case 's': queue.setServing(false); break;
            case 'x': queue.stop(); break;
            case 'd': queue.stopAndDiscard(); break;
            }
        }
        EXPECT_EQ(queue.state(), c.state) << c.steps;
        EXPECT_EQ(queue.push(7), c.pushed) << c.steps;
        int out = 0;
        EXPECT_EQ(queue.take(out, 0), c.take) << c.steps;
        // A stopped queue closes once it is empty instead of waiting.
        if (c.take == Queue::Taken && c.state == S::Draining)
            EXPECT_EQ(queue.take(out, -1), Queue::Closed) << c.steps;
    }
}

TEST(ProtectedQueue, StopReleasesQueuedTasksAndDropsLaterOnes)
{
    OwnerQueue queue(QStringLiteral("TQ"));
    Owner owner;
    queue.notifier()->setNotify(true);
    QSignalSpy newItems(queue.notifier(), &ProtectedQueueObject::newItem);
    QSignalSpy stops(queue.notifier(), &ProtectedQueueObject::stopped);
    for (int i = 0; i < 3; ++i)
        OwnerTask<PairTask>::post(queue, &owner, {QStringLiteral("q"), {}});
    EXPECT_EQ(Counted::alive.load(), 3);
    EXPECT_EQ(newItems.count(), 3);

    queue.stopAndDiscard();
    EXPECT_EQ(stops.count(), 1);
    EXPECT_EQ(Counted::alive.load(), 0) << "queued tasks must be released without running";
    EXPECT_FALSE((OwnerTask<PairTask>::post(queue, &owner, {QStringLiteral("late"), {}})));
    EXPECT_EQ(Counted::alive.load(), 0);
    EXPECT_EQ(newItems.count(), 3);
    EXPECT_TRUE(owner.calls.isEmpty());

    // A consumer that starts serving only after the stop (a stop during its start-up) must not
    // open the queue again: a requester would wait for an answer that never comes.
    queue.setServing(true);
    EXPECT_FALSE((OwnerTask<PairTask>::post(queue, &owner, {QStringLiteral("after start"), {}})));
    EXPECT_EQ(Counted::alive.load(), 0);
}

TEST(ProtectedQueue, ConsumerWakesForItemsAndEndsOnStop)
{
    OwnerQueue queue(QStringLiteral("TQ"));
    queue.setServing(true);
    Owner owner;
    std::atomic<bool> stopFlag{false};
    std::thread consumer([&] { runPostedTasks<Owner>(queue, [&] { return stopFlag.load(); }); });
    for (int i = 0; i < 100; ++i)
        OwnerTask<AddTask>::post(queue, &owner, {i});
    ASSERT_TRUE(waitUntil([&] { return owner.handled.load() == 100; }, 20000));
    stopFlag = true;
    queue.stop();
    consumer.join();
    ASSERT_EQ(owner.calls.size(), 100);
    EXPECT_EQ(owner.calls.first(), QStringLiteral("add 0"));
    EXPECT_EQ(owner.calls.last(), QStringLiteral("add 99"));
}

TEST(ProtectedQueue, WaitingStopReturnsOnlyWhenTheConsumerCloses)
{
    OwnerQueue queue(QStringLiteral("T2"));
    queue.setServing(true);
    std::atomic<bool> returned{false};
    std::atomic<pid_t> stopperId{0};
    std::thread stopper([&] {
        stopperId = currentThreadId();
        queue.stop(true);
        returned = true;
    });
    // Asleep after the stop was asked: it waits for the consumer (or it already returned).
    ASSERT_TRUE(waitUntil([&] {
        return returned.load() || (queue.isStopping() && stopperId.load() != 0 && threadSleeps(stopperId.load()));
    }, 20000));
    EXPECT_FALSE(returned.load());
    queue.setServing(false);
    stopper.join();
    EXPECT_TRUE(returned.load());
}
