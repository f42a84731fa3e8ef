#include "ComponentRunner.h"
#include "engine/CConfigManagerAgent.h"
#include "engine/PluginGlobalSettings.h"
#include "common/AgentSettings.h"
#include "common/AppPaths.h"

#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

// The configuration manager hands the library its Python interpreter at its post-init step.
TEST(ConfigManagerPython, InterpreterFromTheAgentSettings)
{
    struct Case { const char* what; QByteArray ini; QString expected; };
    const QString builtIn = installDir() + QStringLiteral("/Python-3/python.exe");
    const QList<Case> cases = {
        {"no settings file", QByteArray(), builtIn},
        {"built-in by default", "[Python]\nCustomPythonPath=/usr/bin/python3\n", builtIn},
        {"built-in on", "[Python]\nUseBuiltInPython=1\nCustomPythonPath=/usr/bin/python3\n", builtIn},
        {"custom", "[Python]\nUseBuiltInPython=0\nCustomPythonPath=/usr/bin/python3\n", "/usr/bin/python3"},
        {"custom but empty", "[Python]\nUseBuiltInPython=0\n", QString()},
    };
    ASSERT_TRUE(QDir().mkpath(QFileInfo(agentSettingsPath()).absolutePath()));
    for (const Case& c : cases) {
        QFile::remove(agentSettingsPath());
        if (!c.ini.isNull()) {
            QFile f(agentSettingsPath());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.ini);
        }
        PluginGlobalSettings::instance()->set(false, QStringLiteral("stale"), QString());
        CConfigManagerAgent cm(nullptr, QStringLiteral("config manager"), 1);
        bool seen = false;
        cm.setCommonPluginPoster([&](int, int) { seen = true; });
        ComponentRunner<CConfigManagerAgent> runner(&cm);
        runner.start();
        // A task runs only after post-init, so once it has run the settings are in place.
        cm.postUpdatePluginInfo(0, 1, QStringLiteral("x.so"));
        QDeadlineTimer deadline(10000);
        while (!cm.pluginFileName(1) && !deadline.hasExpired())
            QThread::msleep(2);
        runner.finish();
        EXPECT_EQ(PluginGlobalSettings::instance()->pythonPath(), c.expected) << c.what;
    }
}
