// The SNMP trap receiver end to end: captured trap datagrams replayed on loopback through
// Net-SNMP's parse (and v3 authPriv decryption), the record, the filter match, the limit and
// the event (Google Benchmark; the sender waits whenever 128 traps are outstanding, so
// nothing is lost and the rate is the pipeline's own). BM_TrapV2cWithV3SessionOpens adds 8
// threads that open and close SNMPv3 sessions under Net-SNMP's shared lock, as task threads do.
// With --paced PORT_SNMPTRAPD OUTFILE SNMPTRAPD_PID: a paced sender at 20k, 50k and 100k traps/s
// for 3 s each, v2c and v3 authPriv, first against this receiver, then against snmptrapd on
// its own port; prints loss and CPU per rate and the ratios of the highest lossless rates.
// bench/bench_trap_peers.sh starts snmptrapd and runs this.
#include "ProcessUsage.h"
#include "agent/engine/ComponentRunner.h"
#include "engine/CPluginManager.h"
#include "engine/NetSnmpLibrary.h"
#include "receivers/CSnmpTrapManager.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QUdpSocket>
#include "ReceiverBenchHelpers.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace receiverbench;

const char* const kEngineId = "0x8000000001020301";
const SSnmpTrapCredential kUser{QStringLiteral("shaaes"), 1, QStringLiteral(":shaauthpass"), 2, QStringLiteral(":aesprivpass")};

// One linkDown trap as snmptrap sends it: v2c, or v3 authPriv (SHA/AES) from a fixed engine ID.
QByteArray capturedTrap(bool v3)
{
    QUdpSocket sink;
    sink.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QStringList args;
    if (v3)
        args << "-v" << "3" << "-e" << kEngineId << "-u" << "shaaes" << "-l" << "authPriv" << "-a" << "SHA" << "-A"
             << "shaauthpass" << "-x" << "AES" << "-X" << "aesprivpass";
    else
        args << "-v" << "2c" << "-c" << "public";
    args << QStringLiteral("127.0.0.1:%1").arg(sink.localPort()) << "" << ".1.3.6.1.6.3.1.1.5.3"
         << ".1.3.6.1.2.1.2.2.1.1.3" << "i" << "3" << ".1.3.6.1.2.1.2.2.1.2.3" << "s" << "eth0";
    QProcess::execute(QStringLiteral("snmptrap"), args);
    if (!sink.waitForReadyRead(5000))
        return QByteArray();
    QByteArray datagram(static_cast<int>(sink.pendingDatagramSize()), '\0');
    sink.readDatagram(datagram.data(), datagram.size());
    return datagram;
}

struct Pipeline
{
    explicit Pipeline(bool v3)
        : port(freePort())
        , manager(new CSnmpTrapManager(nullptr, QStringLiteral("snmp trap manager"), 32, port))
        , runner(manager.get())
    {
        UdpReceiverHooks hooks;
        hooks.sendMonitorEvent = [this](int, const CMonitorEventPtr& e) {
            if (e->typeId() == 6)
                events.fetch_add(1, std::memory_order_relaxed);
            else if (e->typeId() == 4)
                started = true;
        };
        hooks.engineReady = [] { return true; };
        manager->setHooks(hooks);
        auto* f = new CSnmpGenTrapFilterEvent;
        f->address = CIpAddressRange::fromHostName(QStringLiteral("127.0.0.1"), Optional<QHostAddress>());
        f->oid = QStringLiteral(".1.3.6.1.6.3.1.1.5.3");
        if (v3)
            f->securityName = QStringLiteral("shaaes");
        manager->setFilter(1, {f}, 1, 1000000000, 60);   // a limit that never trips, still counted
        runner.start();
        while (!started)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        manager->updateCredentials(kUser);
    }
    ~Pipeline() { runner.finish(); }

    quint16 port;
    std::atomic<quint64> events{0};
    std::atomic<bool> started{false};
    std::unique_ptr<CSnmpTrapManager> manager;
    ComponentRunner<CSnmpTrapManager> runner;
};

// Task threads opening SNMPv3 sessions (key localisation inside) under the shared lock.
class SessionOpeners
{
public:
    explicit SessionOpeners(int threads)
    {
        NetSnmpLibrary::initOnce();
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this, i] { run(i); });
    }
    ~SessionOpeners()
    {
        m_stop = true;
        for (std::thread& t : m_threads)
            t.join();
    }
    quint64 opened() const { return m_opened.load(); }

private:
    void run(int index)
    {
        char peer[] = "udp:127.0.0.1:9";
        char user[] = "benchuser";
        const u_char engine[] = {0x80, 0, 0, 0, 7, 1, 2, 3, static_cast<u_char>(index)};
        while (!m_stop) {
            netsnmp_session s;
            snmp_sess_init(&s);
            s.peername = peer;
            s.version = SNMP_VERSION_3;
            s.securityName = user;
            s.securityNameLen = sizeof user - 1;
            s.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
            s.securityAuthProto = usmHMACSHA1AuthProtocol;
            s.securityAuthProtoLen = OID_LENGTH(usmHMACSHA1AuthProtocol);
            s.securityPrivProto = usmAESPrivProtocol;
            s.securityPrivProtoLen = OID_LENGTH(usmAESPrivProtocol);
            s.securityEngineID = const_cast<u_char*>(engine);
            s.securityEngineIDLen = sizeof engine;
            s.flags |= SNMP_FLAGS_DONT_PROBE;
            const char pass[] = "benchpassphrase";
            s.securityAuthKeyLen = USM_AUTH_KU_LEN;
            s.securityPrivKeyLen = USM_PRIV_KU_LEN;
            // As the checks do: the master keys outside the lock, the session (and its
            // localised user) inside it.
            generate_Ku(s.securityAuthProto, static_cast<u_int>(s.securityAuthProtoLen),
                        reinterpret_cast<const u_char*>(pass), sizeof pass - 1, s.securityAuthKey, &s.securityAuthKeyLen);
            generate_Ku(s.securityAuthProto, static_cast<u_int>(s.securityAuthProtoLen),
                        reinterpret_cast<const u_char*>(pass), sizeof pass - 1, s.securityPrivKey, &s.securityPrivKeyLen);
            pthread_mutex_lock(CPluginManager::snmpSharedMutex());
            void* opened = snmp_sess_open(&s);
            if (opened)
                snmp_sess_close(opened);
            pthread_mutex_unlock(CPluginManager::snmpSharedMutex());
            m_opened.fetch_add(1);
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_opened{0};
    std::vector<std::thread> m_threads;
};

void runWindowed(benchmark::State& state, bool v3, int openerThreads)
{
    const QByteArray datagram = capturedTrap(v3);
    if (datagram.isEmpty()) {
        state.SkipWithError("snmptrap gave no datagram");
        return;
    }
    Pipeline p(v3);
    std::unique_ptr<SessionOpeners> openers(openerThreads ? new SessionOpeners(openerThreads) : nullptr);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in to = loopback(p.port);
    quint64 sent = 0, lost = 0;
    constexpr quint64 kWindow = 128;
    auto delivered = [&] { return p.events.load(std::memory_order_relaxed) + lost; };
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
    const quint64 opened0 = openers ? openers->opened() : 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            waitBelow(kWindow - 1);
            ::sendto(fd, datagram.constData(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            ++sent;
        }
    }
    waitBelow(0);
    ::close(fd);
    state.SetItemsProcessed(static_cast<int64_t>(sent - lost));
    state.counters["lost"] = static_cast<double>(lost);
    if (openers)
        state.counters["v3_opens"] = static_cast<double>(openers->opened() - opened0);
}

void BM_TrapV2cReceiveToEvent(benchmark::State& state) { runWindowed(state, false, 0); }
void BM_TrapV3AuthPrivReceiveToEvent(benchmark::State& state) { runWindowed(state, true, 0); }
void BM_TrapV2cWithV3SessionOpens(benchmark::State& state) { runWindowed(state, false, 8); }
BENCHMARK(BM_TrapV2cReceiveToEvent)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TrapV3AuthPrivReceiveToEvent)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TrapV2cWithV3SessionOpens)->Unit(benchmark::kMillisecond)->UseRealTime();

double pacedSend(const QByteArray& datagram, quint16 port, int rate, int seconds, quint64& sent)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in to = loopback(port);
    const double before = threadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const quint64 total = quint64(rate) * seconds;
    sent = 0;
    while (sent < total) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const quint64 due = std::min<quint64>(total, quint64(elapsed * rate) + 1);
        while (sent < due) {
            ::sendto(fd, datagram.constData(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            ++sent;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::close(fd);
    return threadCpuSeconds() - before;
}

int runPaced(quint16 peerPort, const QString& peerOut, long peerPid)
{
    const int rates[] = {5000, 10000, 20000, 50000, 100000};
    const int seconds = 3;
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("cores: %ld; receive buffer: system default (net.core.rmem_default) for both\n", cores);
    std::printf("%-6s %-10s %8s %10s %10s %8s %8s\n", "kind", "peer", "rate/s", "sent", "received", "lost", "cpu %");
    for (bool v3 : {false, true}) {
        const char* kind = v3 ? "v3" : "v2c";
        const QByteArray datagram = capturedTrap(v3);
        if (datagram.isEmpty()) {
            std::printf("%s: snmptrap gave no datagram\n", kind);
            return 1;
        }
        int agentLossless = 0, peerLossless = 0;
        for (int rate : rates) {
            {
                Pipeline p(v3);
                // The first v3 datagram makes the localised user; it is not part of the rate.
                quint64 warm = 0;
                pacedSend(datagram, p.port, 10, 1, warm);
                settle([&] { return p.events.load(); });
                const quint64 base = p.events.load();
                const double cpu0 = processCpuSeconds();
                quint64 sent = 0;
                const double senderCpu = pacedSend(datagram, p.port, rate, seconds, sent);
                const quint64 got = settle([&] { return p.events.load(); }) - base;
                const double cpu = processCpuSeconds() - cpu0 - senderCpu;
                std::printf("%-6s %-10s %8d %10llu %10llu %8llu %8.1f\n", kind, "agent", rate, (unsigned long long)sent,
                            (unsigned long long)got, (unsigned long long)(sent > got ? sent - got : 0), 100.0 * cpu / seconds);
                if (got >= sent && rate > agentLossless)
                    agentLossless = rate;
            }
            if (peerPid > 0) {
                const quint64 before = fileLines(peerOut);
                const double cpu0 = pidCpuSeconds(peerPid);
                quint64 sent = 0;
                pacedSend(datagram, peerPort, rate, seconds, sent);
                const quint64 got = settle([&] { return fileLines(peerOut); }) - before;
                const double cpu = pidCpuSeconds(peerPid) - cpu0;
                std::printf("%-6s %-10s %8d %10llu %10llu %8llu %8.1f\n", kind, "snmptrapd", rate,
                            (unsigned long long)sent, (unsigned long long)got,
                            (unsigned long long)(sent > got ? sent - got : 0), 100.0 * cpu / seconds);
                if (got >= sent && rate > peerLossless)
                    peerLossless = rate;
            }
            std::fflush(stdout);
        }
        std::printf("%s highest lossless rate: agent %d/s, snmptrapd %d/s", kind, agentLossless, peerLossless);
        if (peerLossless > 0)
            std::printf(", ratio %.2f (%ld cores)", double(agentLossless) / peerLossless, cores);
        else
            std::printf(", snmptrapd lossless at none of the rates (%ld cores)", cores);
        std::printf("\n");
    }
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
