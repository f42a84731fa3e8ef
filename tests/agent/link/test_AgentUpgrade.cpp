#include "support/EventLoopWait.h"
#include "link/AgentControlMessages.h"
#include "link/CAgentUpgrade.h"
#include "link/UpgradePackage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// 150 s become 150 ms here; the scale is read once, before any upgrade runs.
const bool kScaled = qputenv("NETAGENTD_TEST_TIME_SCALE", "0.001");

struct StatusLog
{
    QList<QPair<int, QByteArray>> answers;
    void operator()(const CAgentMessagePtr& m)
    {
        ASSERT_EQ(m->type(), CAgentStatusMessage::Type);
        auto* s = static_cast<CAgentStatusMessage*>(m.data());
        answers.append({s->statusCode, s->data});
    }
};

QPair<int, QByteArray> status(const CAgentMessagePtr& m)
{
    if (!m)
        return {0, "<no answer>"};
    EXPECT_EQ(m->type(), CAgentStatusMessage::Type);
    EXPECT_EQ(m->id(), -1);
    auto* s = static_cast<CAgentStatusMessage*>(m.data());
    return {s->statusCode, s->data};
}

// A package that records its arguments and waits for a file before it ends.
QByteArray scriptPackage(const QString& marker)
{
    return QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n").arg(marker).toUtf8();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList upgradeEntries(const QString& dir)
{
    return QDir(dir).entryList({"zamagent_upgrade_*"}, QDir::AllEntries | QDir::System | QDir::Hidden, QDir::Name);
}

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// An upgrader storing its packages in a private folder, with its time-out answers recorded.
struct Upgrader
{
    QTemporaryDir tmp;
    StatusLog timeouts;
    CAgentUpgrade upgrade{[this](const CAgentMessagePtr& m) { timeouts(m); }};
    const QString marker = tmp.path() + "/ran";
    Upgrader() { upgrade.setTempDir(tmp.path()); }
};

} // namespace

TEST(AgentUpgrade, StoresThePackagePrivatelyAndStartsItSilently)
{
    QTemporaryDir tmp;
    StatusLog timeouts;
    CAgentUpgrade upgrade([&](const CAgentMessagePtr& m) { timeouts(m); });
    upgrade.setTempDir(tmp.path() + "/");   // a trailing "/" gives no doubled separator
    const QString marker = tmp.path() + "/ran";

    EXPECT_EQ(status(upgrade.handleUpgrade(scriptPackage(marker))), qMakePair(1, QByteArray()));
    EXPECT_TRUE(upgrade.isUpgrading());
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(marker); }));
    EXPECT_EQ(readFile(marker), QByteArray("/S /zsilent\n"));

    const QStringList folders = upgradeEntries(tmp.path());
    ASSERT_EQ(folders.size(), 1);
    const QString folder = tmp.path() + "/" + folders[0];
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    const QStringList files = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^zamagent_upgrade_\\d+\\.exe$").match(files[0]).hasMatch()) << files[0].toStdString();
    EXPECT_EQ(modeOf(folder + "/" + files[0]), mode_t(0700));
}

// A second package while the first runs is refused without an answer, and nothing of it is
// stored.
TEST(AgentUpgrade, ASecondPackageWhileOneRunsIsRefused)
{
    Upgrader u;
    EXPECT_EQ(status(u.upgrade.handleUpgrade(scriptPackage(u.marker))).first, 1);
    EXPECT_FALSE(u.upgrade.handleUpgrade(scriptPackage(u.marker + "2")));
    EXPECT_TRUE(u.upgrade.isUpgrading());
    EXPECT_EQ(upgradeEntries(u.tmp.path()).size(), 1);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(u.marker); }));
    EXPECT_FALSE(QFileInfo::exists(u.marker + "2"));
}

TEST(AgentUpgrade, TimesOutWithStatusTwoAndTakesTheNextPackage)
{
    ASSERT_TRUE(kScaled);
    Upgrader u;
    EXPECT_EQ(status(u.upgrade.handleUpgrade(scriptPackage(u.marker))).first, 1);
    ASSERT_TRUE(waitUntil([&] { return !u.timeouts.answers.isEmpty(); }));
    EXPECT_EQ(u.timeouts.answers, (QList<QPair<int, QByteArray>>{{2, "timeout"}}));
    EXPECT_FALSE(u.upgrade.isUpgrading());

    EXPECT_EQ(status(u.upgrade.handleUpgrade(scriptPackage(u.marker + "3"))).first, 1);
    ASSERT_TRUE(waitUntil([&] { return u.timeouts.answers.size() == 2; }));
}

TEST(AgentUpgrade, FailuresAnswerStatusTwoWithTheirTextAndLeaveTheAgentIdle)
{
    QTemporaryDir tmp;
    QFile plainFile(tmp.path() + "/file");
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();

    struct Case { QString tempDir; QByteArray package; QString pattern; };
    const Case cases[] = {
        {QString(""), "#!/bin/sh\n", "^can't define temp dir, upgrade process cancelled$"},
        {tmp.path() + "/missing/folder", "#!/bin/sh\n",
         "^can't create temp file zamagent_upgrade_\\d+\\.exe \\(No such file or directory\\)$"},
        {tmp.path() + "/file", "#!/bin/sh\n", "^can't create temp file zamagent_upgrade_\\d+\\.exe \\(Not a directory\\)$"},
        {tmp.path(), QByteArray("\x7f" "ELF not a program"),
         "^can't launch upgrade: .*/zamagent_upgrade_\\d+\\.exe /S /zsilent$"},
    };
    for (const Case& c : cases) {
        StatusLog timeouts;
        CAgentUpgrade upgrade([&](const CAgentMessagePtr& m) { timeouts(m); });
        upgrade.setTempDir(c.tempDir);
        const auto answer = status(upgrade.handleUpgrade(c.package));
        EXPECT_EQ(answer.first, 2) << c.tempDir.toStdString();
        EXPECT_TRUE(QRegularExpression(c.pattern).match(QString::fromUtf8(answer.second)).hasMatch())
            << answer.second.constData();
        EXPECT_FALSE(upgrade.isUpgrading());
        // No timer runs after a failure: a start queued for it would have come by now.
        ASSERT_TRUE(drainPostedEvents());
        const QTimer* timer = upgrade.findChild<QTimer*>();
        ASSERT_NE(timer, nullptr);
        EXPECT_FALSE(timer->isActive());
        EXPECT_TRUE(timeouts.answers.isEmpty());
    }
}

TEST(AgentUpgrade, LeftoverPackagesAreRemovedWithoutFollowingLinks)
{
    QTemporaryDir tmp;
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.path() + "/victim";
    QFile(victim).open(QIODevice::WriteOnly);
    QDir(elsewhere.path()).mkdir("victimdir");
    QFile(elsewhere.path() + "/victimdir/keep").open(QIODevice::WriteOnly);

    const QString t = tmp.path() + "/";
    QFile(t + "zamagent_upgrade_1700000000.exe").open(QIODevice::WriteOnly);
    QDir(tmp.path()).mkdir("zamagent_upgrade_Ab12Cd");
    QFile(t + "zamagent_upgrade_Ab12Cd/zamagent_upgrade_1700000001.exe").open(QIODevice::WriteOnly);
    ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(t + "zamagent_upgrade_link").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere.path() + "/victimdir").constData(),
                        QFile::encodeName(t + "zamagent_upgrade_dirlink").constData()), 0);
    QFile(t + "other.txt").open(QIODevice::WriteOnly);

    removeLeftoverUpgradePackages(tmp.path());
    EXPECT_EQ(upgradeEntries(tmp.path()), QStringList());
    EXPECT_TRUE(QFileInfo::exists(t + "other.txt"));
    EXPECT_TRUE(QFileInfo::exists(victim));
    EXPECT_TRUE(QFileInfo::exists(elsewhere.path() + "/victimdir/keep"));
}
