#include "engine/ScheduleTimeRanges.h"
#include "engine/SWeeklyMaintenanceSetting.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ScheduleTimeRanges, ParsesTheFifteenTimeOfDayForms)
{
    struct Case { const char* text; QTime time; };
    const std::vector<Case> cases = {
        {"7", QTime(7, 0)},          {"07", QTime(7, 0)},        {"7:5", QTime(7, 5)},
        {"07:5", QTime(7, 5)},       {"07:05", QTime(7, 5)},     {"7pm", QTime(19, 0)},
        {"07pm", QTime(19, 0)},      {"7:5pm", QTime(19, 5)},    {"07:5am", QTime(7, 5)},
        {"12:30am", QTime(0, 30)},   {"7PM", QTime(19, 0)},      {"07AM", QTime(7, 0)},
        {"7:5PM", QTime(19, 5)},     {"07:5PM", QTime(19, 5)},   {"11:59PM", QTime(23, 59)},
        {"24:00", QTime(0, 0)},      {"23:59", QTime(23, 59)},   {"0", QTime(0, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseTimeOfDay(c.text), c.time) << c.text;

    for (const char* bad : {"25:00", "24:01", "x", "", "7:60", "-1", "12:00:00", "13pm", "7 pm", "24"})
        EXPECT_FALSE(parseTimeOfDay(bad).isValid()) << bad;
}

TEST(ScheduleTimeRanges, MinuteOfWeekStartsOnSunday)
{
    struct Case { const char* time; int minute; };
    const std::vector<Case> cases = {
        {"2024-01-07T00:00:59", 0},      // Sunday
        {"2024-01-01T22:00:00", 2760},   // Monday
        {"2024-01-06T23:59:00", 10079},  // Saturday
    };
    for (const Case& c : cases)
        EXPECT_EQ(minuteOfWeek(QDateTime::fromString(c.time, Qt::ISODate)), c.minute) << c.time;
}

TEST(ScheduleTimeRanges, MergesOverlappingAndTouchingRanges)
{
    using Map = QMap<int, int>;
    struct Case { Map before; int start; int end; Map after; };
    const std::vector<Case> cases = {
        {{}, 10, 20, {{10, 20}}},
        {{{10, 20}}, 12, 18, {{10, 20}}},                       // inside an existing range
        {{{10, 20}}, 20, 30, {{10, 30}}},                       // touching
        {{{10, 20}, {40, 50}}, 15, 45, {{10, 50}}},              // bridges two
        {{{10, 20}, {40, 50}}, 25, 30, {{10, 20}, {25, 30}, {40, 50}}},
        {{{10, 20}}, 5, 25, {{5, 25}}},                         // swallows
        {{{10, 20}}, 10, 30, {{10, 30}}},                       // same start, longer
    };
    for (const Case& c : cases)
        EXPECT_EQ(mergeScheduleRange(c.before, c.start, c.end), c.after) << c.start << "-" << c.end;
}

TEST(ScheduleTimeRanges, DayTextsBecomeWeekRanges)
{
    using Map = QMap<int, int>;
    struct Case { int day; const char* text; Map ranges; bool valid; };
    const std::vector<Case> cases = {
        {1, "22:00-06:00", {{2760, 3240}}, true},
        {6, "23:00-01:00", {{0, 60}, {10020, 10080}}, true},
        {6, "23:00-00:00", {{10020, 10080}}, true},
        {0, "08:00-12:00; 13:00-17:00", {{480, 720}, {780, 1020}}, true},
        {0, "08:00-12:00;12:00-17:00", {{480, 1020}}, true},
        {0, "24:00-08:00", {{0, 480}}, true},
        {2, "10:00-10:00", {{2 * 1440 + 600, 3 * 1440 + 600}}, true},  // s = e: a whole day
        {3, " 8 am - 5 pm ;;", {{3 * 1440 + 480, 3 * 1440 + 1020}}, true},
        {0, "x-12:00", {}, false},
        {0, "25:00-26:00", {}, false},
        {0, "08:00-12:00-13:00; 14:00-15:00", {{840, 900}}, false},
        {0, "-12:00", {}, false},
        {0, "08:00", {}, false},
        {0, "", {}, true},
        {0, " ; ; ", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(addScheduleDayRanges({}, c.day, c.text), c.ranges);
        EXPECT_EQ(isValidScheduleDayRanges(c.text), c.valid);
    }
}

TEST(ScheduleTimeRanges, RecordUsesOnlyHeldDayTexts)
{
    SWeeklyMaintenanceSetting record;
    record.name = QString("08:00-09:00"); // the leading text is not a day
    record.monday = QString("08:00-09:00");
    record.tuesday = Optional<QString>::null();
    record.sunday = QString("23:00-02:00");
    EXPECT_EQ(parseScheduleTimeRanges(record), (QMap<int, int>{{1380, 1560}, {1920, 1980}}));

    // Sunday night running into Monday's own window merges with it.
    record.monday = QString("01:00-03:00");
    EXPECT_EQ(parseScheduleTimeRanges(record), (QMap<int, int>{{1380, 1620}}));
}
