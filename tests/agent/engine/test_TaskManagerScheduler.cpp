// The scheduler's alarms, its load sample and its answer to a clock that jumps back.
#include "ManualClock.h"
#include "support/CapturedMessages.h"
#include "core/PerformanceStatistics.h"
#include "engine/CTaskManagerScheduler.h"
#include "support/EventLoopWait.h"

#include <QThread>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct SchedulerFixture {
    ManualClock clock;
    std::atomic<int> wakes{0};
    std::atomic<int> reschedules{0};
    CTaskManagerScheduler* scheduler = new CTaskManagerScheduler(
        nullptr, [this] { ++wakes; }, [this] { ++reschedules; }, &clock);
    ~SchedulerFixture()
    {
        scheduler->stop();
        EXPECT_TRUE(scheduler->wait(5000));   // the loop has ended by the time stop returns
        scheduler->wait();
        delete scheduler;
    }
};

TEST(TaskManagerScheduler, AlarmsFireOnceWhenTheirTimeHasCome)
{
    SchedulerFixture f;
    const QDateTime now = f.clock.now();
    f.scheduler->setNextTaskManagerWake(now.addSecs(10));
    f.scheduler->setNextRescheduling(now.addSecs(20));
    f.scheduler->tick();
    EXPECT_EQ(f.wakes.load(), 0);
    f.clock.advance(10);
    f.scheduler->tick();
    EXPECT_EQ(f.wakes.load(), 1);
    EXPECT_TRUE(f.scheduler->nextTaskManagerWake().isNull());
    EXPECT_EQ(f.reschedules.load(), 0);
    f.clock.advance(15);
    f.scheduler->tick();
    f.scheduler->tick();
    EXPECT_EQ(f.wakes.load(), 1);
    EXPECT_EQ(f.reschedules.load(), 1);
}

TEST(TaskManagerScheduler, ClockSetBackIsNoticedOnceAndAlarmsKeepTheirDistance)
{
    SchedulerFixture f;
    CapturedMessages messages;
    f.scheduler->tick();
    const QDateTime before = f.clock.now();
    f.scheduler->setNextTaskManagerWake(before.addSecs(10));
    f.scheduler->setNextRescheduling(before.addSecs(60));
    f.clock.advance(-3600);
    f.scheduler->tick();
    f.scheduler->tick();
    // The scheduler's own ticks see the same time; the second one starting ends the first.
    const int reads = f.clock.loadReads();
    ASSERT_TRUE(waitUntil([&] { return f.clock.loadReads() >= reads + 2; }, 20000));
    EXPECT_EQ(CapturedMessages::count(QStringLiteral("warning: system time manipulation detected")), 1);
    EXPECT_EQ(f.scheduler->nextTaskManagerWake(), f.clock.now().addSecs(10));
    EXPECT_EQ(f.scheduler->nextRescheduling(), f.clock.now().addSecs(60));
    EXPECT_EQ(f.wakes.load(), 0);
}

TEST(TaskManagerScheduler, LoadIsSampledIntoTheStatistics)
{
    SchedulerFixture f;
    const SStatisticCounter before = statisticCounter(STAT_CPU_LOAD);
    f.clock.setLoad(42);
    f.scheduler->tick();
    EXPECT_EQ(f.scheduler->load(), 42);
    EXPECT_GT(statisticCounter(STAT_CPU_LOAD).count, before.count);
}

TEST(TaskManagerScheduler, TicksOnItsOwnEveryHalfSecond)
{
    SchedulerFixture f;
    f.scheduler->setNextTaskManagerWake(f.clock.now());
    ASSERT_TRUE(waitUntil([&] { return f.wakes.load() > 0; }, 20000));
    EXPECT_EQ(f.wakes.load(), 1);
}

TEST(TaskClock, LoadIsAShareOfTheMachine)
{
    struct Case {
        double load;
        long processors;
        int percent;
    };
    const Case cases[] = {
        {0.79, 1, 79}, {0.80, 1, 80}, {6.4, 8, 80}, {6.3, 8, 78}, {0.8, 8, 10}, {0.0, 4, 0},
        {2.0, 0, 200}, {2.0, -1, 200}, {-1.0, 4, 0}, {1e300, 1, 1000000}, {std::nan(""), 2, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTaskClock::machineLoadPercent(c.load, c.processors), c.percent) << c.load << "/" << c.processors;
    EXPECT_GE(CTaskClock::current()->loadPercent(), 0);
}

}  // namespace
