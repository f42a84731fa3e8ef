// The plug-in manager: one loaded copy per file, per-thread contexts, failed loads, services.
#include "FakePlugin.h"
#include "support/CapturedMessages.h"
#include "core/ProcessOptions.h"
#include "engine/CPluginManager.h"
#include "support/EventLoopWait.h"
#include "zam_plugin_api.h"

#include <QString>
#include "engine/PluginGlobalSettings.h"

#include <QThread>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

// A started plug-in manager, stopped and deleted at the end of the scope.
struct ManagerFixture {
    explicit ManagerFixture(const std::function<QString(int)>& files)
        : manager(new CPluginManager(nullptr))
    {
        manager->setPluginFileResolver(files);
    }
    ~ManagerFixture()
    {
        manager->stop();
        manager->wait();
        delete manager;
    }
    CPluginManager* manager;
};

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromLatin1(e.what());
    }
    return QString();
}

TEST(PluginManager, IdsThatNameOneFileShareOneLoadedCopy)
{
    const QString path = fakePluginPath("ok");
    {
        ManagerFixture f([&](int) { return path; });
        CPluginLibraryPtr one = f.manager->getCommonPlugin(1, 0);
        CPluginLibraryPtr two = f.manager->getCommonPlugin(2, 0);
        EXPECT_EQ(one.data(), two.data());
        FakeState* st = fakeState(path);
        ASSERT_NE(st, nullptr);
        EXPECT_EQ(st->initCount, 1);
        EXPECT_EQ(f.manager->listPlugins().size(), 1);

        // Two threads that need id 1 at the same time: one copy, one context each.
        int contexts[2] = {0, 0};
        std::unique_ptr<QThread> a(QThread::create([&] {
            contexts[0] = f.manager->getThreadPlugin(&contexts[0], 1, 1)->threadContext() != nullptr;
            f.manager->releaseThreadPlugins(&contexts[0]);
        }));
        std::unique_ptr<QThread> b(QThread::create([&] {
            auto x = f.manager->getThreadPlugin(&contexts[1], 2, 1);
            auto y = f.manager->getThreadPlugin(&contexts[1], 2, 2);   // same file: same context
            contexts[1] = x.data() == y.data();
            f.manager->releaseThreadPlugins(&contexts[1]);
        }));
        a->start();
        b->start();
        ASSERT_TRUE(a->wait(20000));
        ASSERT_TRUE(b->wait(20000));
        EXPECT_EQ(contexts[0], 1);
        EXPECT_EQ(contexts[1], 1);
        EXPECT_EQ(st->initThreadCount, 2);
        EXPECT_EQ(st->termThreadCount, 2);

        // Letting go of one id leaves the copy in use by the other.
        one.reset();
        EXPECT_EQ(st->termCount, 0);
        EXPECT_TRUE(isLoaded(path));
    }
    EXPECT_FALSE(isLoaded(path));
}

TEST(PluginManager, FailedLoadIsRetriedAndItsReasonLoggedOnce)
{
    struct Case {
        QString path;
        QString reason;
    };
    const QString missing = QStringLiteral(ZAM_FAKE_PLUGIN_DIR "/gone.so");
    const Case cases[] = {
        {missing, QStringLiteral("cannot load plugin ") + missing},
        {fakePluginPath("missing_export"), QStringLiteral("zam_plugin_invalidate_action_cache\"() is not defined\"")},
        {fakePluginPath("init_fails"), QStringLiteral("cannot initialize plugin context")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        CapturedMessages messages;
        ManagerFixture f([&](int) { return c.path; });
        for (int attempt = 0; attempt < 2; ++attempt)
            EXPECT_EQ(errorOf([&] { f.manager->getCommonPlugin(7, 3); }),
                      QStringLiteral("plugin manager: cannot get common plugin 7"));
        const QString line = QStringLiteral("warning: plugin manager: cannot load plugin 7 from %1: %2").arg(c.path, c.reason);
        EXPECT_EQ(CapturedMessages::count(line), 1) << CapturedMessages::lines().join('\n').toStdString();
        EXPECT_FALSE(isLoaded(c.path));
        EXPECT_TRUE(f.manager->listPlugins().isEmpty());
    }
}

TEST(PluginManager, RequestsAfterStopFailAtOnce)
{
    ManagerFixture f([](int) { return fakePluginPath("ok"); });
    f.manager->stop();
    EXPECT_EQ(errorOf([&] { f.manager->getCommonPlugin(1, 0); }),
              QStringLiteral("plugin manager: cannot get common plugin 1"));
    int key = 0;
    EXPECT_EQ(errorOf([&] { f.manager->getThreadPlugin(&key, 1, 1); }),
              QStringLiteral("plugin manager: cannot get common plugin 1"));
    f.manager->releaseThreadPlugins(&key);
    f.manager->releaseThreadPlugins(reinterpret_cast<const void*>(0x1234));   // never polled: nothing happens
}

TEST(PluginManager, ServiceLookupAnswersItsFiveNamesOnly)
{
    ManagerFixture f([](int) { return fakePluginPath("ok"); });
    f.manager->getCommonPlugin(1, 0);   // init has built the table by now

    using GetInterface = IPluginGlobalSettings* (*)();
    auto getInterface = reinterpret_cast<GetInterface>(
        CPluginManager::pluginServiceLookup("PluginGlobalSettings_getInterface"));
    ASSERT_NE(getInterface, nullptr);
    EXPECT_EQ(getInterface(), PluginGlobalSettings::instance());

    logCategories().insert(2, 1);
    auto debugFlag = reinterpret_cast<int (*)(int)>(CPluginManager::pluginServiceLookup("int_getDebugFlag_int"));
    ASSERT_NE(debugFlag, nullptr);
    EXPECT_EQ(debugFlag(2), 1);
    EXPECT_EQ(debugFlag(12345), 0);

    EXPECT_NE(CPluginManager::pluginServiceLookup("void_asyncResolve_int_constchar*_constchar*"), nullptr);
    EXPECT_NE(CPluginManager::pluginServiceLookup(
                  "int_convertSnmpVarToString_constnetsnmpvariablelist*_constchar*_QString&"),
              nullptr);
    // Net-SNMP's one lock, shared with the checks library (and the trap receiver).
    auto sharedMutex = reinterpret_cast<pthread_mutex_t* (*)()>(
        CPluginManager::pluginServiceLookup("pthread_mutex_t*_getSnmpSharedMutex"));
    ASSERT_NE(sharedMutex, nullptr);
    EXPECT_EQ(sharedMutex(), CPluginManager::snmpSharedMutex());
    for (const char* name : {"int_initSyslog_ZamMonitor*", "void_termSnmpGenTrap_ZamMonitor*", "", "nothing"})
        EXPECT_EQ(CPluginManager::pluginServiceLookup(name), nullptr) << name;
    EXPECT_EQ(CPluginManager::pluginServiceLookup(nullptr), nullptr);

    // The library's resolve request without a task manager is dropped, not a crash.
    auto resolve = reinterpret_cast<void (*)(int, const char*, const char*)>(
        CPluginManager::pluginServiceLookup("void_asyncResolve_int_constchar*_constchar*"));
    resolve(0, "host", nullptr);
    resolve(1, nullptr, nullptr);
}

TEST(PluginGlobalSettings, PythonPathFollowsTheBuiltInSwitch)
{
    PluginGlobalSettings* s = PluginGlobalSettings::instance();
    EXPECT_EQ(s->pythonPath(), QString());   // not filled yet
    struct Case {
        bool useBuiltIn;
        QString custom;
        QString expected;
    };
    const Case cases[] = {
        {true, QStringLiteral("/usr/bin/python3"), QStringLiteral("/opt/agent/Python-3/python.exe")},
        {false, QString(), QString()},
        {false, QStringLiteral("/usr/bin/python3"), QStringLiteral("/usr/bin/python3")},
    };
    for (const Case& c : cases) {
        s->set(c.useBuiltIn, c.custom, QStringLiteral("/opt/agent/Python-3/python.exe"));
        IPluginGlobalSettings* i = getPluginGlobalSettingsInterface();
        EXPECT_EQ(i->pythonPath(), c.expected);
    }
}

TEST(PluginManager, SnmpIsInitialisedOnTheManagersThread)
{
    ManagerFixture f([](int) { return fakePluginPath("ok"); });
    EXPECT_FALSE(f.manager->isSnmpInitialized());
    f.manager->postInitSnmp();
    EXPECT_TRUE(waitUntil([&] { return f.manager->isSnmpInitialized(); }));
    QString out;
    EXPECT_EQ(f.manager->convertSnmpVarToString(nullptr, nullptr, out), 0);

    // Values print bare (quick print), as the library's checks expect them.
    oid name[] = {1, 3, 6, 1, 2, 1, 1, 7, 0};
    long value = 42;
    netsnmp_variable_list* vars = nullptr;
    snmp_varlist_add_variable(&vars, name, OID_LENGTH(name), ASN_INTEGER, &value, sizeof value);
    ASSERT_NE(vars, nullptr);
    EXPECT_EQ(f.manager->convertSnmpVarToString(vars, nullptr, out), 1);
    EXPECT_EQ(out, QStringLiteral("42"));
    // The monitor's display hint reaches the printing.
    EXPECT_EQ(f.manager->convertSnmpVarToString(vars, "d-2", out), 1);
    EXPECT_EQ(out, QStringLiteral(".42"));  // Net-SNMP writes no leading zero
    snmp_free_varbind(vars);
}

TEST(PluginManager, FailingThreadContextIsNotKept)
{
    const QString path = fakePluginPath("ok");
    ManagerFixture f([&](int) { return path; });
    f.manager->getCommonPlugin(1, 0);
    FakeState* st = fakeState(path);
    ASSERT_NE(st, nullptr);
    st->initThreadAnswer = 1;
    int key = 0;
    EXPECT_EQ(errorOf([&] { f.manager->getThreadPlugin(&key, 1, 1); }),
              QStringLiteral("cannot initialize plugin thread context"));
    st->initThreadAnswer = 0;
    CPluginThreadInstancePtr instance = f.manager->getThreadPlugin(&key, 1, 1);   // tried afresh
    ASSERT_TRUE(instance);
    EXPECT_EQ(st->initThreadCount, 1);
    instance.reset();
    const int ended = st->termThreadCount;
    f.manager->releaseThreadPlugins(&key);
    EXPECT_EQ(st->termThreadCount, ended + 1);
}

}  // namespace
