// Loading, guarding and error paths of one loaded library, shown with stand-in libraries.
#include "FakePlugin.h"
#include "support/CapturedMessages.h"
#include "core/LogFile.h"
#include "engine/CPluginLibrary.h"
#include "engine/CPluginManager.h"
#include "engine/CPluginThreadInstance.h"
#include "engine/PluginLogHandler.h"
#include "engine/PluginResultMemory.h"
#include "common/AppPaths.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QString loadError(const QString& path)
{
    try {
        CPluginLibrary lib(1, path);
    } catch (const std::runtime_error& e) {
        return QString::fromLatin1(e.what());
    }
    return QStringLiteral("<loaded>");
}

TEST(PluginLibrary, FailedLoadsThrowTheirTextAndLeaveNothingOpen)
{
    struct Case {
        QString path;
        QString text;
    };
    const QString missing = QStringLiteral(ZAM_FAKE_PLUGIN_DIR "/no-such-plugin.so");
    const Case cases[] = {
        {missing, QStringLiteral("cannot load plugin ") + missing},
        // The one export the daemon never calls is still required.
        {fakePluginPath("missing_export"), QStringLiteral("zam_plugin_invalidate_action_cache\"() is not defined\"")},
        {fakePluginPath("init_fails"), QStringLiteral("cannot initialize plugin context")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(loadError(c.path), c.text);
        EXPECT_FALSE(isLoaded(c.path));
    }
}

TEST(PluginLibrary, FailedOpenLogsTheLoadersReasonWithTheFile)
{
    struct Case {
        QString path;
        QString reason;  // part of dlerror's text
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notElf = dir.filePath(QStringLiteral("libnot_elf.so"));
    QFile file(notElf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a library");
    file.close();
    const Case cases[] = {
        {QStringLiteral(ZAM_FAKE_PLUGIN_DIR "/no-such-plugin.so"), QStringLiteral("No such file or directory")},
        {notElf, QStringLiteral("file too short")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        CapturedMessages messages;
        loadError(c.path);
        const QStringList lines = CapturedMessages::lines();
        ASSERT_EQ(lines.size(), 2);  // the missing plug-in name, then the loader's reason
        EXPECT_TRUE(lines[1].startsWith(QStringLiteral("warning: cannot load plugin ") + c.path + ": "))
            << lines[1].toStdString();
        EXPECT_TRUE(lines[1].contains(c.reason)) << lines[1].toStdString();
    }
}

TEST(PluginLibrary, RelativeNamesLoadFromThePluginsFolder)
{
    EXPECT_EQ(CPluginLibrary::resolvePath(QStringLiteral("sub/dir/libzam_core.so")),
              appRootDir() + QStringLiteral("/plugins/libzam_core.so"));
    EXPECT_EQ(CPluginLibrary::resolvePath(QStringLiteral("libzam_core.so")),
              appRootDir() + QStringLiteral("/plugins/libzam_core.so"));
    EXPECT_EQ(CPluginLibrary::resolvePath(QStringLiteral("/opt/x/libother.so")), QStringLiteral("/opt/x/libother.so"));
}

TEST(PluginLibrary, CallbacksAreRegisteredAroundInitAndForgottenAtTerm)
{
    const QString path = fakePluginPath("ok");
    {
        CPluginLibraryPtr lib(new CPluginLibrary(1, path));
        FakeState* st = fakeState(path);
        ASSERT_NE(st, nullptr);
        EXPECT_EQ(st->servicesRegisteredBeforeInit, 1);
        EXPECT_EQ(st->logRegisteredBeforeInit, 0);
        EXPECT_EQ(st->memoryRegisteredBeforeInit, 0);
        EXPECT_EQ(st->services, &CPluginManager::pluginServiceLookup);
        EXPECT_EQ(st->log, &pluginLogHandler);
        EXPECT_EQ(st->memory, &pluginResultMemory);

        // The thread context ends before the library, whoever lets go last.
        CPluginThreadInstancePtr instance(new CPluginThreadInstance(lib));
        lib.reset();
        EXPECT_TRUE(isLoaded(path));
        instance.reset();
        EXPECT_FALSE(isLoaded(path));
    }
}

TEST(PluginLibrary, NameComesFromThePluginInformationOrWarnsWhenAbsent)
{
    const QString path = fakePluginPath("ok");
    CapturedMessages messages;
    {
        CPluginLibrary lib(3, path);
        EXPECT_TRUE(lib.name().isEmpty());
        EXPECT_EQ(CapturedMessages::count(QStringLiteral("warning: attempt to get null value from Optional<>")), 1);
    }
    CapturedMessages::clear();
    CPluginLibrary::setPluginNameLookup([](int id) -> std::optional<QString> {
        if (id == 4)
            return QStringLiteral("zam_core");
        return std::nullopt;
    });
    {
        CPluginLibrary lib(4, path);
        EXPECT_EQ(lib.name(), QStringLiteral("zam_core"));
        EXPECT_TRUE(CapturedMessages::lines().isEmpty()) << CapturedMessages::lines().join('|').toStdString();
    }
    CPluginLibrary::setPluginNameLookup({});
}

TEST(PluginLibrary, DamagedStackGuardGivesOneWarningWithItsLabel)
{
    const QString path = fakePluginPath("ok");
    CPluginLibrary lib(1, path);
    FakeState* st = fakeState(path);
    ASSERT_NE(st, nullptr);
    CapturedMessages messages;
    int types = 0;
    int actions = 0;
    EXPECT_EQ(lib.getCount(&types, &actions), 0);
    EXPECT_TRUE(CapturedMessages::lines().isEmpty());

    st->damageGetCount = 1;   // two bytes of the pattern change
    EXPECT_EQ(lib.getCount(&types, &actions), 0);   // the answer is passed on unchanged
    st->damageGetCount = 0;
    EXPECT_EQ(CapturedMessages::lines(), QStringList{QStringLiteral("warning: stack damage detected in plugin_get_count")});
    EXPECT_EQ(types, 3);
    EXPECT_EQ(actions, 1);
}

TEST(PluginLibrary, ThrowingPollFailsTheMonitorAndDropsItsPluginData)
{
    const QString path = fakePluginPath("ok");
    CPluginLibraryPtr lib(new CPluginLibrary(1, path));
    CPluginThreadInstancePtr instance(new CPluginThreadInstance(lib));
    FakeState* st = fakeState(path);
    ASSERT_NE(st, nullptr);
    struct Case {
        int mode;
        QString warning;
    };
    const Case cases[] = {
        {1, QStringLiteral("warning: exception in poll for web check: boom")},
        {2, QStringLiteral("warning: exception in poll for web check")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        CapturedMessages messages;
        TestMonitorRecord rec;
        rec.mon.resultCode = 0;
        st->pollMode = c.mode;
        const int invalidations = st->invalidateCount;
        EXPECT_EQ(instance->poll(&rec.mon, QStringLiteral("web check")), 1);
        EXPECT_EQ(rec.mon.resultCode, -2);
        EXPECT_STREQ(rec.mon.failReason, "unknown exception");
        EXPECT_EQ(st->invalidateCount, invalidations + 1);
        EXPECT_EQ(st->lastInvalidateFlags, 2u);
        EXPECT_EQ(CapturedMessages::lines(), QStringList{c.warning});
    }
    st->pollMode = 0;
}

TEST(PluginLibrary, ThrowingEventInitFailsTheMonitor)
{
    const QString path = fakePluginPath("ok");
    CPluginLibrary lib(1, path);
    CapturedMessages messages;
    TestMonitorRecord rec;
    EXPECT_EQ(lib.initMonitorByEvent(&rec.mon, QStringLiteral("trap 7")), 1);
    EXPECT_EQ(rec.mon.resultCode, -2);
    EXPECT_STREQ(rec.mon.failReason, "exception in init");
    EXPECT_EQ(CapturedMessages::lines(),
              QStringList{QStringLiteral("warning: exception in init monitor by event for trap 7: no events here")});
}

TEST(PluginLibrary, AnyNonZeroAnswerMeansSupported)
{
    const QString path = fakePluginPath("ok");
    CPluginLibrary lib(1, path);
    FakeState* st = fakeState(path);
    ASSERT_NE(st, nullptr);
    for (int answer : {0, 1, 7, -1}) {
        st->supportedAnswer = answer;
        EXPECT_EQ(lib.isMonitorTypeSupported(3), answer != 0) << answer;
    }
}

TEST(PluginLibrary, FailedTermIsReportedAndTheLibraryClosedAllTheSame)
{
    const QString path = fakePluginPath("ok");
    CapturedMessages messages;
    {
        CPluginLibrary lib(1, path);
        fakeState(path)->termAnswer = 1;
    }
    EXPECT_FALSE(isLoaded(path));
    EXPECT_EQ(CapturedMessages::count(QStringLiteral("warning: cannot terminate plugin context")), 1);
}

TEST(PluginLibrary, PollResultsGoToTheRecordsBufferInWholeSections)
{
    setPluginResultBufferAccessor(&TestMonitorRecord::buffer);
    const QString path = fakePluginPath("ok");
    CPluginLibraryPtr lib(new CPluginLibrary(1, path));
    CPluginThreadInstancePtr instance(new CPluginThreadInstance(lib));
    TestMonitorRecord rec;
    rec.sections = QByteArray("left over from the last poll");
    ASSERT_EQ(instance->poll(&rec.mon, QStringLiteral("m")), 0);
    // 5 data bytes: 8 header + 5 + 2 zeroed padding + tail byte 11 = 16.
    const QByteArray expected = QByteArray::fromHex("10000000" "09000000") + QByteArray("hello") +
                                QByteArray::fromHex("0000" "0b");
    EXPECT_EQ(rec.sections.toHex(), expected.toHex());
    setPluginResultBufferAccessor(nullptr);
}

TEST(PluginLibrary, SectionSizesFollowTheSixteenByteRule)
{
    struct Case {
        unsigned size;
        int length;
        int tail;
    };
    const Case cases[] = {{5, 16, 11}, {7, 16, 9}, {8, 32, 24}, {0, 16, 16}, {23, 32, 9}};
    for (const Case& c : cases) {
        QByteArray buffer = QByteArray("x");
        buffer.clear();
        void* data = appendResultSection(buffer, c.size, 12);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(buffer.size(), c.length) << c.size;
        EXPECT_EQ(static_cast<unsigned char>(buffer.at(buffer.size() - 1)), c.tail) << c.size;
        EXPECT_EQ(static_cast<char*>(data), buffer.data() + 8);
        for (int i = 8 + static_cast<int>(c.size); i < buffer.size() - 1; ++i)
            EXPECT_EQ(buffer.at(i), 0) << "padding byte " << i;
    }
    QByteArray buffer;
    EXPECT_EQ(appendResultSection(buffer, 0x80000000u, 1), nullptr);
    EXPECT_EQ(pluginResultMemory(nullptr, 4, 1), nullptr);
}

TEST(PluginLibrary, LibraryLogLevelsReachTheDaemonsLog)
{
    CapturedMessages messages;
    pluginLogHandler(0, "zero");
    pluginLogHandler(1, "one");
    pluginLogHandler(2, "two");
    pluginLogHandler(7, "seven");
    pluginLogHandler(1, nullptr);
    EXPECT_EQ(CapturedMessages::lines(),
              (QStringList{QStringLiteral("warning: one"), QStringLiteral("critical: two"),
                           QStringLiteral("warning: unknown plugin log type: 7"), QStringLiteral("warning: ")}));

    // Level 4 is a plain line of the log file.
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("agent.log"));
    lockLogMutex();
    openLogFile(logPath);
    unlockLogMutex();
    pluginLogHandler(4, "trace line \xe9");
    lockLogMutex();
    closeLogFile();
    unlockLogMutex();
    QFile file(logPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("] trace line ") + QChar(0xe9))) << text.toStdString();
}

TEST(PluginLibraryDeathTest, FatalLevelEndsTheProcess)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_DEATH(pluginLogHandler(3, "library gave up"), "library gave up");
}

}  // namespace
