// The manager program as processes: one instance per desktop, "-close", stale heartbeats; and
// the helpers of its start-up. Each test has its own TMPDIR, so its shared block is its own.
#include "MessageBoxAnswerer.h"
#include "app/ManagerStartup.h"

#include "support/EventLoopWait.h"
#include "support/TestPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

QString managerPath() { return testpaths::buildDir() + QStringLiteral("/bin/ZAMAgentGUI"); }

class ManagerProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        // the block's key file lives in the temporary folder: this test's own block
        qputenv("TMPDIR", m_tmp.path().toUtf8());
        QFile::remove(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("TMPDIR", m_tmp.path());
    }
    void TearDown() override
    {
        for (QProcess* p : m_processes) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
        // a killed manager leaves its segment; the last one to detach removes it, so a later
        // test whose key happens to match never finds it
        QSharedMemory block(QStringLiteral("CORVANE_AGENT_MANAGER"));
        if (block.attach())
            block.detach();
    }
    QProcess* start(const QStringList& args = {})
    {
        auto* p = new QProcess;
        p->setProcessEnvironment(m_env);
        p->start(managerPath(), args);
        m_processes.push_back(p);
        return p;
    }
    // The first bytes of the block, read as another manager would.
    bool readBlock(quint8& command, quint32& heartbeat)
    {
        QSharedMemory block(QStringLiteral("CORVANE_AGENT_MANAGER"));
        if (!block.attach() || !block.lock())
            return false;
        const auto* bytes = static_cast<const char*>(block.constData());
        command = static_cast<quint8>(bytes[0]);
        std::memcpy(&heartbeat, bytes + 1, 4);
        block.unlock();
        return true;
    }
    bool managerAlive()
    {
        quint8 command = 0;
        quint32 heartbeat = 0;
        return readBlock(command, heartbeat) && heartbeat != 0;
    }
    QTemporaryDir m_tmp;
    QProcessEnvironment m_env;
    std::vector<QProcess*> m_processes;
};

TEST_F(ManagerProcess, OneInstanceAndARemoteClose)
{
    QProcess* first = start();
    ASSERT_TRUE(first->waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return managerAlive(); }, 15000));

    QProcess* second = start();
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitCode(), 0);
    // the running manager takes the activate command on its next tick
    quint8 command = 9;
    quint32 heartbeat = 0;
    EXPECT_TRUE(waitUntil([&] { return readBlock(command, heartbeat) && command == 0; }, 2000));
    EXPECT_EQ(first->state(), QProcess::Running);

    QProcess* closer = start({"-close"});
    ASSERT_TRUE(closer->waitForFinished(15000));
    EXPECT_EQ(closer->exitCode(), 0);
    EXPECT_EQ(closer->exitStatus(), QProcess::NormalExit) << "the closer never signals itself";
    ASSERT_TRUE(first->waitForFinished(5000));
    EXPECT_FALSE(managerAlive()) << "an ended manager clears its heartbeat";
}

TEST_F(ManagerProcess, StaleOrFutureHeartbeatsLetANewManagerStart)
{
    const quint32 now = static_cast<quint32>(QDateTime::currentSecsSinceEpoch());
    for (quint32 heartbeat : {now - 10, now + 100}) {
        QSharedMemory block(QStringLiteral("CORVANE_AGENT_MANAGER"));
        ASSERT_TRUE(block.create(64) || block.attach());
        ASSERT_TRUE(block.lock());
        std::memcpy(static_cast<char*>(block.data()) + 1, &heartbeat, 4);
        block.unlock();
        QProcess* manager = start();
        ASSERT_TRUE(manager->waitForStarted(10000));
        EXPECT_TRUE(waitUntil([&] {
            quint8 command = 0;
            quint32 seen = 0;
            return readBlock(command, seen) && seen != heartbeat && seen != 0;
        }, 15000)) << "a new manager writes its own heartbeat";
        EXPECT_EQ(manager->state(), QProcess::Running);
        QProcess* closer = start({"-close"});
        ASSERT_TRUE(closer->waitForFinished(15000));
        ASSERT_TRUE(manager->waitForFinished(5000));
        block.detach();
    }
}

TEST_F(ManagerProcess, AKilledManagersBlockServesTheNextOne)
{
    QProcess* first = start();
    ASSERT_TRUE(waitUntil([&] { return managerAlive(); }, 15000));
    first->kill(); // no chance to clear its heartbeat
    ASSERT_TRUE(first->waitForFinished(5000));
    quint8 command = 0;
    quint32 left = 0;
    ASSERT_TRUE(readBlock(command, left));
    EXPECT_NE(left, 0u);
    // once that heartbeat is older than 3 s a new manager takes the block over
    ASSERT_TRUE(waitUntil([&] { return static_cast<quint32>(QDateTime::currentSecsSinceEpoch()) - left > 3; }, 6000));
    QProcess* next = start();
    EXPECT_TRUE(waitUntil([&] {
        quint32 seen = 0;
        return readBlock(command, seen) && seen > left;
    }, 15000));
    EXPECT_EQ(next->state(), QProcess::Running);
}

// Runs the manager (its message boxes answered Ok) as another user; false when it did not end.
bool runAs(const QString& user, const QProcessEnvironment& env, int& exitCode, QString& output)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("runuser"), {QStringLiteral("-u"), user, QStringLiteral("--"), testpaths::buildDir() + "/test-bin/manager_answering"});
    if (!p.waitForFinished(20000)) {
        p.terminate(); // runuser passes it on to the manager; a kill would leave the manager behind
        p.waitForFinished(5000);
        output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return false;
    }
    exitCode = p.exitCode();
    output = QString::fromUtf8(p.readAllStandardOutput());
    return true;
}

// Only root and members of corvane-agent may run it; root passes in every other test here.
TEST_F(ManagerProcess, AUserOutsideTheGroupIsTurnedAway)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "useradd and runuser need root";
    ASSERT_EQ(std::system("getent group corvane-agent >/dev/null || groupadd corvane-agent"), 0);
    ASSERT_EQ(std::system("id -u zam-outsider >/dev/null 2>&1 || useradd -M -N -s /usr/sbin/nologin zam-outsider"), 0);
    QFile::setPermissions(m_tmp.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                            | QFileDevice::WriteOther | QFileDevice::ExeOther | QFileDevice::ReadGroup
                                            | QFileDevice::WriteGroup | QFileDevice::ExeGroup);
    int code = -1;
    QString output;
    ASSERT_TRUE(runAs("zam-outsider", m_env, code, output)) << qPrintable(output);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(output.trimmed(), "Wrong user|The current user should be a member of corvane-agent group to be able to save the changed settings");
}

TEST(ManagerStartup, OnlyRootAndTheGroupMayRunIt)
{
    struct Case { bool root; bool inGroup; int code; };
    for (const Case& c : {Case{true, false, 0}, Case{false, true, 0}, Case{true, true, 0}, Case{false, false, 1}}) {
        MessageBoxAnswerer answers(QMessageBox::Ok);
        EXPECT_EQ(refuseWrongUser(c.root, c.inGroup), c.code) << c.root << c.inGroup;
        if (c.code == 1) {
            ASSERT_EQ(answers.texts.size(), 1);
            EXPECT_EQ(answers.texts[0], "The current user should be a member of corvane-agent group to be able to save the changed settings");
        } else {
            EXPECT_TRUE(answers.texts.isEmpty());
        }
    }
}

TEST(ManagerStartup, Helpers)
{
    struct Number { const char* text; bool decimal; };
    for (const Number& n : {Number{"", true}, Number{"123", true}, Number{"12a", false}, Number{"-1", false},
                            Number{"\u0663\u0664", true}, Number{" 1", false}})
        EXPECT_EQ(isDecimalNumber(QString::fromUtf8(n.text)), n.decimal) << n.text;
    EXPECT_TRUE(isCurrentUserInGroup("root"));
    EXPECT_FALSE(isCurrentUserInGroup("no-such-group-here"));

    QTemporaryDir proc;
    auto entry = [&](const char* pid, const QByteArray& status) {
        QDir(proc.path()).mkdir(pid);
        if (status.isNull())
            return;
        QFile f(proc.filePath(QString::fromLatin1(pid) + "/status"));
        f.open(QIODevice::WriteOnly);
        f.write(status);
    };
    entry("self", "Name:\tZAMAgentGUI\nPid:\t1\n");
    entry("10", "Name:\tZAMAgentGUI\nUmask:\t0022\nPid:\t10\n");
    entry("11", QByteArray());                          // gone or unreadable: passed over
    entry("12", "Name:\tbash\nPid:\t12\n");
    entry("13", "Name:\tZAMAgentGUI\nPid:\t0\n");       // never signal 0 (the whole group)
    entry("14", "Name:\tZAMAgentGUI-old\nPid:\t14\n");
    EXPECT_EQ(findRunningManager(proc.path(), 10), 0) << "self is skipped";
    EXPECT_EQ(findRunningManager(proc.path(), 99), 10);
    EXPECT_EQ(findRunningManager(proc.path() + "/missing", 99), 0);
}

} // namespace
