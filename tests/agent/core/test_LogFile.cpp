#include "support/CapturedMessages.h"
#include "core/LogFile.h"
#include "core/ProcessOptions.h"
#include "support/EventLoopWait.h"
#include "support/ThreadSleepState.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QRegularExpression kLinePrefix(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}: \\[[0-9a-f]{4,}\\] "));

QString readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.readAll());
}

// Text of each line without its time stamp and thread prefix.
QStringList texts(const QString& content)
{
    QStringList out;
    for (QString line : content.split(QLatin1Char('\n'))) {
        line.remove(kLinePrefix);
        out << line;
    }
    return out;
}

class LogFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        logToStderr = false;
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("agent.log"));
    }
    void TearDown() override
    {
        qInstallMessageHandler(nullptr);
        lockLogMutex();
        closeLogFile();
        unlockLogMutex();
    }
    void open(const QString& p)
    {
        lockLogMutex();
        openLogFile(p);
        unlockLogMutex();
    }
    void close()
    {
        lockLogMutex();
        closeLogFile();
        unlockLogMutex();
    }

    QTemporaryDir dir;
    QString path;
};

}

TEST_F(LogFileTest, LineCarriesTimeStampAndThreadId)
{
    const QString line = formatLogLine(QStringLiteral("hello"));
    EXPECT_TRUE(kLinePrefix.match(line).hasMatch()) << qPrintable(line);
    EXPECT_TRUE(line.endsWith(QStringLiteral("] hello\n")));
    const QString tid = QString::number(static_cast<qulonglong>(::syscall(SYS_gettid)), 16);
    EXPECT_EQ(logThreadId(), tid.rightJustified(4, QLatin1Char('0')));
    EXPECT_TRUE(line.contains(QStringLiteral("[%1]").arg(logThreadId())));
}

TEST_F(LogFileTest, QtMessagesGetLevelPrefixAndEmptyContextSuffix)
{
    open(path);
    qInstallMessageHandler(qtMessageHandler);
    qDebug("d %d", 1);
    qInfo("i");
    qWarning("w");
    qCritical("c");
    qInstallMessageHandler(nullptr);
    close();
    EXPECT_EQ(texts(readFile(path)),
              QStringList({QStringLiteral("debug: d 1 (:0, )"), QStringLiteral("i (:0, )"), QStringLiteral("warning: w (:0, )"),
                           QStringLiteral("critical: c (:0, )"), QString()}));
}

TEST_F(LogFileTest, FatalMessageIsWrittenThenAborts)
{
    EXPECT_DEATH(
        {
            open(path);
            qInstallMessageHandler(qtMessageHandler);
            qFatal("the end");
        },
        "");
    EXPECT_EQ(texts(readFile(path)), QStringList({QStringLiteral("fatal: the end (:0, )"), QString()}));
}

TEST_F(LogFileTest, EachRunStartsAfterExactlyOneEmptyLine)
{
    for (const char* text : {"first", "second", "third"}) {
        open(path);
        writeLogLine(QString::fromLatin1(text));
        close();
    }
    EXPECT_EQ(texts(readFile(path)),
              QStringList({QStringLiteral("first"), QString(), QStringLiteral("second"), QString(),
                           QStringLiteral("third"), QString()}));
}

TEST_F(LogFileTest, LinesAfterCloseGoNowhereButStderr)
{
    open(path);
    writeLogLine(QStringLiteral("kept"));
    close();
    writeLogLine(QStringLiteral("dropped"));
    EXPECT_EQ(texts(readFile(path)), QStringList({QStringLiteral("kept"), QString()}));
}

TEST_F(LogFileTest, SuspendHoldsWritersAndResumeReopensAtThePath)
{
    open(path);
    writeLogLine(QStringLiteral("before"));
    // The test thread plays the signal worker: it suspends and later resumes.
    suspendLogFile();
    ASSERT_TRUE(isLogFileSuspended());
    suspendLogFile();   // a second suspension is ignored

    std::atomic<bool> written{false};
    std::atomic<pid_t> writerId{0};
    std::thread writer([&] {
        writerId = currentThreadId();
        writeLogLine(QStringLiteral("after"));
        written = true;
    });
    // Asleep once it started its line: held at the log mutex (or it got through).
    ASSERT_TRUE(waitUntil([&] { return written.load() || (writerId.load() != 0 && threadSleeps(writerId.load())); },
                          20000));
    EXPECT_FALSE(written.load()) << "a writer got through while the log was suspended";
    const QString rotated = dir.filePath(QStringLiteral("agent.log.1"));
    ASSERT_TRUE(QFile::rename(path, rotated));

    resumeLogFile();
    writer.join();
    EXPECT_FALSE(isLogFileSuspended());
    resumeLogFile();   // ignored: not suspended
    writeLogLine(QStringLiteral("later"));

    EXPECT_EQ(texts(readFile(rotated)), QStringList({QStringLiteral("before"), QString()}));
    EXPECT_EQ(texts(readFile(path)), QStringList({QStringLiteral("after"), QStringLiteral("later"), QString()}));
}

TEST_F(LogFileTest, LinesFromManyThreadsNeverInterleave)
{
    open(path);
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    const QString filler(300, QLatin1Char('x'));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &filler] {
            for (int i = 0; i < kLines; ++i)
                writeLogLine(QStringLiteral("t%1 n%2 %3 end").arg(t).arg(i).arg(filler));
        });
    for (std::thread& t : threads)
        t.join();
    close();

    const QStringList lines = readFile(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression whole(kLinePrefix.pattern() + QStringLiteral("t(\\d) n(\\d+) x{300} end$"));
    std::vector<int> next(kThreads, 0);
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = whole.match(line);
        ASSERT_TRUE(m.hasMatch()) << qPrintable(line.left(120));
        // Each thread's lines keep their order.
        const int t = m.captured(1).toInt();
        EXPECT_EQ(m.captured(2).toInt(), next[t]++);
    }
}

TEST_F(LogFileTest, WarningsKeepTextOutsideLatin1)
{
    open(path);
    qInstallMessageHandler(qtMessageHandler);
    logWarning(QStringLiteral("cannot reach \u0445\u043e\u0441\u0442.example (caf\u00e9)"));
    qInstallMessageHandler(nullptr);
    close();
    EXPECT_EQ(texts(readFile(path)),
              QStringList({QStringLiteral("warning: cannot reach \u0445\u043e\u0441\u0442.example (caf\u00e9) (:0, )"),
                           QString()}));
}

TEST_F(LogFileTest, CategoryLinesOnlyWhenSwitchedOn)
{
    logCategories()[2] = 1;
    logCategories()[5] = 0;
    open(path);
    logIfEnabled(2, QStringLiteral("connection line"));
    logIfEnabled(5, QStringLiteral("switched off"));
    logIfEnabled(77, QStringLiteral("unknown category"));
    logCategories()[2] = 0;
    logIfEnabled(2, QStringLiteral("after value 2 0"));
    close();
    logCategories()[2] = 1;
    EXPECT_EQ(texts(readFile(path)), QStringList({QStringLiteral("connection line"), QString()}));
}

TEST_F(LogFileTest, MissingFolderIsCreated)
{
    const QString nested = dir.filePath(QStringLiteral("a/b/agent.log"));
    open(nested);
    writeLogLine(QStringLiteral("in a new folder"));
    close();
    EXPECT_EQ(texts(readFile(nested)), QStringList({QStringLiteral("in a new folder"), QString()}));
}

// A folder that cannot be made (a file stands in the way): reported on stderr once.
TEST_F(LogFileTest, AFolderThatCannotBeMadeIsReportedOnce)
{
    QFile blocker(dir.filePath(QStringLiteral("plainfile")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString impossible = dir.filePath(QStringLiteral("plainfile/sub/agent.log"));
    ::testing::internal::CaptureStderr();
    open(impossible);
    writeLogLine(QStringLiteral("lost"));
    open(impossible);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot create log folder"), std::string::npos) << err;
    EXPECT_EQ(err.find("cannot create log folder"), err.rfind("cannot create log folder")) << err;
    EXPECT_FALSE(isLogFileOpen());
}
