#include "support/CapturedMessages.h"

#include "core/PerformanceStatistics.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

// The report reads "Debug/PeriodicStatistics" from the agent settings file; this program
// runs with a private /etc/opt/corvane-agent.
namespace {

void setSwitch(const char* text)
{
    QFile f(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// Report lines without the "info: " level.
QStringList report()
{
    CapturedMessages messages;
    writeStatisticsReport();
    QStringList lines;
    // Timed task counters hold whatever the clock gave; only their presence is checked.
    const QRegularExpression timed(QStringLiteral("^(  (<\\?>|S\\w+): 1 calls), \\d+ msec avg, \\d+ msec max$"));
    for (const QString& line : CapturedMessages::lines())
        lines << line.mid(QStringLiteral("info: ").size()).replace(timed, QStringLiteral("\\1, T"));
    return lines;
}

}

TEST(PerformanceStatistics, ElapsedTicksSurviveTheWrap)
{
    const struct {
        quint32 start, now, elapsed;
    } cases[] = {{100, 250, 150}, {0xFFFFFFF0u, 0x10, 0x20}, {0xFFFFFFFFu, 0, 1}, {5, 5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(elapsedTicks(c.start, c.now), c.elapsed);
    const quint32 a = GetTickCount();
    const quint32 b = addTimedStatistic(STAT_GETCFG_LOCK_WAIT, a);
    EXPECT_LT(elapsedTicks(a, b), 1000u);
    EXPECT_EQ(statisticName(STAT_GETTEMPLATE_EXEC), QStringLiteral("GETTEMPLATE_EXEC"));
    EXPECT_EQ(statisticName(STAT_IDLE_THREADS), QStringLiteral("IDLE_THREADS"));
}

TEST(PerformanceStatistics, ReportWhenSwitchedOnAndResetInAnyCase)
{
    // Off: nothing is written and the counters start from 0 again.
    setSwitch("");
    addStatisticValue(STAT_BUSY_THREADS, 9);
    addNamedStatistic(QStringLiteral("SUpdatePluginInfoTask"), GetTickCount());
    EXPECT_EQ(report(), QStringList());
    EXPECT_EQ(statisticCounter(STAT_BUSY_THREADS).count, 0u);

    setSwitch("[Debug]\nPeriodicStatistics=true\n");
    addStatisticValue(STAT_GETCFG_LOCK_WAIT, 10);
    addStatisticValue(STAT_GETCFG_LOCK_WAIT, 31);
    addStatisticValue(STAT_GETMONITOR_EXEC, 4);
    addStatisticValue(STAT_BUSY_THREADS, 1);
    addStatisticValue(STAT_IDLE_THREADS, 7);
    addStatisticValue(STAT_IDLE_THREADS, 6);
    addStatisticValue(99, 1);   // unknown ids are ignored
    addNamedStatistic(QStringLiteral("<?>"), GetTickCount());
    const QStringList expected = {
        QStringLiteral("=== Performance statistics (last 5 min) === (:0, )"),
        QStringLiteral("Waiting for configuration manager mutex: (:0, )"),
        QStringLiteral("  GETCFG_LOCK_WAIT: 2 calls, 20 msec avg, 31 msec max (:0, )"),
        QStringLiteral("Holding configuration manager mutex: (:0, )"),
        QStringLiteral("  GETMONITOR_EXEC: 1 calls, 4 msec avg, 4 msec max (:0, )"),
        QStringLiteral("Other indicators: (:0, )"),
        QStringLiteral("  BUSY_THREADS: 1 times, 1 avg, 1 max (:0, )"),
        QStringLiteral("  IDLE_THREADS: 2 times, 6 avg, 7 max (:0, )"),
        QStringLiteral("Config manager tasks: (:0, )"),
        QStringLiteral("  <?>: 1 calls, T (:0, )"),
        QStringLiteral("=== End performance statistics === (:0, )"),
    };
    QStringList got = report();
    // The capture has no context suffix; the daemon's handler adds " (:0, )".
    for (QString& line : got)
        line += QStringLiteral(" (:0, )");
    EXPECT_EQ(got, expected);

    // Untouched counters do not appear; a named counter keeps its place and reappears.
    addNamedStatistic(QStringLiteral("SUpdatePluginInfoTask"), GetTickCount());
    got = report();
    EXPECT_EQ(got, QStringList({QStringLiteral("=== Performance statistics (last 5 min) ==="),
                                QStringLiteral("Waiting for configuration manager mutex:"),
                                QStringLiteral("Holding configuration manager mutex:"), QStringLiteral("Other indicators:"),
                                QStringLiteral("Config manager tasks:"),
                                QStringLiteral("  SUpdatePluginInfoTask: 1 calls, T"),
                                QStringLiteral("=== End performance statistics ===")}));
    EXPECT_EQ(namedStatisticCounter(QStringLiteral("SUpdatePluginInfoTask")).count, 0u);
}
