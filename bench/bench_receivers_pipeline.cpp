// The syslog receiver end to end: datagrams on loopback through receive, parse, match, limit
// and event, with 1 and 100 subscribed monitors (Google Benchmark; the sender waits whenever
// 512 lines are outstanding, so nothing is lost and the rate is the pipeline's own).
// With --paced PORT_RSYSLOG OUTFILE RSYSLOG_PID: a paced sender at 10k to 800k lines/s for 3 s
// each, first against this receiver, then against an rsyslog (imudp, one input thread, a
// filter, omfile) on its own port; prints loss and CPU per rate and the ratio of the highest
// lossless rates (the rate the sender reached in a step without loss). bench/bench_syslog_peers.sh starts rsyslog and runs this.
#include "agent/engine/ComponentRunner.h"
#include "receivers/SyslogLineManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QUdpSocket>
#include "ReceiverBenchHelpers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace receiverbench;

QByteArray line128()
{
    QByteArray line("<34>Oct 11 22:14:15 host1 sshd[4711]: bench Failed password for invalid user admin from 10.1.2.3 ");
    while (line.size() < 128)
        line += 'x';
    return line;
}

struct Pipeline
{
    explicit Pipeline(int monitors)
        : port(freePort())
        , manager(new SyslogLineManager(nullptr, QStringLiteral("syslog lines manager"), 64, port))
        , runner(manager.get())
    {
        UdpReceiverHooks hooks;
        hooks.sendMonitorEvent = [this](int, const CMonitorEventPtr& e) {
            if (e->typeId() == 7)
                events.fetch_add(1, std::memory_order_relaxed);
            else if (e->typeId() == 4)
                started = true;
        };
        hooks.engineReady = [] { return true; };
        manager->setHooks(hooks);
        for (int id = 1; id <= monitors; ++id) {
            auto* f = new SyslogLineFilter;
            f->address = CIpAddressRange::fromHostName(QStringLiteral("127.0.0.1"), Optional<QHostAddress>());
            f->m_severityMask = 1 << 2;
            f->appNameText = QString();
            // the message test rsyslog's filter makes too
            f->messagePattern = QRegExp(QStringLiteral("bench"));
            f->checkMessage = true;
            manager->setFilter(id, {f}, 1, 1000000000, 60);   // a limit that never trips, still counted
        }
        runner.start();
        while (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~Pipeline() { runner.finish(); }

    quint16 port;
    std::atomic<quint64> events{0};
    std::atomic<bool> started{false};
    std::unique_ptr<SyslogLineManager> manager;
    ComponentRunner<SyslogLineManager> runner;
};

int udpSender()
{
    return ::socket(AF_INET, SOCK_DGRAM, 0);
}

void BM_SyslogReceiveToEvent(benchmark::State& state)
{
    const int monitors = static_cast<int>(state.range(0));
    Pipeline p(monitors);
    const QByteArray line = line128();
    const int fd = udpSender();
    const sockaddr_in to = loopback(p.port);
    quint64 sent = 0;
    quint64 lost = 0;
    // Few enough outstanding lines that the socket's default buffer never overflows; a line
    // lost anyway is written off after 100 ms without progress, so the run cannot stall.
    constexpr quint64 kWindow = 128;
    auto delivered = [&] { return p.events.load(std::memory_order_relaxed) / monitors + lost; };
    auto waitBelow = [&](quint64 outstanding) {
        auto since = std::chrono::steady_clock::now();
        quint64 seen = delivered();
        while (sent - delivered() > outstanding) {
            std::this_thread::yield();
            if (delivered() != seen) {
                seen = delivered();
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since > std::chrono::milliseconds(100)) {
                lost += sent - delivered() - outstanding;
            }
        }
    };
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            waitBelow(kWindow - 1);
            ::sendto(fd, line.constData(), line.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            ++sent;
        }
    }
    waitBelow(0);
    ::close(fd);
    state.SetItemsProcessed(static_cast<int64_t>(sent - lost));
    state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(BM_SyslogReceiveToEvent)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

SendResult sendFromChild(quint16 port, int rate, int seconds)
{
    return receiverbench::sendFromChild(line128(), port, rate, seconds);
}

// The rate a step counts for: the rate the sender reached, when nothing was lost (on a busy
// machine the sender falls short of the nominal rate, and both peers get what it sent).
int creditedRate(double achieved, quint64 sent, quint64 got, double lossAllowed = 0)
{
    return got >= sent || double(sent - got) <= lossAllowed * sent ? static_cast<int>(achieved) : 0;
}

// A loaded machine keeps a receiver off the CPU for longer than its socket buffer lasts now
// and then; beside the lossless rates, the rates with at most this share lost show the trend.
constexpr double kNearlyLossless = 0.001;

int runPaced(quint16 rsyslogPort, const QString& rsyslogOut, long rsyslogPid)
{
    const int rates[] = {10000, 25000, 50000, 100000, 200000, 300000, 400000, 500000, 600000, 800000};
    const int seconds = 3;
    int agentLossless = 0, rsyslogLossless = 0, agentNearly = 0, rsyslogNearly = 0;
    LineCounter rsyslogLines(rsyslogOut);
    std::printf("cores: %ld; receive buffer: system default (net.core.rmem_default) for both\n", sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%-8s %8s %9s %10s %10s %8s %8s\n", "peer", "rate/s", "sent/s", "sent", "received", "lost", "cpu %");
    for (int rate : rates) {
        {
            Pipeline p(1);
            const double cpu0 = selfCpuSeconds();
            const SendResult r = sendFromChild(p.port, rate, seconds);
            const quint64 sent = r.sent;
            const double achieved = r.achieved;
            const quint64 got = settle([&] { return p.events.load(); });
            const double cpu = selfCpuSeconds() - cpu0;
            std::printf("%-8s %8d %9.0f %10llu %10llu %8llu %8.1f\n", "agent", rate, achieved, (unsigned long long)sent,
                        (unsigned long long)got, (unsigned long long)(sent > got ? sent - got : 0), 100.0 * cpu / seconds);
            agentLossless = std::max(agentLossless, creditedRate(achieved, sent, got));
            agentNearly = std::max(agentNearly, creditedRate(achieved, sent, got, kNearlyLossless));
        }
        if (rsyslogPid > 0) {
            const quint64 before = rsyslogLines.count();
            const double cpu0 = pidCpuSeconds(rsyslogPid);
            const SendResult r = sendFromChild(rsyslogPort, rate, seconds);
            const quint64 sent = r.sent;
            const double achieved = r.achieved;
            const quint64 got = settle([&] { return rsyslogLines.count(); }) - before;
            const double cpu = pidCpuSeconds(rsyslogPid) - cpu0;
            std::printf("%-8s %8d %9.0f %10llu %10llu %8llu %8.1f\n", "rsyslog", rate, achieved, (unsigned long long)sent,
                        (unsigned long long)got, (unsigned long long)(sent > got ? sent - got : 0), 100.0 * cpu / seconds);
            rsyslogLossless = std::max(rsyslogLossless, creditedRate(achieved, sent, got));
            rsyslogNearly = std::max(rsyslogNearly, creditedRate(achieved, sent, got, kNearlyLossless));
        }
        std::fflush(stdout);
    }
    std::printf("highest lossless rate: agent %d/s, rsyslog %d/s", agentLossless, rsyslogLossless);
    if (rsyslogLossless > 0)
        std::printf(", ratio %.2f (%ld cores)", double(agentLossless) / rsyslogLossless, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("\nhighest rate with at most %.1f%% lost: agent %d/s, rsyslog %d/s", 100 * kNearlyLossless, agentNearly,
                rsyslogNearly);
    if (rsyslogNearly > 0)
        std::printf(", ratio %.2f", double(agentNearly) / rsyslogNearly);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "--paced") {
        const quint16 port = argc > 2 ? quint16(atoi(argv[2])) : 0;
        const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
        const long pid = argc > 4 ? atol(argv[4]) : 0;
        return runPaced(port, out, pid);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
