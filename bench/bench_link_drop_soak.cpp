// Memory of the real daemon across dropped sessions: the service opens a passive TCP session,
// starts 100 TCP polls of a listener that never accepts (so they are still running), and drops
// the link: every other time with a clean close, otherwise by cutting the connection in the
// middle of a frame. 50 drops; the daemon's VmRSS after the first 5 (warm: thread pool, stored
// monitors) and after the last, and the growth per drop in between. A leak of a dropped session
// shows as a steady kb_per_drop; flat memory keeps it near 0.
// Runs itself in private namespaces (root); see DaemonBenchHarness.h.
#include "DaemonBenchHarness.h"
#include "agent/link/DaemonPollFrames.h"

#include <benchmark/benchmark.h>

namespace {

namespace msg = peer::msg;

constexpr int kDrops = 50;
constexpr int kWarmDrops = 5;
constexpr int kPollsInFlight = 100;
constexpr int kPollTimeoutMs = 3000;

void dropOnce(daemonbench::Daemon& daemon, int drop, int& transaction, quint16 stalledPort, bool& ok)
{
    peer::Session* s = daemon.connect();
    if (!s) {
        ok = false;
        return;
    }
    QByteArray batch;
    for (int m = 1; m <= kPollsInFlight; ++m)
        batch += pollframes::pollWithSettings(transaction++, pollframes::tcpMonitorData(m, stalledPort, kPollTimeoutMs));
    s->send(batch);
    // Every frame so far has been handled once the ping comes back.
    s->send(peer::frame(transaction, msg::PingReq));
    peer::Message m;
    ok = s->waitFor(msg::PingResp, m);
    ++transaction;
    if (drop % 2 == 0) {
        s->close();
    } else {
        s->send(peer::frame(transaction++, msg::PingReq).left(6));
        s->socket()->flush();
        s->socket()->abort();
    }
    waitUntil([s] { return s->isClosed() || s->socket()->state() == QAbstractSocket::UnconnectedState; }, 5000);
    delete s;
}

void BM_DroppedSessionsWithPollsInFlight(benchmark::State& state)
{
    pollframes::StalledListener stalled;
    daemonbench::Daemon daemon;
    const QString error = daemon.start();
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    int transaction = 1000;
    long warmKb = 0;
    long endKb = 0;
    long warmThreads = 0;
    long endThreads = 0;
    for (auto _ : state) {
        for (int drop = 1; drop <= kDrops; ++drop) {
            bool ok = true;
            dropOnce(daemon, drop, transaction, stalled.port(), ok);
            if (!ok) {
                state.SkipWithError("session did not come up or answer");
                return;
            }
            if (drop == kWarmDrops) {
                warmKb = daemon.rssKb();
                warmThreads = daemon.threads();
            }
        }
        // Let the polls of the last session run out before the last reading.
        waitUntil([] { return false; }, kPollTimeoutMs + 1000);
        endKb = daemon.rssKb();
        endThreads = daemon.threads();
    }
    state.counters["rss_warm_kb"] = double(warmKb);
    state.counters["rss_end_kb"] = double(endKb);
    state.counters["threads_warm"] = double(warmThreads);
    state.counters["threads_end"] = double(endThreads);
    state.counters["kb_per_drop"] = double(endKb - warmKb) / double(kDrops - kWarmDrops);
}
BENCHMARK(BM_DroppedSessionsWithPollsInFlight)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return daemonbench::runBenchmarks(argc, argv);
}
