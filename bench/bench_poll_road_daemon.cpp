// Polls per second through the whole daemon over the link, as the service drives it: TCP polls
// of one web server port (ZAM_POLL_ROAD_TCP_PORT, else an in-process acceptor that closes each
// connection) by id (type 6, settings stored once by a type 5) and with settings (type 5 every
// time), and ping polls of 127.0.0.1 by id, with 1, 8 and more polls in flight, each in-flight
// slot on a monitor of its own. The peer is a blocking client on a raw socket that only cuts
// headers, so it is not what limits the rate.
// Counters: wakeups_per_poll is the daemon's context switches (all threads, voluntary and not)
// per answered poll; failed the answers that are not a check that ran and succeeded (status 3,
// result 0).
//
// The road of one poll (type 5/6 in, type 7 out), thread by thread: link thread (decode, open
// the transaction, post) -> task manager thread (pending list, pick a worker, enqueue) -> task
// thread (check, result) -> link thread (answer), and the task thread -> task manager thread
// again (worker free; workers that finish meanwhile share one wake-up): 3 hops and up to 4
// wake-ups per poll, 2 of them through a thread that only passes the task on. The checks
// library's background name lookup of every poll cost about 6 context switches per poll at 1 in
// flight (the resolver thread and its lookup helper) until a repeat holding the answer of a
// lookup made within the last second was served on the task thread. Measured (8 cores, load
// 4-6): 8-10 context switches per TCP poll at 1 in flight (15 before), 2.6 at 8 (4-5 before). Each wake costs a scheduler round trip (tens of microseconds on a loaded
// machine); the link's Nagle wait cost up to 40 ms per answer before the link sockets sent at
// once.
// Runs itself in private namespaces (root) unless ZAM_DAEMON_BENCH_INSIDE is set by a caller
// that made them (bench_poll_road_peers.sh); see DaemonBenchHarness.h.
#include "ClosingAcceptor.h"
#include "DaemonBenchHarness.h"
#include "agent/link/DaemonPollFrames.h"

#include <benchmark/benchmark.h>

#include <QDir>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <chrono>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace msg = peer::msg;

constexpr int kBatch = 2000;        // answers per benchmark iteration
constexpr int kSlotBits = 10;       // transaction id = sequence << kSlotBits | slot
constexpr int kPolled = 3;          // the status of a poll whose check ran

// The service's end of one session on a blocking socket: frames out in one write per batch,
// frames in cut by their headers.
class RawLink
{
public:
    ~RawLink()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Connected and identified (the agent's localhost information has arrived). While the
    // daemon still holds an earlier session (the harness's probe), a new one is closed right
    // after its identification: try again.
    bool open(quint16 port)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (openOnce(port)) {
                // A refused session ends within a moment of its identification (the manager
                // thread handles the earlier one's end first): watch it for a second.
                for (int i = 0; i < 10 && !m_closed; ++i)
                    receive([](qint32, qint32, const char*, int) {}, 100);
                if (!m_closed)
                    return true;
            }
            ::close(m_fd);
            m_fd = -1;
            m_closed = false;
            m_in.clear();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    bool openOnce(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(port);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
            return false;
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        bool identified = false;
        for (int i = 0; i < 200 && !identified; ++i)
            if (!receive([&](qint32, qint32 type, const char*, int) { identified |= type == msg::LocalhostInfoNot; }, 100))
                return false;
        return identified;
    }

    void queue(const QByteArray& frame) { m_out += frame; }
    bool flush()
    {
        const char* p = m_out.constData();
        qint64 left = m_out.size();
        while (left > 0) {
            const ssize_t n = ::send(m_fd, p, size_t(left), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            left -= n;
        }
        m_out.clear();
        return true;
    }

    // Waits up to timeoutMs for bytes and hands every complete frame to f(id, type, body,
    // size); false when the session is gone.
    template <class F>
    bool receive(F&& f, int timeoutMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0)
            return errno == EINTR;
        if (ready == 0)
            return true;
        const int old = m_in.size();
        m_in.resize(old + 65536);
        const ssize_t n = ::recv(m_fd, m_in.data() + old, 65536, 0);
        m_in.resize(old + int(qMax<ssize_t>(n, 0)));
        if (n <= 0) {
            m_closed = true;
            return false;
        }
        int pos = 0;
        while (m_in.size() - pos >= peer::kHeaderSize) {
            const char* h = m_in.constData() + pos;
            const qint32 length = le32(h + 9);
            if (m_in.size() - pos < peer::kHeaderSize + length)
                break;
            f(le32(h + 1), le32(h + 5), h + peer::kHeaderSize, length);
            pos += peer::kHeaderSize + length;
        }
        m_in.remove(0, pos);
        return true;
    }

private:
    static qint32 le32(const char* p)
    {
        return qint32(quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16
                      | quint32(quint8(p[3])) << 24);
    }

    int m_fd = -1;
    bool m_closed = false;
    QByteArray m_out;
    QByteArray m_in;
};

struct SettingRow
{
    const char* name;
    char kind;
    int value;
};

// A monitor of 127.0.0.1 whose host name is the one the address resolves to, as the service
// keeps it: the checks library's background lookup then finds nothing new to report.
QByteArray loopbackMonitorData(int typeIndex, int monitorId, int timeoutMs, const QList<SettingRow>& rows)
{
    stZamMonitor r;
    r.optMonitorId = Optional<int>(monitorId);
    r.pluginId = 1;
    r.typeIndex = typeIndex;
    qstrncpy(r.hostName, "localhost", sizeof(r.hostName));
    qstrncpy(r.hostAddress, "127.0.0.1", sizeof(r.hostAddress));
    r.timeout = timeoutMs;
    QList<SMonitorSetting> settings;
    for (const SettingRow& row : rows) {
        SMonitorSetting s;
        s.displayName.setValue(row.name);
        s.kind = row.kind;
        s.intValue = Optional<int>(row.value);
        s.valueText = QString::number(row.value);
        settings << s;
    }
    r.settingRecords = settings;
    r.buildSettingEntries();
    return stZamMonitor::storedFormOf(r);
}

// Context switches of every thread of a process.
long contextSwitches(qint64 pid)
{
    long sum = 0;
    const QString base = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(base + QLatin1Char('/') + tid + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                sum += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return sum;
}

struct Shared
{
    daemonbench::Daemon daemon;
    RawLink link;
    std::unique_ptr<ClosingAcceptor> acceptor;   // without a web server
    quint16 tcpPort = 0;
    quint32 sequence = 1;
    QString error;
};
Shared* g = nullptr;

enum Kind { TcpById, TcpWithSettings, PingById };

// Keeps inFlight polls going, one per slot, until `answers` more have come back; with
// answers == 0 it only collects what is still open.
class Pump
{
public:
    Pump(std::vector<QByteArray> frames) : m_frames(std::move(frames)), m_open(m_frames.size(), false) {}

    void send(int slot)
    {
        QByteArray f = m_frames[size_t(slot)];
        const quint32 id = (g->sequence++ % (1u << (31 - kSlotBits))) << kSlotBits | quint32(slot);
        for (int b = 0; b < 4; ++b)
            f[1 + b] = char((id >> (8 * b)) & 0xFF);
        g->link.queue(f);
        m_open[size_t(slot)] = true;
        ++m_inFlight;
    }

    bool run(long answers, bool refill)
    {
        long got = 0;
        while (refill ? got < answers : m_inFlight > 0) {
            const bool alive = g->link.receive(
                [&](qint32 id, qint32 type, const char* body, int size) {
                    if (type != msg::PollResp)
                        return;
                    const int slot = id & ((1 << kSlotBits) - 1);
                    if (size_t(slot) >= m_open.size() || !m_open[size_t(slot)])
                        return;
                    m_open[size_t(slot)] = false;
                    --m_inFlight;
                    ++got;
                    ++answered;
                    if (valueOf(body, size, "status=") != kPolled || valueOf(body, size, "result=") != 0)
                        ++failed;
                    if (refill)
                        send(slot);
                },
                5000);
            if (!alive || !g->link.flush())
                return false;
        }
        return true;
    }

    long answered = 0;
    long failed = 0;

private:
    // A number field of an answer's body; the fields before the raw ones hold no commas.
    static int valueOf(const char* body, int size, const char* key)
    {
        const size_t n = std::strlen(key);
        const char* p = static_cast<const char*>(memmem(body, size_t(size), key, n));
        return p ? std::atoi(p + n) : -1;
    }

    std::vector<QByteArray> m_frames;
    std::vector<bool> m_open;
    int m_inFlight = 0;
};

void BM_PollsThroughDaemon(benchmark::State& state)
{
    if (!g->error.isEmpty()) {
        state.SkipWithError(qPrintable(g->error));
        return;
    }
    const Kind kind = Kind(state.range(0));
    const int inFlight = int(state.range(1));
    std::vector<QByteArray> store, polls;
    for (int slot = 0; slot < inFlight; ++slot) {
        const int monitor = 1000 * (kind + 1) + slot;
        const QByteArray data = kind == PingById
                                    ? loopbackMonitorData(0, monitor, 2000, {{"Packet Size, bytes", 'i', 32}, {"Reverse", 'y', 0}})
                                    : loopbackMonitorData(1, monitor, 5000, {{"Port", 'i', g->tcpPort}});
        store.push_back(pollframes::pollWithSettings(0, data));
        polls.push_back(kind == TcpWithSettings ? store.back() : pollframes::pollById(0, monitor));
    }
    // Settings stored and every slot's monitor polled once before the clock runs.
    Pump warm(store);
    for (int slot = 0; slot < inFlight; ++slot)
        warm.send(slot);
    if (!g->link.flush() || !warm.run(0, false)) {
        state.SkipWithError("the session ended");
        return;
    }
    Pump pump(polls);
    for (int slot = 0; slot < inFlight; ++slot)
        pump.send(slot);
    g->link.flush();
    const long switchesBefore = contextSwitches(g->daemon.pid());
    for (auto _ : state) {
        if (!pump.run(kBatch, true)) {
            state.SkipWithError("the session ended");
            return;
        }
    }
    const long timed = pump.answered;
    const long switches = contextSwitches(g->daemon.pid()) - switchesBefore;
    pump.run(0, false);
    static const char* const names[] = {"TCP by id", "TCP with settings", "ping by id"};
    state.SetLabel(names[kind]);
    state.SetItemsProcessed(timed);
    state.counters["wakeups_per_poll"] = double(switches) / double(qMax(1L, pump.answered));
    state.counters["failed"] = double(pump.failed);
}
BENCHMARK(BM_PollsThroughDaemon)
    ->ArgNames({"kind", "in_flight"})
    ->Args({TcpById, 1})
    ->Args({TcpById, 8})
    ->Args({TcpWithSettings, 1})
    ->Args({TcpWithSettings, 8})
    ->Args({PingById, 1})
    ->Args({PingById, 8})
    ->Args({PingById, 32})
    ->Args({PingById, 64})
    ->MinTime(2)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    daemonbench::enterPrivateNamespaces(argc, argv);
    QCoreApplication app(argc, argv);
    Shared shared;
    g = &shared;
    shared.tcpPort = quint16(qEnvironmentVariableIntValue("ZAM_POLL_ROAD_TCP_PORT"));
    if (!shared.tcpPort) {
        shared.acceptor = std::make_unique<ClosingAcceptor>();
        shared.tcpPort = quint16(shared.acceptor->port());
    }
    shared.error = shared.daemon.start();
    if (shared.error.isEmpty() && !shared.link.open(shared.daemon.port()))
        shared.error = QStringLiteral("no session with the daemon");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g = nullptr;
    return 0;
}
