#include "ComponentRunner.h"
#include "MonitorRecordFixtures.h"
#include "support/CapturedMessages.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/CMonitorCommonData.h"
#include "engine/CPluginLibrary.h"
#include "core/PerformanceStatistics.h"
#include "common/GlobalSettingRegistry.h"
#include "support/EventLoopWait.h"

#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QThread>
#include <atomic>

using namespace fixtures;

namespace {
struct Recorded
{
    QMutex mutex;
    QList<QList<int>> calls;
    void add(QList<int> call)
    {
        QMutexLocker locker(&mutex);
        calls << call;
    }
    QList<QList<int>> all()
    {
        QMutexLocker locker(&mutex);
        return calls;
    }
};

void recordEvent(int source, int code, int value, void* userData)
{
    static_cast<Recorded*>(userData)->add({source, code, value});
}

SGlobalSettingEntry intSetting(int id, int value)
{
    SGlobalSettingEntry e;
    e.settingId = id;
    e.type = 'i';
    e.intValue = value;
    return e;
}

SGlobalSettingEntry textSetting(int id, char type, const QString& text)
{
    SGlobalSettingEntry e;
    e.settingId = id;
    e.type = type;
    e.textValue = text;
    return e;
}
}

TEST(ConfigReadGate, AWaitingWriterIsNotStarvedByNewReaders)
{
    CConfigReadGate gate;
    QMutex orderMutex;
    QStringList order;
    auto note = [&](const QString& what) {
        QMutexLocker locker(&orderMutex);
        order << what;
    };

    gate.beginRead();   // a reader is inside
    std::atomic<bool> writerIn{false};
    QThread* writer = QThread::create([&] {
        gate.beginWrite();
        writerIn = true;
        // Inside alone, with the late reader still held at the gate.
        note(QStringLiteral("writer, %1 reading, %2 waiting").arg(gate.readers()).arg(gate.waitingReaders()));
        gate.endWrite();
    });
    writer->start();
    ASSERT_TRUE(waitUntil([&] { return gate.waitingWriters() == 1; }));

    std::atomic<bool> readerIn{false};
    QThread* lateReader = QThread::create([&] {
        gate.beginRead();
        readerIn = true;
        note("late reader");
        gate.endRead();
    });
    lateReader->start();
    ASSERT_TRUE(waitUntil([&] { return gate.waitingReaders() == 1 || readerIn; }));
    EXPECT_FALSE(writerIn);   // the first reader is still inside
    EXPECT_FALSE(readerIn);   // and the late reader queues behind the writer
    gate.endRead();
    writer->wait();
    lateReader->wait();
    EXPECT_EQ(order, (QStringList{"writer, 0 reading, 1 waiting", "late reader"}));
    EXPECT_EQ(gate.readers(), 0);
    EXPECT_EQ(gate.waitingReaders(), 0);
    delete writer;
    delete lateReader;
}

TEST(ConfigReadGate, ReadersShareTheGate)
{
    CConfigReadGate gate;
    gate.beginRead();
    std::atomic<bool> second{false};
    QThread* t = QThread::create([&] {
        gate.beginRead();
        second = true;
        gate.endRead();
    });
    t->start();
    EXPECT_TRUE(waitUntil([&] { return second.load(); }));
    gate.endRead();
    t->wait();
    delete t;
}

TEST(ConfigManager, PluginUpdateWaitsForTheLoopAndRaisesItsEvent)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    QList<QList<int>> posted;
    QMutex postedMutex;
    cm.setCommonPluginPoster([&](int a, int p) {
        QMutexLocker locker(&postedMutex);
        posted << QList<int>{a, p};
    });
    Recorded events;
    cm.registerEventCallback(1u << 12, &recordEvent, &events);
    const SStatisticCounter before = namedStatisticCounter(QStringLiteral("SUpdatePluginInfoTask"));
    const SStatisticCounter waitBefore = statisticCounter(STAT_BASE_TASK_LOCK_WAIT);

    cm.postUpdatePluginInfo(5, 7, QStringLiteral("libzam_core.so"));   // before the loop runs
    EXPECT_FALSE(cm.pluginFileName(7).has_value());
    ComponentRunner<CConfigManagerAgent> runner(&cm);
    runner.start();
    ASSERT_TRUE(waitUntil([&] { return cm.pluginFileName(7).has_value(); }));
    bool found = false;
    const PluginInfo info = cm.pluginInfo(7, &found);
    EXPECT_EQ(info.name.value(), QStringLiteral("plugin 7"));
    EXPECT_EQ(info.fileName.value(), QStringLiteral("libzam_core.so"));

    ASSERT_TRUE(waitUntil([&] { return events.all().size() == 1; }));   // delivered after the task
    cm.postUpdatePluginInfo(6, 7, QStringLiteral("other.so"));   // overwrites
    ASSERT_TRUE(waitUntil([&] { return cm.pluginFileName(7) == std::optional<QString>("other.so"); }));
    ASSERT_TRUE(waitUntil([&] { return events.all().size() == 2; }));
    EXPECT_EQ(events.all(), (QList<QList<int>>{{12, 2, 7}, {12, 2, 7}}));
    {
        QMutexLocker locker(&postedMutex);
        EXPECT_EQ(posted, (QList<QList<int>>{{5, 7}, {6, 7}}));
    }
    EXPECT_EQ(namedStatisticCounter(QStringLiteral("SUpdatePluginInfoTask")).count, before.count + 2);
    EXPECT_EQ(statisticCounter(STAT_BASE_TASK_LOCK_WAIT).count, waitBefore.count + 2);
}

// The plug-in binding's reads: the wait always counts, the lookup only when the id is known.
TEST(ConfigManager, PluginReadsCountTheirWaitAndOnlyKnownLookups)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    ComponentRunner<CConfigManagerAgent> runner(&cm);
    runner.start();
    cm.postUpdatePluginInfo(5, 7, QStringLiteral("libzam_core.so"));
    ASSERT_TRUE(waitUntil([&] { return cm.pluginFileName(7).has_value(); }));

    const SStatisticCounter cfgWait = statisticCounter(STAT_GETCFG_LOCK_WAIT);
    const SStatisticCounter cfgExec = statisticCounter(STAT_GETCFG_EXEC);
    EXPECT_FALSE(cm.pluginFileName(99).has_value());
    EXPECT_EQ(statisticCounter(STAT_GETCFG_LOCK_WAIT).count, cfgWait.count + 1);
    EXPECT_EQ(statisticCounter(STAT_GETCFG_EXEC).count, cfgExec.count);
    bool found = false;
    cm.pluginInfo(7, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(statisticCounter(STAT_GETCFG_EXEC).count, cfgExec.count + 1);
}

TEST(ConfigManager, PluginUpdateAfterTheStopIsDropped)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    ComponentRunner<CConfigManagerAgent> runner(&cm);
    runner.start();
    runner.finish();
    cm.postUpdatePluginInfo(1, 8, QStringLiteral("late.so"));
    EXPECT_FALSE(cm.pluginFileName(8).has_value());
}

TEST(ConfigManager, AThrowingTaskIsLoggedAndTheLoopGoesOn)
{
    CapturedMessages messages;
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    std::atomic<int> calls{0};
    cm.setCommonPluginPoster([&](int, int p) {
        ++calls;
        if (p == 1)
            throw std::runtime_error("no task manager");
    });
    ComponentRunner<CConfigManagerAgent> runner(&cm);
    runner.start();
    cm.postUpdatePluginInfo(0, 1, QStringLiteral("a.so"));
    cm.postUpdatePluginInfo(0, 2, QStringLiteral("b.so"));
    ASSERT_TRUE(waitUntil([&] { return cm.pluginFileName(2).has_value(); }));
    EXPECT_EQ(messages.count("warning: config manager: unknown exception"), 1);
    EXPECT_EQ(cm.pluginFileName(1), std::optional<QString>("a.so"));   // the table entry came first
}

TEST(ConfigManager, MonitorRecordsAreCopiedOnlyWhenReplaced)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    bool notFound, changed, third;
    const stZamMonitorPtr mine = record(Optional<int>(), 0, {});
    EXPECT_EQ(cm.getMonitorData(4, mine, &notFound, &changed, &third), mine);
    EXPECT_TRUE(notFound);
    EXPECT_FALSE(changed);

    const stZamMonitorPtr first = record(4, 0, {setting(" Port", 'i', "22", 22)});
    cm.setMonitorData(4, first);
    const stZamMonitorPtr copy = cm.getMonitorData(4, stZamMonitorPtr(), &notFound, &changed, &third);
    EXPECT_FALSE(notFound);
    EXPECT_TRUE(changed);
    EXPECT_FALSE(third);
    ASSERT_TRUE(copy);
    // The store keeps the stream form; the copy read from it carries everything that was sent.
    EXPECT_EQ(stZamMonitor::storedFormOf(*copy), stZamMonitor::storedFormOf(*first));
    EXPECT_STREQ(copy->settings.entries[0].valueText, "22");
    EXPECT_EQ(copy->monitorId, 4);
    EXPECT_EQ(copy->selfRecord, copy.data());

    EXPECT_EQ(cm.getMonitorData(4, copy, &notFound, &changed, &third), copy);
    EXPECT_FALSE(changed);
    EXPECT_FALSE(notFound);

    const stZamMonitorPtr second = record(4, 0, {setting(" Port", 'i', "23", 23)});
    cm.setMonitorData(4, second);
    cm.setMonitorData(4, second);
    EXPECT_EQ(cm.monitorCount(), 1);
    const stZamMonitorPtr renewed = cm.getMonitorData(4, copy, &notFound, &changed, &third);
    EXPECT_TRUE(changed);
    EXPECT_EQ(stZamMonitor::storedFormOf(*renewed), stZamMonitor::storedFormOf(*second));
    EXPECT_EQ(cm.getMonitorData(4, renewed, &notFound, &changed, &third), renewed);
    EXPECT_FALSE(changed);
    EXPECT_STREQ(renewed->settings.entries[0].valueText, "23");
}

TEST(ConfigManager, RemovedMonitorIsGoneWithItsCommonData)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    cm.setMonitorData(4, record(4, 0, {setting(" Port", 'i', "22", 22)}));
    bool notFound, changed, third;
    const stZamMonitorPtr copy = cm.getMonitorData(4, stZamMonitorPtr(), &notFound, &changed, &third);
    ASSERT_TRUE(copy);

    CMonitorCommonData::acquire(4);
    const int registered = CMonitorCommonData::registeredCount();
    cm.removeMonitorData(4);
    EXPECT_EQ(cm.monitorCount(), 0);
    EXPECT_EQ(CMonitorCommonData::registeredCount(), registered - 1);
    cm.getMonitorData(4, copy, &notFound, &changed, &third);
    EXPECT_TRUE(notFound);
    cm.removeMonitorData(4);   // twice is harmless
    EXPECT_EQ(CMonitorCommonData::registeredCount(), registered - 1);
}

TEST(ConfigManager, WebServerPortFollowsTheGlobalSettings)
{
    struct Case { const char* what; QList<QPair<int, SGlobalSettingEntry>> entries; int port; };
    const QList<Case> cases = {
        {"empty store", {}, 8084},
        {"http port", {{1, intSetting(53, 8090)}}, 8090},
        {"mode off", {{1, intSetting(52, 0)}, {2, intSetting(53, 81)}, {3, intSetting(54, 8443)}}, 81},
        {"https port", {{1, intSetting(52, 1)}, {2, intSetting(53, 81)}, {3, intSetting(54, 8443)}}, 8443},
        {"https default", {{1, intSetting(52, 1)}, {2, intSetting(53, 81)}}, 444},
        {"text is not an int", {{1, textSetting(53, 's', "81")}}, 8084},
    };
    for (const Case& c : cases) {
        CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
        for (const auto& e : c.entries)
            cm.setGlobalSettingEntry(e.first, e.second);
        EXPECT_EQ(cm.webServerPort(), c.port) << c.what;
    }
}

TEST(ConfigManager, GlobalSettingsAreReadByIdNameAndKey)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    const SStatisticCounter waits = statisticCounter(STAT_GETGSETTING_LOCK_WAIT);
    const SStatisticCounter execs = statisticCounter(STAT_GETGSETTING_EXEC);
    int value = 0;
    EXPECT_FALSE(cm.getGlobalSettingInt(53, &value));
    EXPECT_EQ(statisticCounter(STAT_GETGSETTING_LOCK_WAIT).count, waits.count + 1);
    EXPECT_EQ(statisticCounter(STAT_GETGSETTING_EXEC).count, execs.count + 1);   // also when not found

    cm.setGlobalSettingEntry(10, intSetting(53, 8088));
    cm.setGlobalSettingEntry(11, textSetting(131, 's', packText(QStringLiteral("/usr/share/snmp/mibs"))));
    cm.setGlobalSettingEntry(12, textSetting(60, 'p', QStringLiteral("610062006300")));
    cm.setGlobalSettingEntry(13, textSetting(61, 's', QStringLiteral("plain")));
    EXPECT_TRUE(cm.getGlobalSettingInt(globalSettingName(53), &value));
    EXPECT_EQ(value, 8088);
    QString text;
    EXPECT_TRUE(cm.getGlobalSettingText(131, &text));
    EXPECT_EQ(text, QStringLiteral("/usr/share/snmp/mibs"));
    EXPECT_TRUE(cm.getGlobalSettingText(60, &text));
    EXPECT_EQ(text, QStringLiteral("abc"));
    EXPECT_TRUE(cm.getGlobalSettingText(61, &text));
    EXPECT_EQ(text, QStringLiteral("plain"));
    EXPECT_FALSE(cm.getGlobalSettingText(53, &text));
    int id = 0;
    EXPECT_TRUE(cm.getGlobalSettingIdByKey(10, &id));
    EXPECT_EQ(id, 53);
    EXPECT_FALSE(cm.getGlobalSettingIdByKey(99, &id));
}

TEST(ConfigManager, TablesTheDaemonNeverFillsAnswerNotFound)
{
    CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
    CConfigManagerBase::StoreRecord r, a, h;
    QList<CConfigManagerBase::StoreRecord> list;
    QString name;
    EXPECT_FALSE(cm.getMonitor(1, &r));
    EXPECT_FALSE(cm.getMonitorWithHost(1, &r, &a, &h));
    EXPECT_FALSE(cm.getMonitorsForHost(1, &list));
    EXPECT_FALSE(cm.getAppWithHost(1, &a, &h));
    EXPECT_FALSE(cm.getAction(1, &r));
    EXPECT_FALSE(cm.getNetwork(Optional<int>(), &r));
    EXPECT_FALSE(cm.getNetworkName(1, &name));
    EXPECT_FALSE(cm.getLocalNetwork(&r));
    EXPECT_FALSE(cm.getHost(QStringLiteral("h"), &r));
    EXPECT_FALSE(cm.getTemplateCategory(1, &r));
    EXPECT_FALSE(cm.getTemplate(1, &r));
}

namespace {
// Raises an event of the given source from inside each plug-in update task.
class EventRaisingManager : public CConfigManagerAgent
{
public:
    using CConfigManagerAgent::CConfigManagerAgent;
    void raiseFromTasks(int source)
    {
        setCommonPluginPoster([this, source](int, int pluginId) { appendPendingEvent(pluginId, source, 5); });
    }
};
}

TEST(ConfigManager, EventSourcesOutOfRangeAreRefused)
{
    CapturedMessages messages;
    EventRaisingManager cm(nullptr, QStringLiteral("config manager"), 1);
    Recorded events;
    cm.registerEventCallback((1u << 3) | (1u << 31), &recordEvent, &events);
    ComponentRunner<CConfigManagerAgent> runner(&cm);
    runner.start();

    cm.raiseFromTasks(32);
    cm.postUpdatePluginInfo(0, 1, QStringLiteral("a.so"));
    ASSERT_TRUE(waitUntil([&] {
        return messages.lines().contains("warning: config manager: exception in run: event source is out of range");
    }));
    cm.raiseFromTasks(31);
    cm.postUpdatePluginInfo(0, 2, QStringLiteral("b.so"));
    ASSERT_TRUE(waitUntil([&] { return events.all().size() == 1; }));   // the loop went on
    EXPECT_EQ(events.all().first(), (QList<int>{31, 5, 2}));

    cm.unregisterEventCallback(1u << 31, &recordEvent, &events);
    cm.postUpdatePluginInfo(0, 3, QStringLiteral("c.so"));
    ASSERT_TRUE(waitUntil([&] { return cm.pluginFileName(3).has_value(); }));
    runner.finish();
    EXPECT_EQ(events.all().size(), 1);
}
