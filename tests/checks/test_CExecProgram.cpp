// The program runner with real child processes: exit codes, time-outs, crashes, output read in
// full and capped, standard input, arguments and environment, runs as another user, and the
// performance value read from the output.

#include "CExecProgram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <unistd.h>

namespace {

struct StopSwitch {
    std::atomic<bool> stop{false};
    static int answer(void* context) { return static_cast<StopSwitch*>(context)->stop ? 1 : 0; }
};

// A shell script in a temporary folder.
QString script(QTemporaryDir& dir, const char* name, const QByteArray& body)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther |
                     QFile::ReadGroup | QFile::ExeGroup);
    return path;
}

} // namespace

TEST(ExecProgram, ExitCodesAndOutputOfFinishedChildren)
{
    QTemporaryDir dir;
    struct Case {
        QByteArray body;
        int code;
        QByteArray out;
        QByteArray err;
    } cases[] = {
        {"echo hello", 0, "hello\n", ""},
        {"echo oops >&2; exit 3", 3, "", "oops\n"},
        {"exit 1", 1, "", ""},
        {"printf 'a\\0b'; exit 255", 255, QByteArray("a\0b", 3), ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.body.constData());
        const QString path = script(dir, "exit.sh", k.body);
        CExecProgram runner(nullptr, nullptr);
        ASSERT_TRUE(runner.exec(path, {}, 5000, QString())) << runner.getError().constData();
        EXPECT_EQ(runner.retCode(), k.code);
        EXPECT_EQ(runner.getStdOut(), k.out);
        EXPECT_EQ(runner.getStdErr(), k.err);
        EXPECT_EQ(runner.status(), CExecProgram::StatusFinished);
        EXPECT_FALSE(runner.isTimeout());
        EXPECT_GE(runner.lastPerformance(), 0);
        EXPECT_LT(runner.lastPerformance(), 5000);
    }
}

TEST(ExecProgram, FailuresGiveTheirTexts)
{
    QTemporaryDir dir;
    const QString plainFile = dir.filePath(QStringLiteral("plain.txt"));
    {
        QFile f(plainFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a program\n");
    }
    struct Case {
        const char* name;
        QString program;
        int timeoutMs;
        QByteArray error;
        int status;
        int atLeastMs;
    } cases[] = {
        {"missing", dir.filePath(QStringLiteral("nothing-here")), 5000,
         "Failed to start the program or script: No such file or directory", CExecProgram::StatusFinished, 0},
        {"not executable", plainFile, 5000,
         "Failed to start the program or script: Permission denied", CExecProgram::StatusFinished, 0},
        // whole seconds, rounded down; the wait goes on in one-second steps up to the time-out
        {"hangs", script(dir, "hang.sh", "sleep 30"), 2500, "Program has not been finished within 2 seconds.",
         CExecProgram::StatusTimedOut, 2900},
        {"no time at all", script(dir, "hang0.sh", "sleep 30"), 0, "Program has not been finished within 0 seconds.",
         CExecProgram::StatusTimedOut, 900},
        {"crashes", script(dir, "crash.sh", "kill -SEGV $$"), 5000, "Process crashed with error 1",
         CExecProgram::StatusCrashed, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        CExecProgram runner(nullptr, nullptr);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(runner.exec(k.program, {}, k.timeoutMs, QString()));
        EXPECT_EQ(runner.getError().toStdString(), k.error.toStdString());
        EXPECT_EQ(runner.retCode(), -1);
        EXPECT_EQ(runner.status(), k.status);
        EXPECT_GE(t.elapsed(), k.atLeastMs);
        EXPECT_LT(t.elapsed(), k.atLeastMs + 5000);
    }
}

TEST(ExecProgram, TimeOutKillsTheWholeChildTree)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("late"));
    // the grandchild would write the marker after the time-out if it survived
    const QString path = script(dir, "tree.sh", "(sleep 2; touch '" + marker.toUtf8() + "') & sleep 30");
    CExecProgram runner(nullptr, nullptr);
    EXPECT_FALSE(runner.exec(path, {}, 1000, QString()));
    EXPECT_TRUE(runner.isTimeout());
    ::sleep(3);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(ExecProgram, StopRequestEndsTheWait)
{
    QTemporaryDir dir;
    StopSwitch alive;
    alive.stop = true;
    CExecProgram runner(&StopSwitch::answer, &alive);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(runner.exec(script(dir, "hang.sh", "sleep 30"), {}, 60000, QString()));
    EXPECT_EQ(runner.getError(), QByteArray("Program has not been finished within 60 seconds."));
    EXPECT_LT(t.elapsed(), 5000);
}

TEST(ExecProgram, OutputIsReadInFullUpToTheCap)
{
    QTemporaryDir dir;
    struct Case {
        int outBytes;
        int errBytes;
        bool truncated;
    } cases[] = {
        {600 * 1000, 300 * 1000, false},
        {CExecProgram::kMaxOutputBytes, 10, false},
        {3 * 1024 * 1024, 2 * 1024 * 1024, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.outBytes);
        const QString path = script(dir, "big.sh",
                                    QByteArray("head -c ") + QByteArray::number(k.outBytes) +
                                        " /dev/zero | tr '\\0' o; head -c " + QByteArray::number(k.errBytes) +
                                        " /dev/zero | tr '\\0' e >&2; echo done >&2");
        CExecProgram runner(nullptr, nullptr);
        ASSERT_TRUE(runner.exec(path, {}, 20000, QString())) << runner.getError().constData();
        EXPECT_EQ(runner.getStdOut().size(), std::min(k.outBytes, CExecProgram::kMaxOutputBytes));
        EXPECT_EQ(runner.getStdOut().count('o'), runner.getStdOut().size());
        EXPECT_EQ(runner.getStdErr().size(), std::min(k.errBytes + 5, CExecProgram::kMaxOutputBytes));
        EXPECT_EQ(runner.outputTruncated(), k.truncated);
    }
}

TEST(ExecProgram, InputArgumentsFolderAndEnvironmentReachTheChild)
{
    QTemporaryDir dir;
    const QString path = script(dir, "show.sh",
                                "for a in \"$@\"; do echo \"[$a]\"; done; pwd; echo \"v=$ZAM_TEST_VAR\"; cat");
    CExecProgram runner(nullptr, nullptr);
    runner.setNativeArguments(QStringLiteral("n1 \"n 2\""));
    runner.setStdInData("from stdin");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZAM_TEST_VAR"), QStringLiteral("set"));
    runner.setProcessEnvironment(env);
    ASSERT_TRUE(runner.exec(path, {QStringLiteral("a b"), QString(), QStringLiteral("$(id)")}, 5000, QString()));
    const QByteArray expected = "[a b]\n[]\n[$(id)]\n[n1]\n[n 2]\n" + QFile::encodeName(QDir(dir.path()).canonicalPath()) +
                                "\nv=set\nfrom stdin";
    EXPECT_EQ(runner.getStdOut(), expected);
}

TEST(ExecProgram, ChildThatIgnoresItsInputDoesNotBlockTheRunner)
{
    QTemporaryDir dir;
    CExecProgram runner(nullptr, nullptr);
    runner.setStdInData(QByteArray(4 * 1024 * 1024, 'i'));  // far more than a pipe holds
    ASSERT_TRUE(runner.exec(script(dir, "deaf.sh", "echo ok"), {}, 5000, QString()));
    EXPECT_EQ(runner.getStdOut(), QByteArray("ok\n"));
}

TEST(ExecProgram, WordsForAnotherUserAreQuotedForTheShell)
{
    struct Case {
        QString word;
        QString quoted;
    } cases[] = {
        {QStringLiteral("x y"), QStringLiteral("'x y'")},
        {QString(), QStringLiteral("''")},
        {QStringLiteral("it's"), QStringLiteral("'it'\\''s'")},
        {QStringLiteral("$(touch /tmp/zam) `id`; rm -rf / \\\\"), QStringLiteral("'$(touch /tmp/zam) `id`; rm -rf / \\\\'")},
        {QStringLiteral("a\\\"b"), QStringLiteral("'a\\\"b'")},
    };
    for (const Case& k : cases)
        EXPECT_EQ(CExecProgram::shellQuote(k.word), k.quoted);
}

TEST(ExecProgram, RunsAsAnotherUserWithoutShellInjectionOrPasswordLeak)
{
    if (geteuid() != 0 || !QFile::exists(QString::fromLatin1(CExecProgram::kSuPath)))
        GTEST_SKIP() << "needs root and " << CExecProgram::kSuPath;
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                          QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    const QString marker = dir.filePath(QStringLiteral("injected"));
    const QString path = script(dir, "who am i.sh",
                                "id -un; for a in \"$@\"; do echo \"[$a]\"; done; echo \"v=$ZAM_TEST_VAR\"; pwd; cat");
    CExecProgram runner(nullptr, nullptr);
    runner.setLogin(QStringLiteral("nobody"), QStringLiteral("secret-password"));
    runner.setStdInData("input");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZAM_TEST_VAR"), QStringLiteral("it's set"));
    runner.setProcessEnvironment(env);
    const QString evil = QStringLiteral("$(touch %1)").arg(marker);
    ASSERT_TRUE(runner.exec(path, {evil, QStringLiteral("x';touch ") + marker + QStringLiteral(";'")}, 10000, QString()))
        << runner.getError().constData();
    EXPECT_EQ(runner.startedProgram(), QStringLiteral("/usr/bin/su"));
    EXPECT_EQ(runner.startedArguments().last(), QStringLiteral("nobody"));
    const QByteArray out = runner.getStdOut();
    EXPECT_TRUE(out.startsWith("nobody\n")) << out.constData() << runner.getStdErr().constData();
    EXPECT_TRUE(out.contains("[" + evil.toUtf8() + "]\n")) << out.constData();
    EXPECT_TRUE(out.contains("v=it's set\n")) << out.constData();
    EXPECT_TRUE(out.contains(QFile::encodeName(dir.path()) + "\n")) << out.constData();
    EXPECT_TRUE(out.endsWith("\ninput")) << out.constData();  // no password in front of the input
    EXPECT_FALSE(out.contains("secret-password"));
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(ExecProgram, PerformanceValueFromStandardAndNagiosOutput)
{
    struct Case {
        const char* output;
        int mode;
        double divisor;
        int64_t value;
        const char* text;
    } cases[] = {
        {"Temperature 42.5 C", CExecProgram::ModeStandard, 1.0, 42, "C"},
        {"abc12", CExecProgram::ModeStandard, 1.0, 0, ""},
        {"1.5", CExecProgram::ModeStandard, 0.001, 1500, ""},
        {"-7 below\nnext line", CExecProgram::ModeStandard, 1.0, -7, "below"},
        {"x=+3.25 ms", CExecProgram::ModeStandard, 0.01, 325, "ms"},
        {"", CExecProgram::ModeStandard, 1.0, 0, "untouched"},
        {"OK - load | load=0.75;1;2", CExecProgram::ModeNagios, 1.0, 0, "untouched"},
        {"OK - load | load=0.75;1;2", CExecProgram::ModeNagios, 0.001, 750, "untouched"},
        {"OK 3", CExecProgram::ModeNagios, 1.0, 3, "untouched"},
        {"no number", CExecProgram::ModeNagios, 1.0, 0, "untouched"},
        {"99999999999999999999999", CExecProgram::ModeStandard, 1.0, 0, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.output);
        QString text = QStringLiteral("untouched");
        EXPECT_EQ(CExecProgram::getPerfValue_utf8(QByteArray(k.output), k.mode, k.divisor, &text), k.value);
        EXPECT_EQ(text, QString::fromUtf8(k.text));
    }
}
