// The runtime data of monitors on task threads, with a stand-in library that records the
// invalidations it is asked for and a hand-driven clock.
#include "MonitorRecordFixtures.h"
#include "ManualClock.h"
#include "support/CapturedMessages.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/CMonitorRuntimeRegistry.h"

#include <gtest/gtest.h>
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
class MonitorRuntime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CTaskClock::install(&clock);
        library = CPluginLibraryPtr(new CPluginLibrary(2, QStringLiteral(POLL_ROAD_PLUGIN)));
        void* h = dlopen(POLL_ROAD_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(h, nullptr);
        state = reinterpret_cast<PollRoadState* (*)()>(dlsym(h, "poll_road_state"))();
        dlclose(h);
    }
    void TearDown() override { CTaskClock::install(nullptr); }

    // One task thread's registry: its own thread context on the library.
    std::unique_ptr<CMonitorRuntimeRegistry> newRegistry()
    {
        CPluginThreadInstancePtr instance(new CPluginThreadInstance(library));
        return std::make_unique<CMonitorRuntimeRegistry>(
            [instance](int) { return instance; },
            [this](int id, const stZamMonitorPtr& current, bool* nf, bool* ch, bool* th) {
                return store.getMonitorData(id, current, nf, ch, th);
            });
    }
    void storeMonitor(int id, const QString& value = QStringLiteral("v"))
    {
        stZamMonitorPtr r = record(id, 0, {setting(" Text", 's', value)});
        r->pluginId = 2;
        store.setMonitorData(id, r);
    }
    CMonitorRuntimeDataPtr get(CMonitorRuntimeRegistry& registry, int id, bool* changed = nullptr)
    {
        bool nf = false, ch = false, th = false;
        CMonitorRuntimeDataPtr r = registry.get(id, &nf, &ch, &th);
        if (changed)
            *changed = ch;
        return r;
    }
    QList<unsigned> invalidationsSince(int from)
    {
        QList<unsigned> flags;
        for (int i = from; i < state->invalidateCount; ++i)
            flags << state->invalidateFlags[i % 64].load();
        return flags;
    }

    ManualClock clock;
    CPluginLibraryPtr library;
    PollRoadState* state = nullptr;
    CConfigManagerAgent store{nullptr, QStringLiteral("config manager"), 1};
};
}

TEST_F(MonitorRuntime, ChangedSettingsInvalidateTheOldCopyWithAllFlags)
{
    auto registry = newRegistry();
    storeMonitor(11, "first");
    bool changed = false;
    CMonitorRuntimeDataPtr r = get(*registry, 11, &changed);
    EXPECT_TRUE(changed);
    ASSERT_TRUE(r->loaded);
    const stZamMonitorPtr firstCopy = r->record;
    EXPECT_EQ(get(*registry, 11, &changed)->record, firstCopy);   // same copy while unchanged
    EXPECT_FALSE(changed);

    const int before = state->invalidateCount;
    storeMonitor(11, "second");
    r = get(*registry, 11, &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(invalidationsSince(before), QList<unsigned>{7});
    EXPECT_NE(r->record, firstCopy);
    EXPECT_EQ(r->record->settingRecords[0].valueText, QStringLiteral("second"));
    EXPECT_EQ(r->record->monitorId, 11);
}

TEST_F(MonitorRuntime, IdleMonitorsArePurgedAfterTwoMinutes)
{
    auto registry = newRegistry();
    storeMonitor(12);
    get(*registry, 12);
    const int before = state->invalidateCount;
    clock.advance(119);
    registry->purgeIdle();
    EXPECT_EQ(registry->size(), 1);
    EXPECT_TRUE(invalidationsSince(before).isEmpty());
    clock.advance(1);
    registry->purgeIdle();
    EXPECT_EQ(registry->size(), 0);
    EXPECT_EQ(invalidationsSince(before), QList<unsigned>{7});
}

TEST_F(MonitorRuntime, ReleaseKeepsWhatOtherThreadsShare)
{
    auto mine = newRegistry();
    auto other = newRegistry();
    for (int id : {21, 22, 23})
        storeMonitor(id);
    get(*mine, 21);
    get(*mine, 22);
    get(*mine, 23);
    get(*other, 21);   // another thread polls 21 too

    const int before = state->invalidateCount;
    mine->releaseAll();
    EXPECT_EQ(mine->size(), 0);
    EXPECT_EQ(invalidationsSince(before), (QList<unsigned>{6, 7, 7}));

    const int beforeDrop = state->invalidateCount;
    other->dropAll();   // a killed thread's library context is not used
    EXPECT_EQ(other->size(), 0);
    EXPECT_TRUE(invalidationsSince(beforeDrop).isEmpty());
}

TEST_F(MonitorRuntime, ConcurrentPollsAndTheLastValue)
{
    auto one = newRegistry();
    auto two = newRegistry();
    storeMonitor(31);
    CMonitorRuntimeDataPtr a = get(*one, 31);
    CMonitorRuntimeDataPtr b = get(*two, 31);
    ASSERT_EQ(a->common, b->common);

    CapturedMessages messages;
    a->beginPoll();
    b->beginPoll();
    one->invalidate(*a, 3);
    a->endPoll();
    EXPECT_EQ(a->common->pollingCount.loadAcquire(), 0);
    EXPECT_EQ(messages.lines(), (QStringList{"warning: polling 31 in 2 threads",
                                             "warning: invalidating 31 while polling"}));

    struct Case { unsigned flags; bool keeps; };
    for (const Case& c : {Case{3, false}, Case{6, true}, Case{7, true}}) {
        a->common->lastValue = SStatusValue{2, 5};
        a->common->lastValueTime = QDateTime::currentDateTime();
        one->invalidate(*a, c.flags);
        EXPECT_EQ(a->common->lastValue.kind, c.keeps ? 2 : 1) << c.flags;
        EXPECT_EQ(a->common->lastValueTime.isNull(), !c.keeps) << c.flags;
    }

    // Without common data nothing is counted, and the poll path refuses to go on.
    CMonitorRuntimeData bare(Optional<int>(32));
    messages.clear();
    bare.beginPoll();
    EXPECT_EQ(messages.lines(), QStringList{"warning: common data is NULL for 32"});
    EXPECT_THROW(bare.commonData(), std::runtime_error);
}
