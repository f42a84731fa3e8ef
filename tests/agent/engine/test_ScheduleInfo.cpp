#include "core/ProcessOptions.h"
#include "engine/CScheduleInfoDelayed.h"
#include "engine/CScheduleInfoDummy.h"
#include "engine/CScheduleInfoInterval.h"
#include "engine/CScheduleInfoMaintenanceOnce.h"
#include "engine/CScheduleInfoMaintenanceWeekly.h"
#include "engine/CScheduleInfoOnce.h"
#include "engine/CScheduleInfoWeekDays.h"
#include "engine/CTask.h"
#include "engine/SWeeklyMaintenanceSetting.h"
#include "support/CapturedMessages.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

namespace {

// 2024-01-01 is a Monday; all clocks here are UTC so the host's zone plays no part.
QDateTime at(const char* text)
{
    QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    t.setTimeSpec(Qt::UTC);
    return t;
}

// Sets the process-wide flags word for one test and restores it.
struct DebugFlags
{
    explicit DebugFlags(int flags) : saved(scheduleDebugFlags.load()) { scheduleDebugFlags = flags; }
    ~DebugFlags() { scheduleDebugFlags = saved; }
    int saved;
};

struct Answer
{
    bool due;
    QDateTime out;
};

Answer ask(const CScheduleInfo& s, const QDateTime& now, const QDateTime& previous, const CTask* task = nullptr)
{
    QDateTime out;
    const bool due = s.nextRunTime(task, now, previous, previous, out);
    return {due, out};
}

// Follows a schedule as the schedule manager would: each due time becomes the previous one.
QList<QDateTime> dueTimes(const CScheduleInfo& s, QDateTime now, int limit)
{
    QList<QDateTime> times;
    QDateTime previous;
    for (int i = 0; i < limit; ++i) {
        QDateTime out;
        if (!s.nextRunTime(nullptr, now, previous, previous, out))
            break;
        times << out;
        previous = out;
        if (now < out)
            now = out;
    }
    return times;
}

} // namespace

TEST(ScheduleInfo, IntervalDueTimesAndCatchUp)
{
    struct Case { int interval; int minimum; const char* previous; const char* now; const char* out; };
    const std::vector<Case> cases = {
        {300, 1, nullptr, "2024-01-01T12:00:00", "2024-01-01T12:00:00"},   // never due: at once
        {300, 1, "2024-01-01T12:00:00", "2024-01-01T12:04:00", "2024-01-01T12:05:00"},
        {300, 1, "2024-01-01T12:00:00", "2024-01-01T12:05:00", "2024-01-01T12:05:00"},
        {300, 1, "2024-01-01T12:00:00", "2024-01-01T12:05:30", "2024-01-01T12:05:30"},
        {300, 1, "2024-01-01T12:00:00", "2024-01-01T12:16:00", "2024-01-01T12:16:00"},
        {10, 300, "2024-01-01T12:00:00", "2024-01-01T12:01:00", "2024-01-01T12:05:00"}, // minimum wins
        {0, 0, "2024-01-01T12:00:00", "2024-01-01T12:00:00", "2024-01-01T12:00:01"},    // step 1 s
        {-5, -9, "2024-01-01T12:00:00", "2024-01-01T11:00:00", "2024-01-01T12:00:01"},
    };
    DebugFlags flags(32);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now);
        CScheduleInfoInterval s(c.interval, c.minimum);
        const Answer a = ask(s, at(c.now), c.previous ? at(c.previous) : QDateTime());
        EXPECT_TRUE(a.due);
        EXPECT_EQ(a.out, at(c.out));
    }
}

TEST(ScheduleInfo, IntervalSkipWarningFollowsDebugFlags)
{
    const QString warning = "schedule info interval: poll 7 skipped 1 schedules "
                            "(2024-01-01T12:00:00Z, 2024-01-01T12:16:00Z)";
    struct Case { int flags; const char* now; bool withTask; QStringList expected; };
    const std::vector<Case> cases = {
        {0, "2024-01-01T12:16:00", true, {warning}},                 // 660 s late: 2 steps, 1 skipped
        {32, "2024-01-01T12:16:00", true, {}},                       // start value hides it
        {0, "2024-01-01T12:05:30", true, {}},                        // 0 missed
        {0, "2024-01-01T12:12:00", true, {}},                        // 1 missed, 0 skipped
        {0, "2024-01-01T12:16:00", false,
         {"schedule info interval: unknown task skipped 1 schedules (2024-01-01T12:00:00Z, 2024-01-01T12:16:00Z)"}},
        {8, "2024-01-01T12:05:03", true,                              // late itself, not divided
         {"schedule info interval: poll 7 skipped 2 schedules (2024-01-01T12:00:00Z, 2024-01-01T12:05:03Z)"}},
    };
    struct NamedTask : CTask {
        using CTask::CTask;
        bool isDeadlocked(int) override { return false; }
    } task("poll 7");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now);
        DebugFlags flags(c.flags);
        CapturedMessages warnings;
        CScheduleInfoInterval s(300, 1);
        const Answer a = ask(s, at(c.now), at("2024-01-01T12:00:00"), c.withTask ? &task : nullptr);
        EXPECT_TRUE(a.due);
        EXPECT_EQ(a.out, at(c.now));
        EXPECT_EQ(warnings.texts(QtWarningMsg), c.expected);
    }
}

TEST(ScheduleInfo, IntervalResumesRhythmAfterFallingBehind)
{
    DebugFlags flags(32);
    CScheduleInfoInterval s(60, 1);
    const Answer late = ask(s, at("2024-01-01T12:10:30"), at("2024-01-01T12:00:00"));
    EXPECT_EQ(late.out, at("2024-01-01T12:10:30"));
    EXPECT_EQ(ask(s, at("2024-01-01T12:10:31"), late.out).out, at("2024-01-01T12:11:30"));
    s.setInterval(120);
    EXPECT_EQ(ask(s, at("2024-01-01T12:10:31"), late.out).out, at("2024-01-01T12:12:30"));
}

TEST(ScheduleInfo, DummyOnceAndDelayed)
{
    EXPECT_FALSE(ask(CScheduleInfoDummy(), at("2024-01-01T12:00:00"), QDateTime()).due);

    CScheduleInfoOnce once(at("2024-01-01T08:00:00"));
    const Answer first = ask(once, at("2024-01-01T12:00:00"), QDateTime());
    EXPECT_TRUE(first.due);
    EXPECT_EQ(first.out, at("2024-01-01T08:00:00")); // passed: due at once
    EXPECT_FALSE(ask(once, at("2024-01-01T12:00:00"), first.out).due);

    // The agent reconnect: 60 s after now on the first call, then every 60 s.
    CScheduleInfoPtr inner(new CScheduleInfoInterval(60, 1));
    CScheduleInfoDelayed reconnect(inner, 60);
    EXPECT_EQ(ask(reconnect, at("2024-01-01T12:00:00"), QDateTime()).out, at("2024-01-01T12:01:00"));
    EXPECT_EQ(ask(reconnect, at("2024-01-01T12:00:30"), at("2024-01-01T12:00:00")).out, at("2024-01-01T12:01:00"));
    EXPECT_EQ(ask(reconnect, at("2024-01-01T12:05:00"), at("2024-01-01T12:00:00")).out, at("2024-01-01T12:06:00"));

    EXPECT_FALSE(ask(CScheduleInfoDelayed(CScheduleInfoPtr(), 60), at("2024-01-01T12:00:00"), QDateTime()).due);
    EXPECT_FALSE(ask(CScheduleInfoDelayed(CScheduleInfoPtr(new CScheduleInfoDummy), 60), at("2024-01-01T12:00:00"),
                     QDateTime()).due);
}

TEST(ScheduleInfo, DelayedKeepsItsInnerScheduleAlive)
{
    CScheduleInfoPtr delayed;
    {
        CScheduleInfoPtr inner(new CScheduleInfoInterval(60, 1));
        delayed = CScheduleInfoPtr(new CScheduleInfoDelayed(inner, 5));
    }
    EXPECT_EQ(ask(*delayed, at("2024-01-01T12:00:00"), QDateTime()).out, at("2024-01-01T12:00:05"));
}

TEST(ScheduleInfo, MaintenanceOnceWindow)
{
    CScheduleInfoMaintenanceOnce window(at("2024-01-01T10:00:00"), 90);
    struct Case { const char* now; const char* previous; bool due; const char* out; };
    const std::vector<Case> cases = {
        {"2024-01-01T09:00:00", nullptr, true, "2024-01-01T10:00:00"},
        {"2024-01-01T10:30:00", nullptr, true, "2024-01-01T10:00:00"}, // open already: at once
        {"2024-01-01T10:30:00", "2024-01-01T10:00:00", true, "2024-01-01T11:30:00"},
        {"2024-01-01T11:30:00", "2024-01-01T11:30:00", false, nullptr},
        {"2024-01-01T11:30:00", nullptr, false, nullptr},              // over before it was seen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now);
        const Answer a = ask(window, at(c.now), c.previous ? at(c.previous) : QDateTime());
        EXPECT_EQ(a.due, c.due);
        if (c.due) {
            EXPECT_EQ(a.out, at(c.out));
        }
    }
    EXPECT_EQ(dueTimes(window, at("2024-01-01T10:45:00"), 10),
              (QList<QDateTime>{at("2024-01-01T10:00:00"), at("2024-01-01T11:30:00")}));
    EXPECT_FALSE(ask(CScheduleInfoMaintenanceOnce(at("2024-01-01T10:00:00"), 0), at("2024-01-01T09:00:00"),
                     QDateTime()).due);
}

TEST(ScheduleInfo, MaintenanceWeeklyAcrossMidnightAndWeekEnd)
{
    SWeeklyMaintenanceSetting setting;
    setting.monday = QString("22:00-06:00");
    setting.saturday = QString("23:00-01:00");
    setting.updateRanges();
    EXPECT_EQ(setting.ranges, (QMap<int, int>{{0, 60}, {2760, 3240}, {10020, 10080}}));
    CScheduleInfoMaintenanceWeekly weekly(setting);

    // From Monday noon: Monday 22:00 (start), Tuesday 06:00 (end), Saturday 23:00 (start),
    // then Sunday 01:00 (end: the window goes on over the week end), then next Monday 22:00.
    EXPECT_EQ(dueTimes(weekly, at("2024-01-01T12:00:00"), 5),
              (QList<QDateTime>{at("2024-01-01T22:00:00"), at("2024-01-02T06:00:00"), at("2024-01-06T23:00:00"),
                                at("2024-01-07T01:00:00"), at("2024-01-08T22:00:00")}));

    struct Case { const char* now; const char* previous; const char* out; };
    const std::vector<Case> cases = {
        {"2024-01-01T23:30:45", nullptr, "2024-01-01T22:00:00"},                  // inside, first time: at once
        {"2024-01-01T23:30:45", "2024-01-01T22:00:00", "2024-01-02T06:00:00"},
        {"2024-01-07T00:30:00", nullptr, "2024-01-07T00:00:00"},                  // inside the Sunday part
        {"2024-01-07T00:30:00", "2024-01-06T23:00:00", "2024-01-07T01:00:00"},
        {"2024-01-06T23:59:00", "2024-01-06T23:00:00", "2024-01-07T01:00:00"},
        {"2024-01-02T06:00:00", "2024-01-02T06:00:00", "2024-01-06T23:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now);
        const Answer a = ask(weekly, at(c.now), c.previous ? at(c.previous) : QDateTime());
        EXPECT_TRUE(a.due);
        EXPECT_EQ(a.out, at(c.out));
    }

    // Past the last window of the week: the first window of next week.
    CScheduleInfoMaintenanceWeekly tuesday(QMap<int, int>{{2 * 1440 + 60, 2 * 1440 + 120}});
    EXPECT_EQ(ask(tuesday, at("2024-01-04T12:00:00"), QDateTime()).out, at("2024-01-09T01:00:00"));
    EXPECT_FALSE(ask(CScheduleInfoMaintenanceWeekly(QMap<int, int>()), at("2024-01-04T12:00:00"), QDateTime()).due);
}

TEST(ScheduleInfo, WeeklySettingRecomputesRangesOnCopy)
{
    SWeeklyMaintenanceSetting setting;
    setting.sunday = QString("08:00-12:00; 13:00-17:00");
    setting.wednesday = QString("x-12:00;25:00-26:00");
    setting.friday = Optional<QString>::null();
    const SWeeklyMaintenanceSetting copy(setting);
    EXPECT_EQ(copy.ranges, (QMap<int, int>{{480, 720}, {780, 1020}}));
    SWeeklyMaintenanceSetting assigned;
    assigned = setting;
    EXPECT_EQ(assigned.ranges, copy.ranges);
    EXPECT_EQ(CScheduleInfoMaintenanceWeekly(setting).ranges(), copy.ranges);
}

TEST(ScheduleInfo, WeekDays)
{
    // 2024-01-03 is a Wednesday (index 3).
    const int wednesday = 1 << 3, friday = 1 << 5;
    struct Case { int mask; int minutes; const char* now; const char* previous; bool due; const char* out; };
    const std::vector<Case> cases = {
        {0, 600, "2024-01-03T12:00:00", nullptr, false, nullptr},
        {wednesday, 600, "2024-01-03T12:00:00", nullptr, true, "2024-01-03T10:00:00"},   // passed: at once
        {wednesday, 600, "2024-01-03T12:00:00", "2024-01-03T10:00:00", true, "2024-01-10T10:00:00"},
        {wednesday | friday, 600, "2024-01-03T12:00:00", "2024-01-03T10:00:00", true, "2024-01-05T10:00:00"},
        {friday, 1439, "2024-01-03T12:00:00", nullptr, true, "2024-01-05T23:59:00"},
        {1, 0, "2024-01-06T23:59:59", nullptr, true, "2024-01-07T00:00:00"},           // Saturday -> Sunday
        {0x7f, 90, "2024-01-03T00:00:00", "2024-01-03T01:30:00", true, "2024-01-04T01:30:00"},
        {wednesday, 1440, "2024-01-03T12:00:00", nullptr, false, nullptr},                // no such time
        {wednesday, -1, "2024-01-03T12:00:00", nullptr, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now);
        CScheduleInfoWeekDays s(0, 0);
        s.setDayMask(c.mask);
        s.setTimeOfDay(c.minutes);
        const Answer a = ask(s, at(c.now), c.previous ? at(c.previous) : QDateTime());
        EXPECT_EQ(a.due, c.due);
        if (c.due) {
            EXPECT_EQ(a.out, at(c.out));
        }
    }
}

TEST(ScheduleInfo, NoKindIsPersistent)
{
    const std::vector<CScheduleInfoPtr> kinds = {
        CScheduleInfoPtr(new CScheduleInfoDummy), CScheduleInfoPtr(new CScheduleInfoInterval(1, 1)),
        CScheduleInfoPtr(new CScheduleInfoOnce(QDateTime())), CScheduleInfoPtr(new CScheduleInfoWeekDays(1, 1)),
        CScheduleInfoPtr(new CScheduleInfoMaintenanceOnce(QDateTime(), 1)),
        CScheduleInfoPtr(new CScheduleInfoMaintenanceWeekly(QMap<int, int>())),
        CScheduleInfoPtr(new CScheduleInfoDelayed(CScheduleInfoPtr(), 1))};
    for (const CScheduleInfoPtr& k : kinds)
        EXPECT_FALSE(k->isPersistent());
}
