#include "PerformanceStatistics.h"

#include "common/AgentSettings.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

#include <ctime>
#include <memory>

namespace {

QMutex g_statMutex;
SStatisticCounter g_counters[STAT_COUNT];
QMap<QString, SStatisticCounter> g_named;

const char* const kNames[STAT_COUNT] = {
    "GETCFG_LOCK_WAIT", "", "", "", "GETCFGMAP_LOCK_WAIT", "BASE_TASK_LOCK_WAIT",
    "GETGSETTING_LOCK_WAIT", "GETMONITOR_LOCK_WAIT", "GETMONITOR_WTH_LOCK_WAIT", "GETAPP_WH_LOCK_WAIT",
    "GETACTION_LOCK_WAIT", "GETNETWORK_LOCK_WAIT", "GETNETWORK_NAME_LOCK_WAIT", "GETHOST_LOCK_WAIT",
    "GETMONITORS_FOR_HOST_LOCK_WAIT", "GETGSETTING_KEY_LOCK_WAIT", "GETLOCALNET_LOCK_WAIT",
    "GETTEMPLATECAT_LOCK_WAIT", "GETTEMPLATE_LOCK_WAIT",
    "", "", "", "", "", "", "", "", "", "",                                     // 19-28
    "GETCFG_EXEC", "", "", "", "GETCFGMAP_EXEC", "GETGSETTING_EXEC", "GETMONITOR_EXEC",
    "GETMONITOR_WTH_EXEC", "GETAPP_WH_EXEC", "GETACTION_EXEC", "GETNETWORK_EXEC", "GETNETWORK_NAME_EXEC",
    "GETHOST_EXEC", "GETMONITORS_FOR_HOST_EXEC", "GETGSETTING_KEY_EXEC", "GETLOCALNET_EXEC",
    "GETTEMPLATECAT_EXEC", "GETTEMPLATE_EXEC",
    "", "", "", "", "", "", "", "",                                             // 47-54
    "CPU_LOAD", "BUSY_THREADS", "IDLE_THREADS", "ABANDONED_THREADS",              // 55-58
};

void addToCounter(SStatisticCounter& c, quint32 value)
{
    ++c.count;
    c.total += value;
    if (value > c.max)
        c.max = value;
}

bool validId(int id)
{
    return id >= 0 && id < STAT_COUNT;
}

// Writes the counters of one section that were used, resetting each one it looked at.
void reportRange(int first, int last, const char* format)
{
    for (int id = first; id <= last; ++id) {
        SStatisticCounter& c = g_counters[id];
        if (c.count > 0)
            qInfo(format, kNames[id], c.count, static_cast<unsigned long long>(c.total / c.count), c.max);
        c = SStatisticCounter();
    }
}

}

quint32 GetTickCount()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    const quint64 ms = static_cast<quint64>(ts.tv_sec) * 1000u + static_cast<quint64>(ts.tv_nsec) / 1000000u;
    return static_cast<quint32>(ms);
}

quint32 elapsedTicks(quint32 start, quint32 now)
{
    return now - start;   // modular arithmetic covers one wrap exactly
}

quint32 addTimedStatistic(int id, quint32 start)
{
    const quint32 now = GetTickCount();
    addStatisticValue(id, elapsedTicks(start, now));
    return now;
}

void addStatisticValue(int id, quint32 value)
{
    if (!validId(id))
        return;
    QMutexLocker locker(&g_statMutex);
    addToCounter(g_counters[id], value);
}

quint32 addNamedStatistic(const QString& kindName, quint32 start)
{
    const quint32 now = GetTickCount();
    QMutexLocker locker(&g_statMutex);
    addToCounter(g_named[kindName], elapsedTicks(start, now));
    return now;
}

void writeStatisticsReport()
{
    // Opened on the first report and kept; sync() picks up edits made since.
    static std::unique_ptr<QSettings> settings = openAgentSettings();
    static QMutex settingsMutex;
    bool enabled;
    {
        QMutexLocker locker(&settingsMutex);
        settings->sync();
        enabled = isPeriodicStatisticsEnabled(*settings);
    }

    QMutexLocker locker(&g_statMutex);
    if (!enabled) {
        for (SStatisticCounter& c : g_counters)
            c = SStatisticCounter();
        for (auto it = g_named.begin(); it != g_named.end(); ++it)
            it.value() = SStatisticCounter();
        return;
    }
    const char* const callsFormat = "  %s: %u calls, %llu msec avg, %u msec max";
    qInfo("=== Performance statistics (last %d min) ===", 5);
    qInfo("Waiting for configuration manager mutex:");
    reportRange(0, 28, callsFormat);
    qInfo("Holding configuration manager mutex:");
    reportRange(29, 52, callsFormat);
    qInfo("Other indicators:");
    reportRange(55, 57, "  %s: %u times, %llu avg, %u max");
    qInfo("Config manager tasks:");
    for (auto it = g_named.begin(); it != g_named.end(); ++it) {
        SStatisticCounter& c = it.value();
        if (c.count > 0)
            qInfo("  %s: %u calls, %llu msec avg, %u msec max", it.key().toLatin1().constData(), c.count,
                  static_cast<unsigned long long>(c.total / c.count), c.max);
        c = SStatisticCounter();
    }
    qInfo("=== End performance statistics ===");
    // Counters outside the reported sections are reset too, so each report covers one span.
    for (int id : {53, 54, 58})
        g_counters[id] = SStatisticCounter();
}

QString statisticName(int id)
{
    return validId(id) ? QString::fromLatin1(kNames[id]) : QString();
}

SStatisticCounter statisticCounter(int id)
{
    QMutexLocker locker(&g_statMutex);
    return validId(id) ? g_counters[id] : SStatisticCounter();
}

SStatisticCounter namedStatisticCounter(const QString& kindName)
{
    QMutexLocker locker(&g_statMutex);
    return g_named.value(kindName);
}
