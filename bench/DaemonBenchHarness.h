#pragma once
// The real netagentd for benchmarks that drive it over the link as the service would. The
// benchmark program runs itself again inside private mount and network namespaces (root), so
// the daemon's settings, log and ports are its own; there it starts the daemon in passive TCP
// mode and connects to it with the test peer.
// Threads: one; the peer runs in the caller's event loop (waitUntil).
#include "support/AgentTestPeer.h"
#include "support/EventLoopWait.h"
#include "support/PrivateNameFiles.h"
#include "support/TestCertificates.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace daemonbench {

constexpr const char* kInsideVariable = "ZAM_DAEMON_BENCH_INSIDE";

// Call first in main. Outside the namespaces it runs the program again inside them and exits
// with its code; inside it returns.
inline void enterPrivateNamespaces(int argc, char** argv)
{
    if (std::getenv(kInsideVariable))
        return;
    if (::geteuid() != 0) {
        std::fprintf(stderr, "this benchmark runs the daemon in private namespaces and needs root\n");
        std::exit(1);
    }
    ::setenv(kInsideVariable, "1", 1);
    static const char script[] =
        "set -e; ip link set lo up; for d in /etc/opt/corvane-agent /var/log/corvane-agent; do "
        "mkdir -p $d; mount -t tmpfs -o mode=0755 tmpfs $d; done; exec \"$@\"";
    std::vector<char*> args{const_cast<char*>("unshare"), const_cast<char*>("-m"), const_cast<char*>("-n"),
                            const_cast<char*>("--propagation"), const_cast<char*>("private"),
                            const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(script),
                            const_cast<char*>("private")};
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        std::perror("readlink");
        std::exit(1);
    }
    args.push_back(self);
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("unshare", args.data());
    std::perror("unshare");
    std::exit(1);
}

// The whole main of a daemon benchmark: the private namespaces, an application, the runs.
inline int runBenchmarks(int argc, char** argv)
{
    enterPrivateNamespaces(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// A free port on 127.0.0.1 for the daemon's agent server.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The daemon on 127.0.0.1: by default passive over TCP; startWith takes any mode.
class Daemon
{
public:
    ~Daemon() { stop(); }

    // Empty on success, else what failed.
    QString start(const QString& timeScale = QStringLiteral("1"))
    {
        if (!m_certs.ok())
            return m_certs.error();
        m_port = freePort();
        return startWith("[Common]\nAgentType=1\n[AgentServer0]\nTransport=TCP\nEnabled=1\nHost=127.0.0.1\nPort="
                             + QByteArray::number(m_port) + "\n[SSLSettings]\nCertificatePath="
                             + m_certs.cert("agent").toUtf8() + "\n",
                         timeScale, true);
    }

    // The daemon with these settings; agentServerUp: wait for a passive agent server on port().
    QString startWith(const QByteArray& settings, const QString& timeScale, bool agentServerUp)
    {
        if (!m_certs.ok())
            return m_certs.error();
        QFile f(QStringLiteral("/etc/opt/corvane-agent/quv.ini"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write the settings");
        f.write(settings);
        f.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("NETAGENTD_TEST_TIME_SCALE"), timeScale);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/netagentd");
        // ZAM_BENCH_DAEMON_WRAPPER runs the daemon under a tool, e.g. "heaptrack -o /tmp/soak".
        QStringList wrapper = qEnvironmentVariable("ZAM_BENCH_DAEMON_WRAPPER").split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (wrapper.isEmpty())
            m_process.start(path, {QStringLiteral("-daemon")});
        else
            m_process.start(wrapper.takeFirst(), wrapper + QStringList{path, QStringLiteral("-daemon")});
        if (!m_process.waitForStarted(10000))
            return QStringLiteral("cannot start the daemon");
        // The agent server is up once a connection is taken.
        if (agentServerUp && !waitUntil([this] { return connectProbe(); }, 20000))
            return QStringLiteral("the daemon's agent server did not come up");
        return QString();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(pid()), SIGTERM);
        m_process.waitForFinished(120000);
    }

    // A new session as the service, identified; null when it did not come up. While the
    // daemon still holds the session before (its end is handled on the manager's thread), a
    // new one is refused as "already connected": try again.
    peer::Session* connect(int timeoutMs = 20000, const peer::TlsIdentity& tls = peer::TlsIdentity())
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            peer::Session* s = peer::connectTo(m_port, tls);
            peer::Message m;
            if (s && s->waitFor(peer::msg::LocalhostInfoNot, m, 2000)) {
                // A refused session is closed right after its identification.
                if (!waitUntil([s] { return s->isClosed(); }, 50))
                    return s;
            }
            delete s;
            waitUntil([] { return false; }, 20);
        }
        return nullptr;
    }

    // Passive mode: the port of the agent server (start picks it; set it before startWith).
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    const TestCertificates& certificates() const { return m_certs; }
    // Open descriptors of the daemon.
    long openFiles() const { return QDir(QStringLiteral("/proc/%1/fd").arg(pid())).count() - 2; }

    long rssKb() const { return statusKb("VmRSS:"); }
    long threads() const { return statusKb("Threads:"); }
    // A value of the daemon's /proc status by its key ("RssAnon:"); -1 when not found.
    long statusKb(const QByteArray& key) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
        return -1;
    }

    // The daemon's own process, also when a wrapper started it.
    qint64 pid() const
    {
        const qint64 daemonPid = descendantNamed(m_process.processId(), "netagentd");
        return daemonPid > 0 ? daemonPid : m_process.processId();
    }

private:
    static qint64 descendantNamed(qint64 pid, const QByteArray& name)
    {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return pid;
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
        if (!children.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& child : children.readAll().split(' ')) {
            const qint64 found = child.trimmed().isEmpty() ? -1 : descendantNamed(child.trimmed().toLongLong(), name);
            if (found > 0)
                return found;
        }
        return -1;
    }

    bool connectProbe()
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        const bool up = probe.waitForConnected(200);
        probe.abort();
        return up;
    }

    TestCertificates m_certs;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace daemonbench
