// SSH polls of a one-line command against the test sshd: a pooled session and a new
// connection for every poll, side by side with OpenSSH's client running the same command with
// and without connection sharing (ControlMaster), all in one run. Also the CPU time that 100
// monitors polled once take (as every 60 s). Start the servers first:
// bash scripts/test-servers.sh start; then run build/bench/bench_checks_ssh.
#include "Ssh/CSshClient.h"
#include "Ssh/CSshClientPool.h"
#include "ProcessUsage.h"
#include "support/TestServers.h"
#include "zam_plugin_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

const QHostAddress kHost(QString::fromLatin1(testservers::kHost));

QString clientKeyPath()
{
    const QString dir = qEnvironmentVariable("ZAM_TEST_SERVERS_DIR", QStringLiteral("/tmp/corvane-test-servers"));
    return dir + QStringLiteral("/ssh/client/id_ed25519");
}

double pollsPerSecond(bool pooled, int rounds)
{
    CSshClientPool* pool = CSshClientPool::instance();
    stZamMonitor mon{};
    mon.timeout = 10000;
    const CSshClientAuth auth(0, testservers::kUser, testservers::kPassword, "", "", "");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        CSshClient* client = pool->acquireClient(kHost, testservers::kSshPort, false, "", auth, !pooled, 10000);
        client->setMonitor(&mon);
        client->setScriptAndFile(CSshClient::ExecStandard, "echo 1", "");
        const int rc = client->exec();
        pool->releaseClient(kHost, testservers::kSshPort, client, !pooled || rc != 0);
    }
    return rounds / (clock.nsecsElapsed() / 1e9);
}

double opensshPerSecond(bool shared, int rounds, const QString& controlDir)
{
    QStringList args = {"-i", clientKeyPath(), "-p", QString::number(testservers::kSshPort),
                        "-o", "BatchMode=yes", "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null",
                        "-o", "LogLevel=ERROR"};
    if (shared)
        args << "-o" << "ControlMaster=auto" << "-o" << "ControlPath=" + controlDir + "/cm-%C" << "-o" << "ControlPersist=60";
    args << QStringLiteral("%1@%2").arg(testservers::kUser, testservers::kHost) << "echo 1";
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        QProcess ssh;
        ssh.start("ssh", args);
        ssh.waitForFinished(20000);
    }
    return rounds / (clock.nsecsElapsed() / 1e9);
}

// Result sections go to a scratch buffer; the benchmark reads none of them.
void* scratchMemory(stZamMonitor*, unsigned size, int)
{
    static thread_local std::vector<char> buffer;
    buffer.resize(size);
    return buffer.data();
}

// The resource scripts as the SSH resource monitors run them: standard input and arguments.
struct ScriptRun
{
    const char* script;
    const char* args;
};

double scriptPolls(const ScriptRun& run, const QByteArray& text, int rounds)
{
    CSshClientPool* pool = CSshClientPool::instance();
    stZamMonitor mon{};
    mon.timeout = 10000;
    const CSshClientAuth auth(0, testservers::kUser, testservers::kPassword, "", "", "");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        CSshClient* client = pool->acquireClient(kHost, testservers::kSshPort, false, "", auth, false, 10000);
        client->setMonitor(&mon);
        client->setScriptAndFile(CSshClient::ExecStandard, QByteArray("/bin/sh -s -- ") + run.args, text);
        const int rc = client->exec();
        pool->releaseClient(kHost, testservers::kSshPort, client, rc != 0);
    }
    return rounds / (clock.nsecsElapsed() / 1e9);
}

double opensshScript(const QByteArray& text, const char* args, int rounds, const QString& controlDir)
{
    const QStringList sshArgs = {"-i", clientKeyPath(), "-p", QString::number(testservers::kSshPort),
                                 "-o", "BatchMode=yes", "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null",
                                 "-o", "LogLevel=ERROR", "-o", "ControlMaster=auto", "-o", "ControlPath=" + controlDir + "/cm-%C",
                                 "-o", "ControlPersist=60", QStringLiteral("%1@%2").arg(testservers::kUser, testservers::kHost),
                                 QStringLiteral("sh -s -- ") + args};
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        QProcess ssh;
        ssh.start("ssh", sshArgs);
        ssh.write(text);
        ssh.closeWriteChannel();
        ssh.waitForFinished(20000);
    }
    return rounds / (clock.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    stCoreZamContext* ctx = nullptr;
    zam_plugin_init(&ctx);
    zam_plugin_register_getmem_cb(&scratchMemory);
    QTemporaryDir control;
    const int rounds = 100;
    pollsPerSecond(true, 5); // warm the pool
    const double pooled = pollsPerSecond(true, rounds);
    const double fresh = pollsPerSecond(false, rounds / 2);
    opensshPerSecond(true, 2, control.path());
    const double shared = opensshPerSecond(true, rounds, control.path());
    const double plain = opensshPerSecond(false, rounds / 2, control.path());
    std::printf("cores %ld\n", sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("pooled session:        %7.1f polls/s   OpenSSH with ControlMaster: %7.1f/s   ratio %.2f\n", pooled, shared, pooled / shared);
    std::printf("new connection each:   %7.1f polls/s   OpenSSH plain:              %7.1f/s   ratio %.2f\n", fresh, plain, fresh / plain);
    const ScriptRun runs[] = {{"ssh-cpu-stats.sh", "-cputime active"},
                              {"ssh-memory-stats.sh", "-memory phy -usage used -units %"},
                              {"ssh-process.sh", "-metric count -name 'sshd'"},
                              {"ssh-diskspace.sh", "-name '/' -type free"}};
    for (const ScriptRun& run : runs) {
        QFile file(QCoreApplication::applicationDirPath() + "/../scripts/" + run.script);
        file.open(QIODevice::ReadOnly);
        const QByteArray text = file.readAll();
        const int rounds = QByteArray(run.script).contains("cpu") ? 6 : 40;
        const double ours = scriptPolls(run, text, rounds);
        const double theirs = opensshScript(text, run.args, rounds, control.path());
        std::printf("%-20s %7.1f polls/s   OpenSSH with ControlMaster: %7.1f/s   ratio %.2f\n", run.script, ours, theirs, ours / theirs);
    }
    // 100 monitors polled once each, as they are every 60 s, on one pooled session
    const double cpu0 = processCpuSeconds();
    pollsPerSecond(true, 100);
    std::printf("100 monitors, one poll each: %.1f ms of CPU (%.3f%% of one core per 60 s)\n",
                (processCpuSeconds() - cpu0) * 1000, (processCpuSeconds() - cpu0) / 60 * 100);
    CSshClientPool::instance()->shutdownAll();
    zam_plugin_term(ctx);
    return 0;
}
