#include "common/AppPaths.h"
#include "common/Environment.h"
#include "common/ZamCommonSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(PathsAndEnvironment, FixedFolders)
{
    EXPECT_EQ(configDir(), QStringLiteral("/etc/opt/corvane-agent/"));
    EXPECT_EQ(logDir(), QStringLiteral("/var/log/corvane-agent"));
    EXPECT_EQ(appDir(), QCoreApplication::applicationDirPath());
    EXPECT_EQ(installDir(), QFileInfo(appDir()).path());
    EXPECT_EQ(appRootDir(), installDir());
    EXPECT_EQ(canonicalNativePath(QStringLiteral("/no/such/folder")), QString());
    EXPECT_EQ(canonicalNativePath(QStringLiteral("/tmp/../tmp")), QStringLiteral("/tmp"));
}

TEST(PathsAndEnvironment, SmallPathHelpers)
{
    const struct {
        const char* folder;
        int number;
        const char* name;
    } names[] = {{"/opt/a", 0, "/opt/a/corvane-agent.exe"}, {"/opt/a/", 2, "/opt/a/corvane-agent2.exe"},
                 {"", -1, "/corvane-agent.exe"}};
    for (const auto& n : names)
        EXPECT_EQ(executableName(QString::fromLatin1(n.folder), n.number), QString::fromLatin1(n.name));
    EXPECT_EQ(absoluteFolderOf(QStringLiteral("/tmp/x.txt"), QStringLiteral("fb")), QStringLiteral("/tmp"));
    EXPECT_EQ(absoluteFolderOf(QStringLiteral("/no/such/x.txt"), QStringLiteral("fb")), QStringLiteral("fb"));
    EXPECT_EQ(absoluteFolderOf(QString(), QStringLiteral("fb")), QStringLiteral("fb"));
    EXPECT_EQ(drivePrefix(QStringLiteral("/tmp")), QStringLiteral("/tm"));
}

TEST(PathsAndEnvironment, EnvironmentVariables)
{
    EXPECT_EQ(getEnvironmentVariable(QStringLiteral("ZAM_SURELY_UNSET_VARIABLE")), QString());
    setEnvironmentVariable(QStringLiteral("ZAM_TEST_VAR"), QStringLiteral("value 1"));
    EXPECT_EQ(getEnvironmentVariable(QStringLiteral("ZAM_TEST_VAR")), QStringLiteral("value 1"));
    ::unsetenv("FIREBIRD_LOCK");
    EXPECT_EQ(lockFolder(), QString());

    setSnmpEnvironment();
    EXPECT_EQ(getEnvironmentVariable(QStringLiteral("MIBS")), QString());
    EXPECT_NE(std::getenv("MIBS"), nullptr);   // set, to the empty text
    EXPECT_EQ(getEnvironmentVariable(QStringLiteral("SNMPCONFPATH")), QStringLiteral("/etc/opt/corvane-agent"));

    setEnvironmentVariable(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    appendToPath(QStringLiteral("/opt/agent/bin"));
    appendToPath(QStringLiteral("/opt/agent/bin"));
    appendToPath(QStringLiteral("/bin"));
    EXPECT_EQ(getEnvironmentVariable(QStringLiteral("PATH")), QStringLiteral("/usr/bin:/bin:/opt/agent/bin"));
    ::unsetenv("PATH");
    appendToPath(QStringLiteral("/opt/agent/bin"));
    EXPECT_EQ(getEnvironmentVariable(QStringLiteral("PATH")), QStringLiteral("/opt/agent/bin"));
}

TEST(PathsAndEnvironment, CommonSettingsFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("zam.ini"));
    ZamCommonSettings settings(file);
    EXPECT_FALSE(settings.periodicStatistics());
    ZamCommonSettings copy(settings);
    EXPECT_EQ(copy.fileName(), file);
}
