// The scheduler's alarms, its load sample and its answer to a clock that jumps back.
#include "ManualClock.h"
#include "agent/core/CapturedMessages.h"
#include "core/PerformanceStatistics.h"
#include "engine/CTaskManagerScheduler.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
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
    QThread::msleep(1200);   // the scheduler's own ticks see the same time
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
    QElapsedTimer timer;
    timer.start();
    while (f.wakes.load() == 0 && timer.elapsed() < 20000)
        QThread::msleep(20);
    EXPECT_EQ(f.wakes.load(), 1);
}

TEST(TaskClock, SystemLoadIsAShareOfTheMachine)
{
    // 1-minute load / online processors * 100: never negative, and far below the raw
    // load * 100 of a busy many-core host.
    const int load = CTaskClock::current()->loadPercent();
    EXPECT_GE(load, 0);
    double samples[1];
    if (getloadavg(samples, 1) == 1 && QThread::idealThreadCount() > 1)
        EXPECT_LE(load, static_cast<int>(samples[0] * 100.0) + 1);
}

}  // namespace
