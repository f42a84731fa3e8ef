#include "FakeInitScript.h"
#include "app/CServiceManager.h"
#include "app/InitScript.h"

#include "support/EventLoopWait.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// The script time-outs and the one-second status check, shortened for this program.
const bool g_scaled = qputenv("NETAGENTD_TEST_TIME_SCALE", "0.1");

TEST(ServiceManager, ReadsTheIntegerTheScriptPrints)
{
    struct Case { const char* output; int answer; };
    const Case cases[] = {{"1\n", 1}, {"1", 1}, {"0", 0}, {"", 0}, {"yes", 0}, {" 1 \n", 1},
                          {"1 2", 0}, {"12abc", 0}, {"-1", -1}, {"99999999999", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(parseInitScriptAnswer(c.output), c.answer) << c.output;
}

TEST(ServiceManager, ScriptFailuresAreErrorsWithTheirReason)
{
    FakeInitScript script;
    script.answer("disable", "0");
    const InitScriptResult good = runInitScript(script.path(), "-disable", 10000);
    EXPECT_TRUE(good.ran);
    EXPECT_EQ(good.answer, 0);

    const InitScriptResult missing = runInitScript("/nonexistent/DaemonInitialization.sh", "-disable", 10000);
    EXPECT_FALSE(missing.ran);
    EXPECT_TRUE(missing.error.startsWith("Can't run DaemonInitialization.sh -disable: ")) << qPrintable(missing.error);

    script.setHanging(true);
    const InitScriptResult hanging = runInitScript(script.path(), "-status", 10000); // 1 s scaled
    EXPECT_FALSE(hanging.ran);
    EXPECT_EQ(hanging.error, "DaemonInitialization.sh -status did not finish within 1 s");
}

TEST(ServiceManager, StatusAnswersEmitOnlyOnAChange)
{
    FakeInitScript script;
    CServiceManager manager("Corvane Monitor Agent", script.path());
    QSignalSpy started(&manager, &CServiceManager::started);
    QSignalSpy stopped(&manager, &CServiceManager::stopped);
    EXPECT_FALSE(manager.isKnown());

    struct Step { QByteArray output; int started; int stopped; bool running; };
    const Step steps[] = {{"1\n", 1, 0, true}, {"1", 1, 0, true}, {"0", 1, 1, false},
                          {"", 1, 1, false},   {"yes", 1, 1, false}, {"1", 2, 1, true}};
    for (const Step& step : steps) {
        script.answer("status", step.output);
        // two more checks: at least one of them saw the new answer
        const int seen = script.count("-status");
        ASSERT_TRUE(waitUntil([&] { return script.count("-status") >= seen + 2; })) << step.output.constData();
        QCoreApplication::processEvents();
        EXPECT_EQ(started.count(), step.started) << step.output.constData();
        EXPECT_EQ(stopped.count(), step.stopped) << step.output.constData();
        EXPECT_EQ(manager.isRunning(), step.running);
        EXPECT_TRUE(manager.isKnown());
    }
}

TEST(ServiceManager, StartAndStopRunTheScript)
{
    FakeInitScript script;
    script.answer("status", "0");
    CServiceManager manager("Corvane Monitor Agent", script.path());
    QSignalSpy started(&manager, &CServiceManager::started);
    QSignalSpy stopped(&manager, &CServiceManager::stopped);
    ASSERT_TRUE(waitUntil([&] { return stopped.count() == 1; }));

    // a status check may report in between (the daemon's state is the script's to tell), so
    // each step waits for its own script run and the state it leaves
    manager.startService();
    ASSERT_TRUE(waitUntil([&] { return script.calls().contains("-start") && manager.isRunning(); }));
    EXPECT_GE(started.count(), 1);
    manager.stopService();
    ASSERT_TRUE(waitUntil([&] { return script.calls().contains("-stop") && !manager.isRunning(); }));
    EXPECT_GE(stopped.count(), 2);
    EXPECT_TRUE(manager.lastError().isEmpty());
}

TEST(ServiceManager, AStartThatNeverEndsIsAnErrorNotAStart)
{
    FakeInitScript script;
    CServiceManager manager("Corvane Monitor Agent", script.path());
    QSignalSpy started(&manager, &CServiceManager::started);
    QSignalSpy errors(&manager, &CServiceManager::error);
    script.setHanging(true);
    manager.startService();
    ASSERT_TRUE(waitUntil([&] { return manager.lastError().contains("-start did not finish"); }));
    EXPECT_EQ(started.count(), 0);
    EXPECT_GE(errors.count(), 1);
}

TEST(ServiceManager, AutostartFollowsTheScriptsAnswer)
{
    FakeInitScript script;
    CServiceManager manager("Corvane Monitor Agent", script.path());
    struct Case { const char* enableAnswer; const char* disableAnswer; bool enableOk; bool disableOk; };
    const Case cases[] = {{"1\n", "0\n", true, true}, {"0", "1", false, false}, {"", "", false, true},
                          {"yes", "no", false, true}};
    for (const Case& c : cases) {
        script.answer("enable", c.enableAnswer);
        script.answer("disable", c.disableAnswer);
        EXPECT_EQ(manager.setDaemonAutostart(true), c.enableOk) << c.enableAnswer;
        EXPECT_EQ(manager.setDaemonAutostart(false), c.disableOk) << c.disableAnswer;
    }
    script.answer("enabled", "1\n");
    EXPECT_TRUE(manager.isDaemonAutostartEnabled());
    script.answer("enabled", "0");
    EXPECT_FALSE(manager.isDaemonAutostartEnabled());
    EXPECT_TRUE(manager.lastError().isEmpty());

    // a missing script is never a successful "-disable", and says why
    CServiceManager missing("Corvane Monitor Agent", "/nonexistent/DaemonInitialization.sh");
    EXPECT_FALSE(missing.setDaemonAutostart(false));
    EXPECT_TRUE(missing.lastError().startsWith("Can't run DaemonInitialization.sh -disable")) << qPrintable(missing.lastError());
    // and a hanging one returns within its time-out
    script.setHanging(true);
    EXPECT_FALSE(manager.setDaemonAutostart(true));
    EXPECT_TRUE(manager.lastError().contains("-enable did not finish")) << qPrintable(manager.lastError());
}

TEST(ServiceManager, AutostartReasonsBelongToTheirOwnCall)
{
    FakeInitScript script;
    CServiceManager manager("Corvane Monitor Agent", script.path());
    // an earlier failure does not make a later working call look failed
    script.setHanging(true);
    EXPECT_FALSE(manager.isDaemonAutostartEnabled());
    EXPECT_FALSE(manager.lastError().isEmpty());
    script.setHanging(false);
    script.answer("enabled", "1");
    EXPECT_TRUE(manager.isDaemonAutostartEnabled());
    EXPECT_TRUE(manager.lastError().isEmpty()) << qPrintable(manager.lastError());

    // a script that ran but did not confirm the switch says what it answered
    script.answer("enable", "0\n");
    EXPECT_FALSE(manager.setDaemonAutostart(true));
    EXPECT_EQ(manager.lastError(), "DaemonInitialization.sh -enable answered 0, not 1");
    script.answer("enable", "yes");
    EXPECT_FALSE(manager.setDaemonAutostart(true));
    EXPECT_EQ(manager.lastError(), "DaemonInitialization.sh -enable answered \"yes\", not 1");
    script.answer("disable", "1");
    EXPECT_FALSE(manager.setDaemonAutostart(false));
    EXPECT_EQ(manager.lastError(), "DaemonInitialization.sh -disable answered 1, not 0");
    script.answer("disable", "0");
    EXPECT_TRUE(manager.setDaemonAutostart(false));
    EXPECT_TRUE(manager.lastError().isEmpty()) << qPrintable(manager.lastError());
}

TEST(ServiceManager, AScriptThatCrashesIsAnError)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("DaemonInitialization.sh");
    QFile script(path);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho 0\nkill -KILL $$\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const InitScriptResult crashed = runInitScript(path, "-disable", 10000);
    EXPECT_FALSE(crashed.ran);
    EXPECT_EQ(crashed.error, "DaemonInitialization.sh -disable ended abnormally");
    CServiceManager manager("Corvane Monitor Agent", path);
    EXPECT_FALSE(manager.setDaemonAutostart(false)) << "its \"0\" is no confirmation";
    EXPECT_EQ(manager.lastError(), "DaemonInitialization.sh -disable ended abnormally");
}

} // namespace
