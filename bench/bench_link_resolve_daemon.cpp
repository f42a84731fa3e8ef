// Resolve requests (type 20) answered per second through the real daemon, over a passive TCP
// session, 100 in flight: the kind the service waits for (request id not 0, answered by a task
// each) and the background kind (request id 0, handed to the asynchronous resolver, answered
// because the previous answer sent along differs). Names come from the namespace's own hosts
// file, so the figures are the daemon's, not a DNS server's.
// Runs itself in private namespaces (root); see DaemonBenchHarness.h.
#include "DaemonBenchHarness.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

namespace msg = peer::msg;

constexpr int kNames = 1000;
constexpr int kInFlight = 100;

struct Setup
{
    QTemporaryDir names;
    daemonbench::Daemon daemon;
    peer::Session* session = nullptr;
    QString error;

    Setup()
    {
        QByteArray hosts = "127.0.0.1 localhost\n";
        for (int i = 0; i < kNames; ++i)
            hosts += "10.9." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250 + 1) + " name-"
                     + QByteArray::number(i) + ".bench\n";
        error = privatenames::install(names.path(), hosts);
        if (error.isEmpty())
            error = daemon.start();
        if (error.isEmpty() && !(session = daemon.connect()))
            error = QStringLiteral("no session");
    }
    ~Setup() { delete session; }
};

Setup* setup = nullptr;
int nextName = 0;
int nextId = 1;

QByteArray resolveFrame(int id, qint32 reqId)
{
    const QByteArray name = "name-" + QByteArray::number(nextName++ % kNames) + ".bench";
    return peer::frame(id, msg::ResolveReq,
                       {peer::Field::num("version", 1), peer::Field::num("reqId", reqId), peer::Field::num("isIp", 0),
                        peer::Field::raw("from", name), peer::Field::raw("prev", "0.0.0.0")});
}

void runBatches(benchmark::State& state, bool background)
{
    if (!setup->error.isEmpty()) {
        state.SkipWithError(qPrintable(setup->error));
        return;
    }
    peer::Session* s = setup->session;
    for (auto _ : state) {
        QByteArray batch;
        for (int i = 0; i < kInFlight; ++i) {
            const int id = nextId++;
            batch += resolveFrame(id, background ? 0 : id);
        }
        s->messages.clear();
        s->send(batch);
        const bool answered = waitUntil(
            [s] {
                int n = 0;
                for (const peer::Message& m : s->messages)
                    n += m.type == msg::ResolveResp ? 1 : 0;
                return n >= kInFlight;
            },
            20000);
        if (!answered) {
            state.SkipWithError("not every request was answered");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kInFlight);
}

void BM_ResolveAnsweredByTask(benchmark::State& state) { runBatches(state, false); }
BENCHMARK(BM_ResolveAnsweredByTask)->UseRealTime()->MinTime(3.0)->Unit(benchmark::kMillisecond);

void BM_ResolveAnsweredByBackgroundResolver(benchmark::State& state) { runBatches(state, true); }
BENCHMARK(BM_ResolveAnsweredByBackgroundResolver)->UseRealTime()->MinTime(3.0)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    daemonbench::enterPrivateNamespaces(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::unique_ptr<Setup> owner(new Setup);
    setup = owner.get();
    benchmark::RunSpecifiedBenchmarks();
    owner.reset();
    benchmark::Shutdown();
    return 0;
}
