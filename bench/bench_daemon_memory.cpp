// Memory of the real daemon: idle with the checks library loaded, and with 10,000 and 100,000
// stored monitor records of 19 settings each.
// The records are stored the way the service's polls store them, without running the polls:
// one poll of a listener that never answers keeps a transaction open, and every further poll
// with that transaction id is refused but has its settings stored. So the figure is the stored
// records alone, not the working copies the task threads keep of monitors they poll.
// Prints VmRSS, RssAnon and RssFile, and the anonymous memory per stored record.
// Runs itself in private namespaces (root); see DaemonBenchHarness.h.
#include "DaemonBenchHarness.h"
#include "agent/link/DaemonPollFrames.h"

#include <benchmark/benchmark.h>

namespace {

namespace msg = peer::msg;

constexpr int kSettings = 19;
constexpr int kBatch = 500;

// A TCP monitor record with 19 settings whose names, descriptions and values are as long as
// the service's usual ones.
QByteArray monitorWith19Settings(int monitorId, int port)
{
    stZamMonitor r;
    r.optMonitorId = Optional<int>(monitorId);
    r.pluginId = 1;
    r.typeIndex = 1;
    qstrncpy(r.hostName, "server-42.example.internal", sizeof(r.hostName));
    qstrncpy(r.hostAddress, "127.0.0.1", sizeof(r.hostAddress));
    r.timeout = 60000;
    QList<SMonitorSetting> settings;
    for (int i = 0; i < kSettings; ++i) {
        SMonitorSetting s;
        s.displayName.setValue(i == 0 ? QByteArray(" Port") : " Setting number " + QByteArray::number(i));
        s.displayHint.setValue("What the check does with setting " + QByteArray::number(i) + " of this type");
        s.kind = i % 2 ? 's' : 'i';
        s.intValue = Optional<int>(i == 0 ? port : i * 7);
        s.valueText = i == 0 ? QString::number(port) : QStringLiteral("value-%1-%2").arg(monitorId).arg(i);
        settings << s;
    }
    r.settingRecords = settings;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(7);
    writeMonitorRecord(out, r);
    return bytes;
}

struct Usage
{
    long rss = 0, anon = 0, file = 0;
};

Usage usageOf(const daemonbench::Daemon& daemon)
{
    return {daemon.statusKb("VmRSS:"), daemon.statusKb("RssAnon:"), daemon.statusKb("RssFile:")};
}

void report(benchmark::State& state, const char* prefix, const Usage& u)
{
    state.counters[std::string(prefix) + "_rss_kb"] = double(u.rss);
    state.counters[std::string(prefix) + "_anon_kb"] = double(u.anon);
    state.counters[std::string(prefix) + "_file_kb"] = double(u.file);
}

// Waits until the daemon's memory stops moving (the allocator and the threads settle).
Usage settled(const daemonbench::Daemon& daemon)
{
    Usage last = usageOf(daemon);
    for (int i = 0; i < 20; ++i) {
        waitUntil([] { return false; }, 250);
        const Usage now = usageOf(daemon);
        if (now.rss == last.rss && now.anon == last.anon)
            return now;
        last = now;
    }
    return last;
}

void BM_DaemonMemory(benchmark::State& state)
{
    const int records = int(state.range(0));
    pollframes::StalledListener stalled;
    daemonbench::Daemon daemon;
    const QString error = daemon.start();
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    peer::Session* s = daemon.connect();
    if (!s) {
        state.SkipWithError("no session");
        return;
    }
    constexpr int kOpen = 7;
    // The open transaction: a poll of the silent listener, far from its time-out. Its answer
    // also tells that the library is loaded.
    s->send(pollframes::pollWithSettings(kOpen, pollframes::tcpMonitorData(1, stalled.port(), 600000)));
    s->send(peer::frame(8, msg::PingReq));
    peer::Message m;
    if (!s->waitFor(msg::PingResp, m)) {
        state.SkipWithError("no answer to the ping");
        return;
    }
    const Usage idle = settled(daemon);
    Usage stored;
    for (auto _ : state) {
        int answered = 0;
        for (int first = 2; first < records + 2; first += kBatch) {
            QByteArray batch;
            for (int id = first; id < qMin(first + kBatch, records + 2); ++id)
                batch += pollframes::pollWithSettings(kOpen, monitorWith19Settings(id, stalled.port()));
            s->send(batch);
            const int want = qMin(first + kBatch, records + 2) - 2;
            while (answered < want && s->waitFor(msg::PollResp, m, 20000))
                ++answered;
        }
        if (answered != records) {
            state.SkipWithError("not every refused poll was answered");
            break;
        }
        stored = settled(daemon);
    }
    report(state, "idle", idle);
    report(state, "stored", stored);
    state.counters["anon_bytes_per_record"] = double(stored.anon - idle.anon) * 1024.0 / records;
    state.counters["record_wire_bytes"] = double(monitorWith19Settings(100000, stalled.port()).size());
    delete s;
}
BENCHMARK(BM_DaemonMemory)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return daemonbench::runBenchmarks(argc, argv);
}
