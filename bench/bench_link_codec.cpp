// Agent-link codec throughput: decoding small poll requests, encoding poll responses
// with 4 KiB of result sections, and parsing one 50 MiB raw body.
#include "link/AgentMessageDecoder.h"
#include "link/AgentMessages.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

QByteArray makeFrame(int type, const QByteArray& body, int id)
{
    QByteArray f(AgentMessageHeader::Size, '\0');
    AgentMessageHeader h;
    h.type = type;
    h.id = id;
    h.length = body.size();
    h.write(f.data(), AgentMessageHeader::Size);
    return f + body;
}

double peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0;
}

void BM_DecodePollRequest(benchmark::State& state)
{
    const QByteArray frame = makeFrame(CPollAgentReq::Type, "has_template_id=1,mon_id=1234567,template_id=42", 1001);
    for (auto _ : state) {
        QString err;
        CAgentMessagePtr m = decodeAgentMessage(frame.constData(), frame.size(), err, false);
        benchmark::DoNotOptimize(m.data());
    }
    state.counters["frame_bytes"] = frame.size();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodePollRequest);

void BM_EncodePollResponse4KiB(benchmark::State& state)
{
    SPollOutcome o;
    o.status = 3;
    o.result = 0;
    o.resultSections = QByteArray(4096, 's');
    o.middle = QByteArray(80, 'm');
    o.failReason = "connection refused";
    o.hostName = "host.example.org";
    o.hostAddress = "127.0.0.1";
    QByteArray buffer(8192, '\0');
    int lastSize = 0;
    for (auto _ : state) {
        CPollAgentResp resp(o, 77);
        int size = buffer.size();
        if (resp.serialize(buffer.data(), size) != 0)
            state.SkipWithError("buffer too small");
        lastSize = size;
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["frame_bytes"] = lastSize;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodePollResponse4KiB);

void BM_ParseRawBody50MiB(benchmark::State& state)
{
    const int n = 50 * 1024 * 1024;
    // Built in place so that only the frame itself is held before decoding.
    const QByteArray head = "upgrade_data=RAW(" + QByteArray::number(n) + ",";
    QByteArray frame = makeFrame(CUpgradeAgentMessage::Type, head, -1);
    frame.reserve(frame.size() + n + 1);
    frame.append(n, '\x5a');
    frame.append(')');
    AgentMessageHeader h;
    h.type = 15;
    h.length = frame.size() - AgentMessageHeader::Size;
    h.write(frame.data(), AgentMessageHeader::Size);
    for (auto _ : state) {
        QString err;
        CAgentMessagePtr m = decodeAgentMessage(frame.constData(), frame.size(), err, false);
        if (!m || static_cast<CUpgradeAgentMessage*>(m.data())->upgradeData.size() != n)
            state.SkipWithError("decode failed");
    }
    state.counters["input_MiB"] = double(frame.size()) / (1024.0 * 1024.0);
    state.counters["peak_rss_MiB"] = peakRssMiB();
    state.SetBytesProcessed(int64_t(state.iterations()) * frame.size());
}
BENCHMARK(BM_ParseRawBody50MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
