#pragma once
#include <QString>

// Process-wide performance counters: a table of 59 counters addressed by id and a map of
// counters by posted-task kind name. One statistics mutex guards both; the configuration
// store's lock is always taken before it, never after.

enum StatisticId : int {
    STAT_GETCFG_LOCK_WAIT = 0,
    STAT_GETCFGMAP_LOCK_WAIT = 4,
    STAT_BASE_TASK_LOCK_WAIT = 5,
    STAT_GETGSETTING_LOCK_WAIT = 6,
    STAT_GETMONITOR_LOCK_WAIT = 7,
    STAT_GETMONITOR_WTH_LOCK_WAIT = 8,
    STAT_GETAPP_WH_LOCK_WAIT = 9,
    STAT_GETACTION_LOCK_WAIT = 10,
    STAT_GETNETWORK_LOCK_WAIT = 11,
    STAT_GETNETWORK_NAME_LOCK_WAIT = 12,
    STAT_GETHOST_LOCK_WAIT = 13,
    STAT_GETMONITORS_FOR_HOST_LOCK_WAIT = 14,
    STAT_GETGSETTING_KEY_LOCK_WAIT = 15,
    STAT_GETLOCALNET_LOCK_WAIT = 16,
    STAT_GETTEMPLATECAT_LOCK_WAIT = 17,
    STAT_GETTEMPLATE_LOCK_WAIT = 18,
    STAT_GETCFG_EXEC = 29,
    STAT_GETCFGMAP_EXEC = 33,
    STAT_GETGSETTING_EXEC = 34,
    STAT_GETMONITOR_EXEC = 35,
    STAT_GETMONITOR_WTH_EXEC = 36,
    STAT_GETAPP_WH_EXEC = 37,
    STAT_GETACTION_EXEC = 38,
    STAT_GETNETWORK_EXEC = 39,
    STAT_GETNETWORK_NAME_EXEC = 40,
    STAT_GETHOST_EXEC = 41,
    STAT_GETMONITORS_FOR_HOST_EXEC = 42,
    STAT_GETGSETTING_KEY_EXEC = 43,
    STAT_GETLOCALNET_EXEC = 44,
    STAT_GETTEMPLATECAT_EXEC = 45,
    STAT_GETTEMPLATE_EXEC = 46,
    STAT_CPU_LOAD = 55,
    STAT_BUSY_THREADS = 56,
    STAT_IDLE_THREADS = 57,
    STAT_ABANDONED_THREADS = 58,   // the number abandoned, added at each abandonment
    STAT_COUNT = 59
};

struct SStatisticCounter
{
    quint64 total = 0;
    quint32 max = 0;
    quint32 count = 0;
};

// Monotonic milliseconds, truncated to 32 bits (wraps after about 49 days).
quint32 GetTickCount();
// Elapsed ticks from start to now, correct across one wrap of the 32-bit tick.
quint32 elapsedTicks(quint32 start, quint32 now);

// Adds the time since start to counter id; answers the current tick (start of the next span).
quint32 addTimedStatistic(int id, quint32 start);
void addStatisticValue(int id, quint32 value);
// Like addTimedStatistic for the named counter of that task kind (created at 0 when absent).
quint32 addNamedStatistic(const QString& kindName, quint32 start);

// Writes the performance report as Qt info lines when "Debug/PeriodicStatistics" is on in the
// agent settings file, and resets every counter in any case.
void writeStatisticsReport();

// Name of counter id ("GETCFG_LOCK_WAIT", ...); empty for ids that nothing records.
QString statisticName(int id);
// Copy of one counter (tests and diagnostics).
SStatisticCounter statisticCounter(int id);
SStatisticCounter namedStatisticCounter(const QString& kindName);
