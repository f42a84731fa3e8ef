// The poll road inside one process: a stored record, a posted poll task, a task thread, the
// library (the real one or a stand-in) and the poll result that reaches the agent manager.
#include "MonitorRecordFixtures.h"
#include "PollRoadHarness.h"
#include "support/CapturedMessages.h"
#include "engine/CPollTaskAgentWithSettings.h"
#include "engine/CSyncResolveTask.h"
#include "engine/PollRequestTasks.h"
#include "support/EventLoopWait.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <QDir>
#include <atomic>
#include <dlfcn.h>

using namespace fixtures;

extern "C" struct PollRoadState {
    std::atomic<int> pollCount;
    std::atomic<int> invalidateCount;
    std::atomic<unsigned> invalidateFlags[64];
    std::atomic<int> heartbeats;
    std::atomic<int> heartbeatMs;
    std::atomic<int> stillAliveAnswers;
    std::atomic<int> addCallbackSeen;
    ZamGetMemCallback memory;
};

namespace {
PollRoadState* roadState()
{
    void* h = dlopen(POLL_ROAD_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return nullptr;
    auto fn = reinterpret_cast<PollRoadState* (*)()>(dlsym(h, "poll_road_state"));
    dlclose(h);
    return fn ? fn() : nullptr;
}

std::atomic<int> g_transaction{100};

struct Posted
{
    CTaskPtr task;
    SPollResultPtr result;
    int transactionId;
};

Posted pollById(int monitorId)
{
    const int tx = ++g_transaction;
    SPollResultPtr result(new SPollResult);
    CTaskPtr task(new CPollTaskAgentById(tx, Optional<int>(monitorId), result));
    EXPECT_TRUE(taskManager()->postTask(task));
    EXPECT_TRUE(pollroad::results()->waitFor(tx)) << "no result for monitor " << monitorId;
    return {task, result, tx};
}

Posted pollWithSettings(const stZamMonitorPtr& record)
{
    const int tx = ++g_transaction;
    SPollResultPtr result(new SPollResult);
    CTaskPtr task(new CPollTaskAgentWithSettings(tx, record, result));
    EXPECT_TRUE(taskManager()->postTask(task));
    EXPECT_TRUE(pollroad::results()->waitFor(tx));
    return {task, result, tx};
}

stZamMonitorPtr readAsTheLinkDoes(const stZamMonitorPtr& sent)
{
    stZamMonitorPtr r;
    EXPECT_EQ(readStream(streamOf(*sent), r), QString());
    return r;
}

QList<unsigned> invalidationsSince(int from)
{
    QList<unsigned> flags;
    PollRoadState* s = roadState();
    for (int i = from; s && i < s->invalidateCount; ++i)
        flags << s->invalidateFlags[i % 64].load();
    return flags;
}
}

class PollRoad : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { pollroad::start(QStringLiteral(POLL_ROAD_PLUGIN)); }
    static void TearDownTestSuite() { destroyNetworkMonitor(); }
};

TEST_F(PollRoad, RealLibraryAnswersAStoredMonitor)
{
    configManager()->setMonitorData(
        501, readAsTheLinkDoes(record(501, 0, {setting(" Timeout", 'i', "1000", 1000)}, "localhost")));
    const Posted p = pollById(501);
    EXPECT_EQ(p.result->state, SPollResult::Polled);
    EXPECT_EQ(p.result->hostName, QByteArray("localhost"));
    EXPECT_EQ(p.result->hostAddress, QByteArray("127.0.0.1"));
    EXPECT_EQ(p.result->outcome.size(), SPollResult::kOutcomeSize);
    // Whatever the check answers, a failure always carries its reason.
    EXPECT_TRUE(p.result->pollReturn == 0 || !p.result->failReason.isEmpty()) << p.result->failReason.constData();
}

TEST_F(PollRoad, UnknownMonitorIsNotPolled)
{
    configManager()->setMonitorData(502, readAsTheLinkDoes(record(502, 0, {}, "h")));
    configManager()->removeMonitorData(502);
    PollRoadState* s = roadState();
    const int polls = s ? s->pollCount.load() : 0;
    const Posted p = pollById(502);
    EXPECT_EQ(p.result->state, SPollResult::MonitorNotFound);
    EXPECT_EQ(p.result->pollReturn, 1);
    EXPECT_EQ(p.result->failReason, QByteArray("monitor was not found"));
    EXPECT_EQ(s ? s->pollCount.load() : 0, polls);
}

TEST_F(PollRoad, PollTaskWithoutAnIdReportsUnknownError)
{
    const int tx = ++g_transaction;
    SPollResultPtr result(new SPollResult);
    taskManager()->postTask(CTaskPtr(new CPollTaskAgentById(tx, Optional<int>(), result)));
    ASSERT_TRUE(pollroad::results()->waitFor(tx));
    EXPECT_EQ(result->state, SPollResult::NoMonitorId);
    EXPECT_EQ(result->failReason, QByteArray("unknown error"));
}

TEST_F(PollRoad, StoredMonitorThroughTheStandIn)
{
    stZamMonitorPtr sent = record(503, 0, {setting(" Text", 's', "a\u00a0$InstallDir")}, "echo.host");
    sent->pluginId = pollroad::kRoadPlugin;
    sent->timeout = 150;
    configManager()->setMonitorData(503, readAsTheLinkDoes(sent));

    const Posted first = pollById(503);
    ASSERT_EQ(first.result->state, SPollResult::Polled);
    EXPECT_EQ(first.result->pollReturn, 0);
    EXPECT_EQ(QString::fromUtf8(first.result->failReason), "a\n" + QDir(testpaths::buildDir()).canonicalPath());
    EXPECT_EQ(first.result->resultSections.size(), 16);
    EXPECT_EQ(first.result->resultSections.at(15), 12);   // 4 data bytes: padding 3, tail 3 + 9
    qint64 perf = 0;
    memcpy(&perf, first.result->outcome.constData(), 8);
    EXPECT_EQ(perf, 42);
    qint32 counter = 0;
    memcpy(&counter, first.result->outcome.constData() + (0x114 - 0x0b8), 4);
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(first.result->hostName, QByteArray("echo.host"));

    // The library's cached data lives on between polls of the monitor.
    const Posted second = pollById(503);
    memcpy(&counter, second.result->outcome.constData() + (0x114 - 0x0b8), 4);
    EXPECT_EQ(counter, 2);

    // The threshold follows the monitor's time-out (150 s x 3); the watchdog needs both bounds.
    auto* task = static_cast<CPollTaskAgentById*>(second.task.data());
    EXPECT_EQ(task->deadlockThreshold(), 450);
    EXPECT_FALSE(task->isDeadlocked(301));
    EXPECT_FALSE(task->isDeadlocked(450));
    EXPECT_TRUE(task->isDeadlocked(451));
}

TEST_F(PollRoad, OneOffMonitorLeavesNothingCached)
{
    stZamMonitorPtr sent = record(Optional<int>(), 0, {setting(" Text", 's', "once")});
    sent->pluginId = pollroad::kRoadPlugin;
    PollRoadState* s = roadState();
    const int before = s ? s->invalidateCount.load() : 0;
    const Posted p = pollWithSettings(readAsTheLinkDoes(sent));
    EXPECT_EQ(p.result->state, SPollResult::Polled);
    EXPECT_EQ(p.result->failReason, QByteArray("once"));
    EXPECT_EQ(invalidationsSince(before), QList<unsigned>{3});
    EXPECT_EQ(p.task->name(), QStringLiteral("poll monitor -1"));
}

TEST_F(PollRoad, DiscoveryCollectsNewMonitorsInOrder)
{
    struct Case { int mode; int expected; };
    for (const Case& c : {Case{2, 2}, Case{0, 0}}) {
        stZamMonitorPtr sent = record(504 + c.mode, 1, {}, "switch", c.mode);
        sent->pluginId = pollroad::kRoadPlugin;
        configManager()->setMonitorData(504 + c.mode, readAsTheLinkDoes(sent));
        const Posted p = pollById(504 + c.mode);
        ASSERT_EQ(p.result->newMonitors.size(), c.expected) << "mode " << c.mode;
        EXPECT_EQ(roadState()->addCallbackSeen.load(), c.mode == 2 ? 1 : 0);
        if (c.expected) {
            EXPECT_EQ(p.result->newMonitors[0].name, QStringLiteral("eth0"));
            EXPECT_EQ(p.result->newMonitors[1].name, QStringLiteral("eth1"));
            EXPECT_EQ(p.result->newMonitors[1].typeName, QStringLiteral("SNMP Traffic speed"));
            EXPECT_EQ(p.result->newMonitors[0].settings["Index"].value, QVariant(1));
            EXPECT_TRUE(p.result->newMonitors[0].settings["Index"].flag);
            EXPECT_EQ(p.result->newMonitors[1].settings["Index"].value, QVariant(2));
            EXPECT_EQ(p.result->mode, 2);
        }
    }
}

TEST_F(PollRoad, HeartbeatRenewsTheWatchdogsStartTime)
{
    PollRoadState* s = roadState();
    ASSERT_NE(s, nullptr);   // loaded by the earlier polls of this suite
    s->heartbeats = 4;
    s->heartbeatMs = 40;
    s->stillAliveAnswers = 0;
    stZamMonitorPtr sent = record(510, 2, {});
    sent->pluginId = pollroad::kRoadPlugin;
    configManager()->setMonitorData(510, readAsTheLinkDoes(sent));
    const QDateTime before = QDateTime::currentDateTime();
    const Posted p = pollById(510);
    EXPECT_EQ(s->stillAliveAnswers.load(), 4);
    // Started before the heartbeats, renewed by each: at least the three pauses after the first.
    EXPECT_GE(before.msecsTo(p.task->startTime()), 3 * 40);
    s->heartbeats = 0;
}

// The library's callbacks without a task to serve: no context, and a task asked to stop.
TEST(PollTasks, CallbacksRefuseWhatTheyCannotServe)
{
    CPollTaskAgentById idle(1, Optional<int>(1), SPollResultPtr());
    EXPECT_EQ(CPollTaskAgentById::pollTaskStillAlive(nullptr), -1);
    EXPECT_EQ(CPollTaskAgentById::pollTaskStillAlive(&idle), 0);
    idle.setState(1);
    EXPECT_EQ(CPollTaskAgentById::pollTaskStillAlive(&idle), -1);
    CapturedMessages messages;
    CPollTaskAgentById::pollTaskAddNewMonitor(nullptr, nullptr);
    CPollTaskAgentById::pollTaskAddNewMonitor(&idle, nullptr);
    EXPECT_EQ(messages.lines(), (QStringList{"warning: cannot find poll task for adding new monitor",
                                             "warning: cannot add null new monitor"}));
    EXPECT_TRUE(idle.result()->newMonitors.isEmpty());
}

TEST(PollTasks, PollTaskNameKeyAndDeadlockBound)
{
    CPollTaskAgentById fresh(1, Optional<int>(9), SPollResultPtr());
    EXPECT_EQ(fresh.name(), QStringLiteral("poll monitor 9"));
    EXPECT_EQ(fresh.objectKey(), std::optional<int>(9));
    EXPECT_EQ(fresh.deadlockThreshold(), 300);
    EXPECT_FALSE(fresh.isDeadlocked(300));
    EXPECT_TRUE(fresh.isDeadlocked(301));
}

TEST(PollTasks, ResolveTaskReportsWhenSomeoneWaitsAndHasItsOwnBound)
{
    struct Case { int linkValue; int requestId; bool reported; };
    const Case cases[] = {{-1, 0, false}, {-1, int(0x80000000u), false}, {-1, 5, true}, {3, 0, true}};
    for (const Case& c : cases) {
        CSyncResolveTask task(c.linkValue, c.requestId, false, QStringLiteral("localhost"), QString());
        EXPECT_EQ(task.shouldReport(), c.reported) << c.linkValue << " " << c.requestId;
        EXPECT_EQ(task.name(), QStringLiteral("unknown task"));
        EXPECT_FALSE(task.isDeadlocked(60));
        EXPECT_TRUE(task.isDeadlocked(61));
    }
}

TEST_F(PollRoad, ALateReturnDoesNotTouchAReportedResult)
{
    PollRoadState* s = roadState();
    ASSERT_NE(s, nullptr);
    s->heartbeats = 5;
    s->heartbeatMs = 40;
    s->stillAliveAnswers = 0;
    stZamMonitorPtr sent = record(520, 2, {});
    sent->pluginId = pollroad::kRoadPlugin;
    configManager()->setMonitorData(520, readAsTheLinkDoes(sent));

    const int tx = ++g_transaction;
    SPollResultPtr result(new SPollResult);
    CTaskPtr task(new CPollTaskAgentById(tx, Optional<int>(520), result));
    ASSERT_TRUE(taskManager()->postTask(task));
    auto heartbeatsReach = [&](int n) { return waitUntil([&] { return s->stillAliveAnswers.load() >= n; }, 20000); };
    ASSERT_TRUE(heartbeatsReach(1));   // the library is inside the poll
    // The watchdog's report while the library still runs the poll.
    task->done(nullptr);
    EXPECT_TRUE(pollroad::results()->waitFor(tx));
    ASSERT_TRUE(heartbeatsReach(5));
    // The task thread lets go of its task after the task's own done step: then only this
    // test holds it, and the late return has had its chance to touch the result.
    ASSERT_TRUE(waitUntil([&] { return task->ref.loadAcquire() == 1; }, 20000));
    EXPECT_EQ(result->state, SPollResult::Running);
    EXPECT_EQ(result->failReason, QByteArray("unknown error"));
    EXPECT_EQ(result->pollReturn, 1);
    s->heartbeats = 0;
}

TEST_F(PollRoad, PollRequestsWithSettingsAsTheLinkReceivesThem)
{
    // With an id the record is stored and polled by id; without one it is polled once.
    stZamMonitorPtr withId = record(530, 0, {setting(" Text", 's', "stored")});
    withId->pluginId = pollroad::kRoadPlugin;
    stZamMonitorPtr oneOff = record(Optional<int>(), 0, {setting(" Text", 's', "one-off")});
    oneOff->pluginId = pollroad::kRoadPlugin;
    struct Case { stZamMonitorPtr sent; QByteArray reason; bool stored; };
    for (const Case& c : {Case{withId, "stored", true}, Case{oneOff, "one-off", false}}) {
        const int tx = ++g_transaction;
        SPollResultPtr result(new SPollResult);
        QString why;
        CTaskPtr task = createPollTaskFromSettings(tx, streamOf(*c.sent), result, configManager(), &why);
        ASSERT_TRUE(task) << qPrintable(why);
        EXPECT_EQ(task->objectKey().has_value(), c.stored);
        ASSERT_TRUE(taskManager()->postTask(task));
        ASSERT_TRUE(pollroad::results()->waitFor(tx));
        EXPECT_EQ(result->state, SPollResult::Polled);
        EXPECT_EQ(result->failReason, c.reason);
    }
    bool notFound = true, changed = false, third = false;
    configManager()->getMonitorData(530, stZamMonitorPtr(), &notFound, &changed, &third);
    EXPECT_FALSE(notFound);

    // A malformed request is refused with its reason and never polled.
    QString why;
    EXPECT_FALSE(createPollTaskFromSettings(1, streamOf(*withId).left(30), SPollResultPtr(new SPollResult),
                                            configManager(), &why));
    EXPECT_EQ(why, QStringLiteral("monitor record: 1 settings beyond the bytes present"));
}

TEST(PollTasks, ResolveTaskAnswersThroughTheAgentManager)
{
    QStringList sent;
    CSyncResolveTask::setResponseSink([&](int link, int id, bool address, const QString& text, const QString& result) {
        sent << QStringLiteral("%1 %2 %3 %4 %5").arg(link).arg(id).arg(address).arg(text, result);
    });
    CSyncResolveTask byName(7, 42, false, QStringLiteral("localhost"), QString());
    byName.exec(nullptr);
    byName.done(nullptr);
    CSyncResolveTask unanswered(-1, 0, false, QStringLiteral("localhost"), QString());
    unanswered.done(nullptr);   // not run: its answer is empty
    CSyncResolveTask::setResponseSink(CSyncResolveTask::ResponseSink());
    ASSERT_EQ(sent.size(), 1);   // an empty answer nobody waits for is not sent
    EXPECT_TRUE(sent[0] == "7 42 0 localhost 127.0.0.1" || sent[0] == "7 42 0 localhost ::1") << qPrintable(sent[0]);
}
