#include "common/EnumTexts.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

void expectThrows(const std::function<void()>& f, const char* text)
{
    try {
        f();
        ADD_FAILURE() << "no exception, expected " << text;
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(text, e.what());
    }
}

} // namespace

TEST(EnumTexts, Tables)
{
    EXPECT_EQ(QStringLiteral("Stopped by Dependency"), monitorStatusName(5));
    EXPECT_EQ(QStringLiteral("Stopped By Dependency"), statusNameByIndex(5));
    EXPECT_EQ(QStringLiteral("Unknown"), statusNameByIndex(8));
    EXPECT_EQ(QString(), monitorStatusName(-1));
    EXPECT_EQ(QString(), monitorStatusName(42));
    EXPECT_EQ(QString(), onlineStateName(3));
    EXPECT_EQ(QStringLiteral("Virtual_machines"), monitorGroupName(8));
    EXPECT_EQ(QStringLiteral("TCP/UDP"), protocolFlagNames().value(1024));
    EXPECT_EQ(QStringLiteral("Windows Service"), resourceFlagNames().value(32));
    EXPECT_EQ(QStringLiteral("Miscelaneous"), deviceCategoryNames().value(4));
    EXPECT_EQ(8, statusValues().size());
    const QDateTime dt(QDate(2024, 2, 29), QTime(13, 5, 9));
    EXPECT_EQ(QStringLiteral("29.02.2024.13.05.09"), dateTimeToText(dt));
    EXPECT_EQ(dt, dateTimeFromText(QStringLiteral("29.02.2024.13.05.09")));
    EXPECT_EQ(9u, strlen(kBuildCommit));
}

TEST(EnumTexts, Categories)
{
    EXPECT_EQ(6, categoryFromText(QStringLiteral("Web Servers")));
    EXPECT_EQ(QStringLiteral("Web Servers"), categoryToText(3));
    EXPECT_EQ(9, categoryFromText(QStringLiteral("Network Equipment")));
    EXPECT_EQ(6, categoryFromText(QStringLiteral("nonsense")));
    EXPECT_EQ(QString(), categoryToText(10));
    EXPECT_TRUE(categoryTextIsDevice(QStringLiteral("UPS")));
    EXPECT_FALSE(categoryTextIsDevice(QStringLiteral("Mail Servers")));
    EXPECT_EQ(6, categoryGuard(10));
    EXPECT_EQ(9, categoryGuard(9));
}

TEST(EnumTexts, ConvertersRefuseBadValuesWithFixedTexts)
{
    expectThrows([] { settingKindFromCode('x'); }, "bad setting kind");
    expectThrows([] { settingKindNarrowCheck('E'); }, "bad setting kind");
    expectThrows([] { monitorEventFromInt(5); }, "bad monitor event");
    expectThrows([] { monitorEventFromInt(-3); }, "bad monitor event");
    expectThrows([] { monitorCategoryFromInt(9); }, "bad monitor category");
    expectThrows([] { objectKindFromText(QStringLiteral("x")); }, "bad object kind");
    expectThrows([] { objectKindFromText(QString()); }, "bad object kind");
    expectThrows([] { objectKindGuard(11); }, "bad object kind");
    expectThrows([] { periodKindFromText(QStringLiteral("2")); }, "bad period kind");
    expectThrows([] { actionProfileKind(5); }, "bad action profile kind");
    expectThrows([] { alertingInheritanceFromText(QStringLiteral("x")); }, "bad alerting section inheritance type");
    expectThrows([] { alertingInheritanceToText('x'); }, "unhandled alerting section inheritance type");
    expectThrows([] { monitorCreatedTypeFromText(QStringLiteral("\u00e9")); }, "bad monitor created type");
    expectThrows([] { monitorCreatedTypeToText('q'); }, "unhandled monitor created type");
    expectThrows([] { selectIfFromText(QStringLiteral("z")); }, "unknown select_if value");
    expectThrows([] { selectIfToText(4); }, "unknown value for select_if");
    expectThrows([] { createNotFoundFromText(QStringLiteral("z")); }, "unknown create_not_found value");
    expectThrows([] { createNotFoundToText(-1); }, "unknown value for create_not_found");

    for (char c : QByteArray("2CDEFLMRSTWacdefilmoprstuwy")) {
        EXPECT_EQ(c, settingKindFromCode(c));
        EXPECT_EQ(QString(QLatin1Char(c)), settingKindToText(c));
        EXPECT_EQ(c, settingKindFromText(QString(QLatin1Char(c)) + "rest", '?'));
    }
    EXPECT_EQ('?', settingKindFromText(QStringLiteral("x"), '?'));
    EXPECT_EQ(QStringLiteral("_"), settingKindToText('x'));
    EXPECT_EQ('m', settingKindNarrowCheck('m'));
}

TEST(EnumTexts, MappingsAndDefaults)
{
    EXPECT_EQ(0, enumFromIndex4(5));
    EXPECT_EQ(4, enumFromIndex4(4));
    EXPECT_EQ(-1, enumFromIndex3(3));
    EXPECT_EQ(3, eightValueGuard(8));
    EXPECT_EQ(3, objectKindToIndex('H'));
    EXPECT_EQ(13, objectKindToIndex('x'));
    EXPECT_EQ(QStringLiteral("m"), objectKindToText('x'));
    EXPECT_EQ(QStringLiteral("T"), objectKindToText('T'));
    EXPECT_EQ(QStringLiteral("1"), periodKindToText('q'));
    EXPECT_EQ('p', valueTypeFromText(QStringLiteral("p"), 'i'));
    EXPECT_EQ('i', valueTypeFromText(QStringLiteral("z"), 'i'));
    EXPECT_TRUE(yesNoFromText(QStringLiteral("yes"), false));
    EXPECT_TRUE(yesNoFromText(QStringLiteral("?"), true));
    EXPECT_EQ(2, selectIfFromText(QStringLiteral("M")));
    EXPECT_EQ(QStringLiteral("s"), selectIfToText(3));
    EXPECT_EQ('S', psFlagFromText(QStringLiteral("p")));
    EXPECT_EQ(QStringLiteral("alert type"), subjectKindToText(12));
    EXPECT_EQ(QStringLiteral("invalid"), subjectKindToText(13));
    EXPECT_EQ(QStringLiteral("Down"), statusToShortText(2));
    EXPECT_EQ(QStringLiteral("by unknown means"), creationWayToText(4));
    EXPECT_EQ(QStringLiteral("Network_3"), networkName(3));
    EXPECT_TRUE(isPluginLibraryFile(QStringLiteral("C:\\x\\ZAM_CORE.DLL")));
    EXPECT_TRUE(isPluginLibraryFile(QStringLiteral("/opt/a/plugins/libzam_core.so")));
    EXPECT_FALSE(isPluginLibraryFile(QStringLiteral("/opt/xzam_core.dll")));
    EXPECT_EQ(40, guard77(29));
    EXPECT_EQ(40, guard77(77));
    EXPECT_EQ(76, guard77(76));
    EXPECT_EQ(13, indexGuard(11, 10, 13));
    EXPECT_EQ(2, zeroOneElseTwo(-1));
    struct Row { int in; int level; int reversed; };
    const Row rows[] = {{-1, 1, -1}, {0, 0, 2}, {3, 0, -1}, {4, 1, -1}, {7, 4, -1}, {8, 1, -1}, {2, 0, 0}, {1, 0, 1}};
    for (const Row& r : rows) {
        EXPECT_EQ(r.level, storedOrderToLevel(r.in)) << r.in;
        EXPECT_EQ(r.reversed, reversedOrder3(r.in)) << r.in;
    }
    EXPECT_EQ(3, groupIndexToLevel(0, -1));
    EXPECT_EQ(0, groupIndexToLevel(0, 2));
    EXPECT_EQ(3, groupIndexToLevel(0, 3));
    EXPECT_EQ(4, groupIndexToLevel(1, 99));
    EXPECT_EQ(7, groupIndexToLevel(4, 0));
    EXPECT_EQ(3, groupIndexToLevel(5, 0));
    const int a = nextSequenceNumber();
    EXPECT_EQ(a + 1, nextSequenceNumber());
}

TEST(EnumTexts, DaySchedule)
{
    struct Case { const char* text; int kind; int day; QTime time; const char* back; };
    const Case cases[] = {
        {"Daily 12:30", 0, 0, QTime(12, 30), "Daily 12:30"},
        {"AtDay 15 01:02", 1, 15, QTime(1, 2), "AtDay 15 01:02"},
        {"AtWeekDay 3 23:59", 2, 3, QTime(23, 59), "AtWeekDay 3 23:59"},
        {"Weird 07:00", 0, 0, QTime(7, 0), "Daily 07:00"},
    };
    for (const Case& c : cases) {
        const SDaySchedule s = dayScheduleFromText(QString::fromLatin1(c.text));
        EXPECT_EQ(c.kind, s.kind) << c.text;
        EXPECT_EQ(c.day, s.day) << c.text;
        EXPECT_EQ(c.time, s.time) << c.text;
        EXPECT_EQ(QString::fromLatin1(c.back), dayScheduleToText(s));
    }
    EXPECT_EQ(QTime(4, 5), dayScheduleFromText(QString()).time);
    EXPECT_EQ(QTime(4, 5), dayScheduleFromText(QStringLiteral("AtDay 3 25:99")).time);
}
