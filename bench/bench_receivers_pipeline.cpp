// The syslog receiver end to end: datagrams on loopback through receive, parse, match, limit
// and event, with 1 and 100 subscribed monitors (Google Benchmark; the sender waits whenever
// 128 lines are outstanding, so nothing is lost and the rate is the pipeline's own), and the
// manager thread's share alone (no socket).
// With --paced PORT_RSYSLOG OUTFILE RSYSLOG_PID [RATES]: paced senders (child processes) at
// 100k to 1.4M lines/s (or the comma-separated RATES) for 3 s each, against this receiver, an
// rsyslog (imudp, one input thread, a filter, omfile) on its own port and a bare reader in
// turn, then a search between each one's best lossless rate and the lowest rate it lost at;
// prints loss, the kernel's drops on each socket and CPU per rate, and the ratios of the
// highest lossless rates (the rate the sender reached in a step without loss).
// bench/bench_syslog_peers.sh starts rsyslog and runs this.
#include "agent/engine/ComponentRunner.h"
#include "receivers/SyslogLineManager.h"

#include <QCoreApplication>
#include <QFile>
#include <QUdpSocket>
#include "ReceiverTrials.h"

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

// Lines from loopback at severity CRIT whose message holds "bench": the test rsyslog's filter
// makes too.
SyslogLineFilter* benchFilter()
{
    auto* f = new SyslogLineFilter;
    f->address = CIpAddressRange::fromHostName(QStringLiteral("127.0.0.1"), Optional<QHostAddress>());
    f->m_severityMask = 1 << 2;
    f->appNameText = QString();
    f->messagePattern = QRegExp(QStringLiteral("bench"));
    f->checkMessage = true;
    return f;
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
        for (int id = 1; id <= monitors; ++id)
            manager->setFilter(id, {benchFilter()}, 1, 1000000000, 60);   // a limit that never trips, still counted
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

// The manager thread's share alone: batches of 256 lines through parse, match, limit and
// event, with no socket and no connector thread. What it reaches bounds the lossless rate.
class ManagerOnly : public SyslogLineManager
{
public:
    using SyslogLineManager::SyslogLineManager;
    using SyslogLineManager::handleDatagram;
};

void BM_SyslogManagerLines(benchmark::State& state)
{
    const int monitors = static_cast<int>(state.range(0));
    ManagerOnly manager(nullptr, QStringLiteral("syslog lines manager"), 64, 0);
    quint64 events = 0;
    UdpReceiverHooks hooks;
    hooks.sendMonitorEvent = [&](int, const CMonitorEventPtr& e) { events += e->typeId() == 7; };
    manager.setHooks(hooks);
    for (int id = 1; id <= monitors; ++id)
        manager.setFilter(id, {benchFilter()}, 1, 1000000000, 60);
    const QByteArray line = line128();
    const QString sender = QStringLiteral("127.0.0.1");
    QExplicitlySharedDataPointer<DatagramBatch> batch(new DatagramBatch);
    for (int i = 0; i < 256; ++i)
        batch->append(line, sender);
    for (auto _ : state)
        for (int i = 0; i < batch->count(); ++i)
            manager.handleDatagram(batch->datagram(i), batch->sender(i));
    state.SetItemsProcessed(state.iterations() * batch->count());
    if (events != quint64(state.iterations()) * batch->count() * monitors)
        state.SkipWithError("a line made no event");
}
BENCHMARK(BM_SyslogManagerLines)->Arg(1)->Arg(100);

SendResult sendFromChild(quint16 port, int rate, int seconds)
{
    return receiverbench::sendFromChild(line128(), port, rate, seconds);
}

constexpr int kSeconds = 3;

Trial agentTrial(int rate)
{
    Pipeline p(1);
    const quint64 drops0 = socketStats(p.port).drops;
    const double cpu0 = selfCpuSeconds();
    // the connector thread's name, then the manager's (thread names keep 15 bytes)
    const double reader0 = threadsCpuSeconds("udp messages ma"), manager0 = threadsCpuSeconds("syslog lines ma");
    const SendResult r = sendFromChild(p.port, rate, kSeconds);
    Trial t;
    t.rate = rate;
    t.sent = r.sent;
    t.achieved = r.achieved;
    t.got = settle([&] { return p.events.load(); });
    t.cpuPercent = 100.0 * (selfCpuSeconds() - cpu0) / kSeconds;
    t.drops = socketStats(p.port).drops - drops0;
    t.detail = QStringLiteral("cpu %: connector thread %1, manager thread %2")
                   .arg(100.0 * (threadsCpuSeconds("udp messages ma") - reader0) / kSeconds, 0, 'f', 1)
                   .arg(100.0 * (threadsCpuSeconds("syslog lines ma") - manager0) / kSeconds, 0, 'f', 1);
    return t;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2) : QString();
}

int runPaced(quint16 rsyslogPort, const QString& rsyslogOut, long rsyslogPid, const std::vector<int>& rates)
{
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    LineCounter rsyslogLines(rsyslogOut);
    {
        Pipeline p(1);
        std::printf("cores: %ld; load average %s; %d-byte lines, %d s a rate; receive buffer: agent %ld bytes, rsyslog %ld "
                    "bytes\n",
                    cores, qPrintable(loadAverage()), line128().size(), kSeconds, socketStats(p.port).receiveBuffer,
                    rsyslogPid > 0 ? socketStats(rsyslogPort).receiveBuffer : -1L);
    }
    RateSearch::printHeader();
    RateSearch agent("syslog", "agent", kSeconds, [](int rate) { return agentTrial(rate); });
    RateSearch peer("syslog", "rsyslog", kSeconds,
                    [&](int rate) { return peerTrial(line128(), rsyslogPort, rsyslogLines, rsyslogPid, rate, kSeconds); });
    RateSearch bare("syslog", "bare-read", kSeconds, [](int rate) { return bareTrial(line128(), rate, kSeconds); });
    std::printf("load average at the end %s\n", qPrintable(loadAverage()));
    compareReceivers(agent, rsyslogPid > 0 ? &peer : nullptr, bare, rates, "", "rsyslog", "lines");
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
        std::vector<int> rates{100000, 200000, 300000, 400000, 500000, 600000, 700000,
                               800000, 900000, 1000000, 1100000, 1200000, 1400000};
        if (argc > 5) {
            rates.clear();
            for (const QByteArray& r : QByteArray(argv[5]).split(','))
                rates.push_back(r.toInt());
        }
        return runPaced(port, out, pid, rates);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
