#include "support/CapturedMessages.h"
#include "support/EventLoopWait.h"
#include "support/TestCertificates.h"
#include "support/TestPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

// Runs the real netagentd; this program runs with private tmpfs folders over
// /etc/opt/corvane-agent and /var/log/corvane-agent.
namespace {

const QString kQuv = QStringLiteral("/etc/opt/corvane-agent/quv.ini");
const QString kLog = QStringLiteral("/var/log/corvane-agent/agent.log");
const QString kStart = QStringLiteral("Network Monitor Agent started (version 1.1 build 354 r), commit fce1bf668");
const QString kStop = QStringLiteral("Network Monitor Agent stopped (version 1.1 build 354 r)");
const QRegularExpression kPrefix(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}: \\[[0-9a-f]{4,}\\] "));

const QStringList kCommonMissing = {
    QStringLiteral("SSLSettings/CertificatePath"), QStringLiteral("SSLSettings/AllowUntrustedService"),
    QStringLiteral("SSLSettings/ServiceCertificatePath"), QStringLiteral("SSLSettings/PrivateKeyPath"),
    QStringLiteral("Common/AgentType"), QStringLiteral("AgentControlServer/Port"), QStringLiteral("SNMP/UDPProxyPort")};

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

QStringList logLines(const QString& path = kLog)
{
    return readFile(path).split(QLatin1Char('\n'));
}

QString stripPrefix(QString line)
{
    return line.remove(kPrefix);
}

struct Result
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

class Daemon
{
public:
    // tunables: GLIBC_TUNABLES for the run, none when null
    explicit Daemon(const QStringList& args, const char* tunables = nullptr)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NETAGENTD_TEST_TIME_SCALE"), QStringLiteral("0.1"));
        env.remove(QStringLiteral("GLIBC_TUNABLES"));
        if (tunables)
            env.insert(QStringLiteral("GLIBC_TUNABLES"), QString::fromLatin1(tunables));
        process.setProcessEnvironment(env);
        logOffset = readFile(kLog).size();
        process.start(testpaths::daemonPath(), args);
        EXPECT_TRUE(process.waitForStarted(10000));
    }
    ~Daemon()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Waits until the log holds a line with the text written by this run (an earlier run's
    // start line must not count, or the stop signal can arrive before the handlers exist).
    bool waitForLogLine(const QString& text, int ms = 20000)
    {
        return waitUntil(
            [&] {
                const auto log = readFile(kLog);
                return log.mid(log.size() >= logOffset ? logOffset : 0).contains(text);
            },
            ms);
    }
    // Whether the daemon has a descriptor open on the file.
    bool holdsOpen(const QString& path) const
    {
        const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
        for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
            if (QFile::symLinkTarget(fds + QLatin1Char('/') + fd) == path)
                return true;
        return false;
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process.processId()), number); }
    Result finish(int ms = 20000)
    {
        Result r;
        EXPECT_TRUE(process.waitForFinished(ms));
        r.exitCode = process.exitCode();
        r.status = process.exitStatus();
        r.out = process.readAllStandardOutput();
        r.err = process.readAllStandardError();
        return r;
    }
    QProcess process;
    int logOffset = 0;
};

Result runToEnd(const QStringList& args)
{
    Daemon d(args);
    return d.finish();
}

// Starts the daemon, waits for its start and stops it with SIGTERM; answers the result. A
// daemon whose settings do not let it run ends on its own, with or without the signal.
Result runAndStop(const QStringList& args)
{
    Daemon d(args);
    EXPECT_TRUE(d.waitForLogLine(kStart));
    d.signal(SIGTERM);
    return d.finish();
}

// Settings the daemon keeps running with until it is told to stop: an active agent whose
// service refuses (it retries later) and a certificate for its id.
QByteArray runningSettings(const TestCertificates& certs)
{
    return "[Common]\nAgentType=0\n[ActiveAgentSettings]\nTransport=TCP\nHost=127.0.0.1\nPort=1\n"
           "[SSLSettings]\nCertificatePath=" + certs.cert("agent").toUtf8() + "\n";
}

// The agent manager starts once every component is up; its first refused attempt marks a
// daemon in its steady state.
const QString kRunning = QStringLiteral("disconnected from service");

class DaemonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(kQuv);
        QFile::remove(kLog);
        writeFile(kQuv, QByteArray());
    }
};

}

TEST_F(DaemonTest, UsageTextForArgumentsThatSetNoMode)
{
    const QString program = testpaths::daemonPath();
    const QByteArray usage = "Network Monitor Unix Daemon\nUsage: " + program.toLocal8Bit()
        + " {-debug|-daemon}\n   -debug\truns the service as a normal process\n   -daemon\truns the process as a daemon ";
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("debug"), QStringLiteral("x")},
        {QStringLiteral("-bogus"), QStringLiteral("--debug")},
        {QStringLiteral("-stress"), QStringLiteral("8")},
        {QStringLiteral("-value"), QStringLiteral("2"), QStringLiteral("0")},
        {QStringLiteral("-delay"), QStringLiteral("abc")},
    };
    for (const QStringList& args : cases) {
        const Result r = runToEnd(args);
        EXPECT_EQ(r.status, QProcess::NormalExit);
        EXPECT_EQ(r.exitCode, 1) << qPrintable(args.join(' '));
        EXPECT_EQ(r.err, usage) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(kLog));
}

TEST_F(DaemonTest, ConnectionIdFromAPathOrFromTheSettings)
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("agent.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                         QStringLiteral("openssl req -x509 -newkey rsa:2048 -nodes -keyout '%1/key.pem' "
                                                        "-out '%2' -subj /CN=agent -days 2 2>/dev/null && "
                                                        "openssl x509 -in '%2' | md5sum")
                                             .arg(dir.path(), cert)});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    const QByteArray id = openssl.readAllStandardOutput().left(32);
    ASSERT_EQ(id.size(), 32);
    const QString missing = dir.filePath(QStringLiteral("missing.pem"));
    const QString corrupt = dir.filePath(QStringLiteral("corrupt.pem"));
    writeFile(corrupt, "garbage");

    const struct {
        QStringList args;
        QByteArray settings;
        int exitCode;
        QByteArray out;
        QByteArray err;
    } cases[] = {
        {{QStringLiteral("-connectionId"), cert}, {}, 0, id + "\n", {}},
        {{QStringLiteral("-CONNECTIONID"), cert}, {}, 0, id + "\n", {}},
        {{QStringLiteral("-connectionId"), missing}, {}, 1, {}, "certificate file " + missing.toUtf8() + " doesn't exist\n"},
        {{QStringLiteral("-connectionId"), dir.path()}, {}, 1, {}, "can't read certificate file " + dir.path().toUtf8() + "\n"},
        {{QStringLiteral("-connectionId"), corrupt}, {}, 1, {},
         "can't load certificate from " + corrupt.toUtf8() + " file, is it corrupted?\n"},
        {{QStringLiteral("-debug"), QStringLiteral("-connectionId")}, "[SSLSettings]\nCertificatePath=" + cert.toUtf8() + "\n", 0,
         id + "\n", {}},
        {{QStringLiteral("-connectionId")}, {}, 1, {}, "certificate file  doesn't exist\n"},
        {{QStringLiteral("-connectionId"), cert, QStringLiteral("-connectionId")}, {}, 0, id + "\n", {}},
    };
    for (const auto& c : cases) {
        writeFile(kQuv, c.settings);
        const Result r = runToEnd(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.args.join(' '));
        EXPECT_EQ(r.out, c.out) << qPrintable(c.args.join(' '));
        EXPECT_EQ(r.err, c.err) << qPrintable(c.args.join(' '));
    }
    EXPECT_FALSE(QFile::exists(kLog)) << "the daemon must not start for a connection id";
}

TEST_F(DaemonTest, EmptySettingsAreWarnedAboutBetweenTheStartAndStopLines)
{
    const Result r = runAndStop({QStringLiteral("-daemon")});
    EXPECT_EQ(r.status, QProcess::NormalExit);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();

    QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.takeLast(), QString());   // the file ends with a line end
    for (const QString& line : lines)
        EXPECT_TRUE(kPrefix.match(line).hasMatch()) << qPrintable(line);
    QStringList texts;
    for (const QString& line : lines)
        texts << stripPrefix(line);
    QStringList expected = {kStart};
    for (const QString& key : kCommonMissing + QStringList({QStringLiteral("ActiveAgentSettings/Transport"),
                                                            QStringLiteral("ActiveAgentSettings/Host"),
                                                            QStringLiteral("ActiveAgentSettings/Port")}))
        expected << QStringLiteral("warning: setting %1 was not found (:0, )").arg(key);
    EXPECT_EQ(texts.mid(0, expected.size()), expected);
    EXPECT_EQ(texts.last(), kStop);
}

TEST_F(DaemonTest, StopSignalsEndARunningDaemon)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    writeFile(kQuv, runningSettings(certs));
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        QFile::remove(kLog);
        Daemon d({QStringLiteral("-daemon")});
        ASSERT_TRUE(d.waitForLogLine(kRunning));
        QElapsedTimer t;
        t.start();
        d.signal(sig);
        const Result r = d.finish();
        EXPECT_LT(t.elapsed(), 10000) << "stop took too long";
        EXPECT_EQ(r.status, QProcess::NormalExit);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
        const QStringList lines = logLines();
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(stripPrefix(lines[lines.size() - 2]), kStop);
        EXPECT_TRUE(lines.last().isEmpty());
    }
}

// A run replaces itself once to keep one freed heap block per size and thread: it keeps its
// pid and its name (scripts find it by both); an operator's own cache setting stays as it is.
TEST_F(DaemonTest, RunsWithSmallHeapCachesUnderItsOwnPidAndName)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    writeFile(kQuv, runningSettings(certs));
    const struct {
        const char* given;   // GLIBC_TUNABLES
        const char* seen;    // the cache setting the run has
    } cases[] = {
        {nullptr, "glibc.malloc.tcache_count=1"},
        {"glibc.malloc.perturb=0", "glibc.malloc.tcache_count=1"},
        {"glibc.malloc.tcache_count=3", "glibc.malloc.tcache_count=3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given ? c.given : "none");
        Daemon d({QStringLiteral("-daemon")}, c.given);
        ASSERT_TRUE(d.waitForLogLine(kRunning));
        const QString proc = QStringLiteral("/proc/%1/").arg(d.process.processId());
        EXPECT_EQ(readFile(proc + QStringLiteral("comm")).trimmed(), QStringLiteral("netagentd"));
        QFile environ(proc + QStringLiteral("environ"));
        ASSERT_TRUE(environ.open(QIODevice::ReadOnly));
        // glibc cuts the variable at each tunable's end in place: look for the parts
        const QByteArray environment = environ.readAll();
        EXPECT_TRUE(environment.contains(c.seen)) << environment.constData();
        EXPECT_EQ(environment.count("tcache_count"), 1);
        if (c.given)
            EXPECT_TRUE(environment.contains(QByteArray("GLIBC_TUNABLES=") + c.given));
        d.signal(SIGTERM);
        const Result r = d.finish();
        EXPECT_EQ(r.status, QProcess::NormalExit);
        EXPECT_EQ(r.exitCode, 0);
    }
}

TEST_F(DaemonTest, PassiveModeMissesTheFirstServerEntry)
{
    writeFile(kQuv, "[Common]\nAgentType=1\n[AgentServer0]\nHost=127.0.0.1\n");
    const Result r = runAndStop({QStringLiteral("-daemon")});
    EXPECT_EQ(r.exitCode, 0);
    QStringList warnings = logLines().filter(QStringLiteral("was not found"));
    for (QString& w : warnings)
        w = stripPrefix(w);
    QStringList expected;
    QStringList keys = kCommonMissing;
    keys.removeAll(QStringLiteral("Common/AgentType"));
    for (const QString& key : keys + QStringList({QStringLiteral("AgentServer0/Transport"), QStringLiteral("AgentServer0/Port")}))
        expected << QStringLiteral("warning: setting %1 was not found (:0, )").arg(key);
    EXPECT_EQ(warnings, expected);
}

TEST_F(DaemonTest, SecondRunAppendsAfterExactlyOneEmptyLine)
{
    runAndStop({QStringLiteral("-daemon")});
    runAndStop({QStringLiteral("-daemon")});
    const QStringList lines = logLines();
    QStringList texts;
    for (const QString& line : lines)
        texts << stripPrefix(line);
    EXPECT_EQ(texts.count(kStart), 2);
    EXPECT_EQ(texts.count(kStop), 2);
    const int firstStop = texts.indexOf(kStop);
    ASSERT_GE(firstStop, 0);
    EXPECT_EQ(texts.mid(firstStop + 1, 2), QStringList({QString(), kStart}));
    EXPECT_EQ(texts.count(QString()), 2);   // the separator and the final line end
}

TEST_F(DaemonTest, DebugCopiesLinesToStderrAndTheLastModeWins)
{
    const struct {
        QStringList args;
        bool copy;
    } cases[] = {
        {{QStringLiteral("-debug")}, true},
        {{QStringLiteral("-DEBUG")}, true},
        {{QStringLiteral("-debug"), QStringLiteral("-daemon")}, false},
        {{QStringLiteral("-daemon"), QStringLiteral("-debug")}, true},
        {{QStringLiteral("-Daemon"), QStringLiteral("-value"), QStringLiteral("2"), QStringLiteral("0")}, false},
    };
    for (const auto& c : cases) {
        const Result r = runAndStop(c.args);
        EXPECT_EQ(r.exitCode, 0);
        const QString err = QString::fromLocal8Bit(r.err);
        EXPECT_EQ(err.contains(kStart) && err.contains(kStop), c.copy) << qPrintable(c.args.join(' ')) << qPrintable(err);
        if (!c.copy) {
            EXPECT_TRUE(err.isEmpty()) << qPrintable(err);
        }
    }
}

TEST_F(DaemonTest, DelayIsAnnouncedOnStderr)
{
    Daemon d({QStringLiteral("-delay"), QStringLiteral("300"), QStringLiteral("-daemon")});
    EXPECT_TRUE(d.waitForLogLine(kStart));
    d.signal(SIGTERM);
    const Result r = d.finish();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(QStringLiteral("delaying startup for 300 msec"))) << r.err.constData();
}

TEST_F(DaemonTest, UserSignalsRotateTheLog)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.ok()) << qPrintable(certs.error());
    writeFile(kQuv, runningSettings(certs));
    Daemon d({QStringLiteral("-daemon")});
    ASSERT_TRUE(d.waitForLogLine(kRunning));
    ASSERT_TRUE(d.holdsOpen(kLog));
    d.signal(SIGUSR1);
    ASSERT_TRUE(waitUntil([&] { return !d.holdsOpen(kLog); }, 20000)) << "suspended, the log is closed";
    d.signal(SIGUSR1);   // ignored while suspended
    // No event marks an ignored signal: the pause lets the worker see it apart from the resumption.
    QThread::msleep(200);
    const QString rotated = kLog + QStringLiteral(".1");
    ASSERT_TRUE(QFile::rename(kLog, rotated));

    // A second control-port client makes the daemon warn and close it: the warning comes while
    // the log is suspended (it waits) or after, and only its line closes the client.
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, 3456);
    ASSERT_TRUE(first.waitForConnected(10000));
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, 3456);
    ASSERT_TRUE(second.waitForConnected(10000));
    EXPECT_FALSE(QFile::exists(kLog)) << "nothing may be written while suspended";

    d.signal(SIGUSR2);
    ASSERT_TRUE(waitUntil([&] { return second.state() == QAbstractSocket::UnconnectedState; }, 20000))
        << "the log was not resumed";
    EXPECT_TRUE(QFile::exists(kLog));
    d.signal(SIGTERM);
    const Result r = d.finish();
    EXPECT_EQ(r.exitCode, 0);

    const QString duplicate = QStringLiteral("duplicate client connection");
    const QStringList old = logLines(rotated);
    EXPECT_EQ(stripPrefix(old.first()), kStart);
    for (const QString& line : old) {
        EXPECT_NE(stripPrefix(line), kStop) << "the stop line belongs to the new file";
        EXPECT_FALSE(line.contains(duplicate)) << "written while suspended";
    }
    // The new file has the warning and ends with the stop line and the empty line after a
    // run; the link may have logged its retries in between.
    const QStringList fresh = logLines();
    ASSERT_GE(fresh.size(), 2) << qPrintable(fresh.join('\n'));
    EXPECT_EQ(fresh.filter(duplicate).size(), 1) << qPrintable(fresh.join('\n'));
    EXPECT_EQ(stripPrefix(fresh[fresh.size() - 2]), kStop) << qPrintable(fresh.join('\n'));
    EXPECT_TRUE(fresh.last().isEmpty());
}
