// The schedule manager on its own thread with a hand-driven clock and stand-ins for the task
// manager and the agent manager: the statistics report at once and every 300 s, catch-up after
// a late run, due tasks in order, one reconnect per lost link, changes of the wall clock in
// both directions, schedule changes of a running task, a throwing done, and stopping.

#include "support/CapturedMessages.h"
#include "support/EventLoopWait.h"
#include "core/ProcessOptions.h"
#include "engine/CScheduleInfoDelayed.h"
#include "engine/CScheduleInfoInterval.h"
#include "engine/CMonitorEvent.h"
#include "engine/CScheduleManagerAgent.h"

#include <gtest/gtest.h>

#include <QMutex>
#include <QVector>
#include <memory>
#include <stdexcept>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QDateTime& t, std::ostream* os)
{
    *os << (t.isValid() ? t.toString(Qt::ISODate).toStdString() : std::string("(invalid)"));
}
QT_END_NAMESPACE

namespace {

class FakeClock : public CScheduleClock
{
public:
    explicit FakeClock(const QDateTime& start) : m_wall(start) {}
    QDateTime now() const override
    {
        QMutexLocker lock(&m_mutex);
        return m_wall;
    }
    qint64 monotonicMs() const override
    {
        QMutexLocker lock(&m_mutex);
        return m_mono;
    }
    // Time passes: both clocks move.
    void advance(qint64 seconds)
    {
        QMutexLocker lock(&m_mutex);
        m_wall = m_wall.addSecs(seconds);
        m_mono += seconds * 1000;
    }
    // Somebody sets the wall clock: only it moves.
    void setWallBy(qint64 seconds)
    {
        QMutexLocker lock(&m_mutex);
        m_wall = m_wall.addSecs(seconds);
    }

private:
    mutable QMutex m_mutex;
    QDateTime m_wall;
    qint64 m_mono = 1000000;
};

// What the manager asked of the rest of the daemon.
struct Calls
{
    QMutex mutex;
    QVector<CTaskPtr> posted;
    QVector<CTaskPtr> barriers;
    QVector<QDateTime> nextTimes;
    int reconnects = 0;
    QVector<QPair<int, CMonitorEvent*>> events;
    std::function<void()> reschedulingHandler;

    int postedCount()
    {
        QMutexLocker lock(&mutex);
        return posted.size();
    }
    CTaskPtr lastPosted()
    {
        QMutexLocker lock(&mutex);
        return posted.isEmpty() ? CTaskPtr() : posted.last();
    }
    int nextCount()
    {
        QMutexLocker lock(&mutex);
        return nextTimes.size();
    }
    QDateTime lastNext()
    {
        QMutexLocker lock(&mutex);
        return nextTimes.isEmpty() ? QDateTime() : nextTimes.last();
    }
    int reconnectCount()
    {
        QMutexLocker lock(&mutex);
        return reconnects;
    }
};

class FlagTask : public CTask
{
public:
    explicit FlagTask(const QString& name, bool throwInDone = false) : CTask(name), m_throw(throwInDone) {}
    bool isDeadlocked(int) override { return false; }
    void done(CTaskThread*) override
    {
        if (m_throw)
            throw std::runtime_error("done failed");
    }

private:
    bool m_throw;
};

const QDateTime kStart(QDate(2026, 3, 2), QTime(12, 0, 0));

class ScheduleManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        calls = std::make_shared<Calls>();
        clock.reset(new FakeClock(kStart));
        manager.reset(new CScheduleManagerAgent(nullptr, QStringLiteral("schedule manager"), 8));
        std::shared_ptr<Calls> c = calls;
        CScheduleManagerBase::Hooks hooks;
        hooks.postTask = [c](const CTaskPtr& task) {
            QMutexLocker lock(&c->mutex);
            (task->name() == QStringLiteral("barrier") ? c->barriers : c->posted) << task;
        };
        hooks.setNextRescheduling = [c](const QDateTime& when) {
            QMutexLocker lock(&c->mutex);
            c->nextTimes << when;
        };
        hooks.setReschedulingHandler = [c](const std::function<void()>& handler) {
            QMutexLocker lock(&c->mutex);
            c->reschedulingHandler = handler;
        };
        hooks.requestReconnect = [c] {
            QMutexLocker lock(&c->mutex);
            ++c->reconnects;
        };
        hooks.sendMonitorEvent = [c](int id, const QExplicitlySharedDataPointer<CMonitorEvent>& event) {
            QMutexLocker lock(&c->mutex);
            c->events << qMakePair(id, event.data());
        };
        hooks.receiversStopped = [this] { return receiversStopped.load(); };
        manager->setHooks(hooks);
        manager->setClock(clock.get());
        manager->start();
        manager->releaseStartGate();
        // Post-init has run once the statistics task went out.
        ASSERT_TRUE(waitUntil([this] { return calls->postedCount() == 1; }));
    }
    void TearDown() override
    {
        if (manager->isRunning()) {
            manager->stop();
            manager->releaseEndGate();
            ASSERT_TRUE(manager->wait(30000));
        }
        manager.reset();
        scheduleDebugFlags = 32;
    }

    // Waits until the manager has worked through everything posted so far: its queue is taken
    // in order, so once a barrier task posted now has gone out, all earlier work is done.
    void sync()
    {
        CScheduleManagerTaskPtr barrier(new CScheduleManagerTask(CTaskPtr(), QStringLiteral("barrier")));
        manager->postAddTask(barrier, CScheduleInfoPtr(new CScheduleInfoInterval(1000000, 1)));
        ASSERT_TRUE(waitUntil([&] {
            QMutexLocker lock(&calls->mutex);
            return calls->barriers.contains(CTaskPtr(barrier.data()));
        }));
        // The removal reschedules; once that is seen the manager is idle, so the test's clock
        // changes never fall between two readings of the clock on the manager's thread.
        const int seen = calls->nextCount();
        manager->postRemoveTask(barrier);
        ASSERT_TRUE(waitUntil([&] { return calls->nextCount() > seen; }));
    }
    // Time passes and the task manager's scheduler asks for a due loop.
    void passTime(qint64 seconds)
    {
        clock->advance(seconds);
        rescheduleAndWait();
    }
    void rescheduleAndWait()
    {
        {
            QMutexLocker lock(&calls->mutex);
            ASSERT_TRUE(calls->reschedulingHandler) << "attached at post-init";
            calls->reschedulingHandler();
        }
        sync();
    }
    // The stand-in task thread finishes a task.
    void finish(const CTaskPtr& task)
    {
        task->done(nullptr);
        sync();
    }

    std::shared_ptr<Calls> calls;
    std::unique_ptr<FakeClock> clock;
    std::unique_ptr<CScheduleManagerAgent> manager;
    std::atomic<bool> receiversStopped{true};
};

TEST_F(ScheduleManager, StatisticsReportAtOnceThenEvery300Seconds)
{
    const CTaskPtr stats = calls->lastPosted();
    EXPECT_EQ(stats->name(), QStringLiteral("SM task for logging statistics task"));
    EXPECT_FALSE(calls->lastNext().isValid()) << "nothing else due while it runs";

    finish(stats);
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(300));
    passTime(299);
    EXPECT_EQ(calls->postedCount(), 1);
    passTime(1);
    EXPECT_EQ(calls->postedCount(), 2);

    // This run ends 900 s after it fell due: due at once, one skipped run reported when the
    // warning is enabled, and the rhythm restarts from then.
    scheduleDebugFlags = 0;
    CapturedMessages messages;
    clock->advance(900);
    finish(stats);
    EXPECT_EQ(calls->postedCount(), 3);
    EXPECT_EQ(messages.count(QStringLiteral("warning: schedule info interval: logging statistics task skipped 1 "
                                            "schedules (2026-03-02T12:05:00, 2026-03-02T12:20:00)")),
              1);
    finish(stats);
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(1200 + 300));
}

TEST_F(ScheduleManager, DueTasksGoOutInDueOrder)
{
    const CTaskPtr stats = calls->lastPosted();
    struct Entry { const char* name; int delay; };
    const Entry entries[] = {{"thirty", 30}, {"ten", 10}, {"twenty", 20}};
    for (const Entry& e : entries) {
        CScheduleManagerTaskPtr task(new CScheduleManagerTask(CTaskPtr(new FlagTask(QString::fromLatin1(e.name))), QString()));
        const CScheduleInfoPtr schedule(new CScheduleInfoDelayed(CScheduleInfoPtr(new CScheduleInfoInterval(1000, 1)), e.delay));
        manager->postAddTask(task, schedule);
    }
    sync();
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(10));
    passTime(60);
    ASSERT_EQ(calls->postedCount(), 4);
    QStringList names;
    for (int i = 1; i < 4; ++i)
        names << calls->posted[i]->name();
    EXPECT_EQ(names, QStringList({QStringLiteral("SM task for ten"), QStringLiteral("SM task for twenty"),
                                  QStringLiteral("SM task for thirty")}));
    Q_UNUSED(stats);
}

TEST_F(ScheduleManager, TwoLossesWithinAMinuteGiveOneReconnect)
{
    manager->postScheduleReconnect(7, 60);
    sync();
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(60));
    clock->advance(30);
    manager->postScheduleReconnect(7, 60);
    manager->postScheduleReconnect(8, 60);   // another agent has its own
    sync();
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(60));
    passTime(29);
    EXPECT_EQ(calls->reconnectCount(), 0);
    passTime(1);
    EXPECT_EQ(calls->reconnectCount(), 1);
    passTime(30);
    EXPECT_EQ(calls->reconnectCount(), 2);
    passTime(600);
    EXPECT_EQ(calls->reconnectCount(), 2) << "a reconnect runs once";
    EXPECT_EQ(calls->postedCount(), 1) << "reconnects never go to the task manager";

    // After it has run, a new loss schedules a new one.
    manager->postScheduleReconnect(7, 60);
    sync();
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(690 + 60));
    passTime(60);
    EXPECT_EQ(calls->reconnectCount(), 3);
}

struct ClockCase
{
    const char* label;
    qint64 wallChange;
    int warnings;
};

TEST_F(ScheduleManager, ChangedWallClockMovesDueTimesWithIt)
{
    const CTaskPtr stats = calls->lastPosted();
    finish(stats);
    ASSERT_EQ(calls->lastNext(), kStart.addSecs(300));
    const ClockCase cases[] = {
        {"set back an hour", -3600, 1},
        {"set forward two hours", 7200, 0},
    };
    QDateTime due = kStart.addSecs(300);
    for (const ClockCase& c : cases) {
        SCOPED_TRACE(c.label);
        CapturedMessages messages;
        clock->setWallBy(c.wallChange);
        due = due.addSecs(c.wallChange);
        rescheduleAndWait();
        rescheduleAndWait();
        EXPECT_EQ(calls->lastNext(), due);
        EXPECT_EQ(calls->postedCount(), 1) << "the report does not run early";
        EXPECT_EQ(messages.count(QStringLiteral("warning: system time manipulation detected")), c.warnings);
    }
    passTime(299);
    EXPECT_EQ(calls->postedCount(), 1);
    passTime(1);
    EXPECT_EQ(calls->postedCount(), 2) << "300 s of real time after it last fell due";

    // A change while the report runs moves the time it last fell due as well.
    clock->setWallBy(5000);
    clock->advance(10);
    finish(stats);
    EXPECT_EQ(calls->lastNext(), due.addSecs(300 + 5000));
}

TEST_F(ScheduleManager, NewScheduleOfARunningTaskAppliesAfterItsRun)
{
    const CTaskPtr stats = calls->lastPosted();
    CScheduleManagerTaskPtr wrapper(static_cast<CScheduleManagerTask*>(stats.data()));
    manager->postAddTask(wrapper, CScheduleInfoPtr(new CScheduleInfoInterval(10, 1)));
    sync();
    EXPECT_FALSE(calls->lastNext().isValid()) << "a running task gets no due time";
    EXPECT_EQ(calls->postedCount(), 1);
    clock->advance(3);
    finish(stats);
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(10));
}

TEST_F(ScheduleManager, MonitorEventsPassStraightToTheAgentManager)
{
    QExplicitlySharedDataPointer<CMonitorEvent> event(new CMonitorEventInit);
    manager->sendMonitorEvent(12, event);
    QMutexLocker lock(&calls->mutex);
    ASSERT_EQ(calls->events.size(), 1) << "on the caller's thread, at once";
    EXPECT_EQ(calls->events[0].first, 12);
    EXPECT_EQ(calls->events[0].second, event.data());
}

TEST_F(ScheduleManager, ThrowingDoneIsScheduledAgain)
{
    CScheduleManagerTaskPtr task(new CScheduleManagerTask(CTaskPtr(new FlagTask(QStringLiteral("thrower"), true)), QString()));
    manager->postAddTask(task, CScheduleInfoPtr(new CScheduleInfoInterval(5, 1)));
    sync();
    ASSERT_EQ(calls->postedCount(), 2);
    EXPECT_THROW(task->done(nullptr), std::runtime_error);
    sync();
    EXPECT_EQ(calls->lastNext(), kStart.addSecs(5));
}

TEST_F(ScheduleManager, StopDropsLaterWorkAndWaitsBoundedForTheReceivers)
{
    const CTaskPtr stats = calls->lastPosted();
    receiversStopped = false;
    manager->stop();
    const int nextBefore = calls->nextCount();
    stats->done(nullptr);
    manager->postScheduleReconnect(7, 0);
    manager->postReschedule();
    manager->releaseEndGate();
    ASSERT_TRUE(manager->wait(30000)) << "the wait for the receivers ends";
    EXPECT_EQ(calls->nextCount(), nextBefore);
    EXPECT_EQ(calls->reconnectCount(), 0);
    QMutexLocker lock(&calls->mutex);
    EXPECT_FALSE(calls->reschedulingHandler) << "detached from the task manager's scheduler";
}

} // namespace
