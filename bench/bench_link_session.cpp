// The agent link through the whole daemon side on loopback: a real agent manager and its
// session thread, the test engine answering every poll at once (no network work), and a
// blocking client playing the service. Poll round trips per second one at a time and with
// 100 in flight, ping -> pong latency (median and 99th percentile), memory per session.
#include "common/AgentLinkLog.h"
#include "common/SAgentConnectionSettings.h"
#include "link/AgentMessageHeader.h"
#include "link/AgentMessages.h"
#include "link/CAgentAgentManager.h"
#include "support/TestCertificates.h"
#include "support/TestLinkEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <vector>

namespace {

QByteArray header(qint32 id, qint32 type, qint32 length)
{
    QByteArray h(AgentMessageHeader::Size, '\0');
    h[0] = char(AgentMessageHeader::Magic);
    const qint32 v[3] = {id, type, length};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            h[1 + i * 4 + b] = char((quint32(v[i]) >> (8 * b)) & 0xFF);
    return h;
}

QByteArray pollFrame(qint32 id)
{
    static const QByteArray body("has_template_id=0,mon_id=1,template_id=0");
    return header(id, CPollAgentReq::Type, body.size()) + body;
}

// A blocking client; counts received frames of one type.
class Client
{
public:
    bool connect(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        if (!m_socket.waitForConnected(5000))
            return false;
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return expect(CSelfIdentificationAgentNot::Type, 1) && expect(CLocalhostInfoAgentNot::Type, 1);
    }
    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Reads until `count` frames of the type have arrived; false on a time-out.
    bool expect(int type, int count)
    {
        int seen = 0;
        while (seen < count) {
            while (seen < count && m_buffer.size() - m_pos >= AgentMessageHeader::Size) {
                const char* p = m_buffer.constData() + m_pos;
                auto le = [p](int at) {
                    return qint32(quint32(quint8(p[at])) | quint32(quint8(p[at + 1])) << 8
                                  | quint32(quint8(p[at + 2])) << 16 | quint32(quint8(p[at + 3])) << 24);
                };
                const qint32 length = le(9);
                if (m_buffer.size() - m_pos < AgentMessageHeader::Size + length)
                    break;
                if (le(5) == type)
                    ++seen;
                m_pos += AgentMessageHeader::Size + length;
            }
            if (m_pos > 0 && m_pos == m_buffer.size()) {
                m_buffer.clear();
                m_pos = 0;
            }
            if (seen >= count)
                break;
            if (!m_socket.bytesAvailable() && !m_socket.waitForReadyRead(5000))
                return false;
            m_buffer += m_socket.readAll();
        }
        return true;
    }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    int m_pos = 0;
};

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

struct Agent
{
    std::shared_ptr<TestLinkEngine> engine = std::make_shared<TestLinkEngine>();
    std::unique_ptr<CAgentAgentManager> manager;

    bool start(bool tls, TestCertificates* certs)
    {
        engine->addMonitor(1);
        SAgentConnectionSettings s;
        s.transport = tls ? 1 : 0;
        s.host = QStringLiteral("127.0.0.1");
        s.port = 0;
        if (certs) {
            s.certificatePath = certs->cert("agent");
            s.privateKeyPath = certs->key("agent");
            s.serviceCertificatePath = certs->cert("service");
        }
        SAgentLinkConfig config;
        config.passive = true;
        config.server = s;
        config.connectionId = QStringLiteral("0123456789abcdef0123456789abcdef");
        manager = std::make_unique<CAgentAgentManager>(nullptr, QStringLiteral("agent manager"), 16);
        manager->setConfiguration(config);
        manager->setEngine(engine);
        manager->start();
        QElapsedTimer t;
        t.start();
        while (manager->serverPort() == 0 && t.elapsed() < 5000)
            QThread::msleep(1);
        return manager->serverPort() != 0;
    }
    ~Agent()
    {
        if (manager)
            manager->stopAndWait();
    }
};

Agent* plainAgent = nullptr;
Client* client = nullptr;
int nextTransaction = 1;

void BM_PollRoundTripOneAtATime(benchmark::State& state)
{
    for (auto _ : state) {
        client->send(pollFrame(nextTransaction++));
        if (!client->expect(CPollAgentResp::Type, 1)) {
            state.SkipWithError("no poll response");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PollRoundTripOneAtATime)->UseRealTime()->MinTime(2.0);

void BM_PollRoundTrip100InFlight(benchmark::State& state)
{
    const int inFlight = 100;
    for (auto _ : state) {
        QByteArray batch;
        for (int i = 0; i < inFlight; ++i)
            batch += pollFrame(nextTransaction++);
        client->send(batch);
        if (!client->expect(CPollAgentResp::Type, inFlight)) {
            state.SkipWithError("no poll responses");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * inFlight);
}
BENCHMARK(BM_PollRoundTrip100InFlight)->UseRealTime()->MinTime(2.0);

void BM_PingLatency(benchmark::State& state)
{
    std::vector<double> us;
    us.reserve(100000);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        client->send(header(nextTransaction++, CPingAgentReq::Type, 0));
        if (!client->expect(CPingAgentResp::Type, 1)) {
            state.SkipWithError("no pong");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    if (!us.empty()) {
        std::sort(us.begin(), us.end());
        state.counters["median_us"] = us[us.size() / 2];
        state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    }
}
BENCHMARK(BM_PingLatency)->UseRealTime()->MinTime(2.0);

// Sessions that are accepted but still waiting for their TLS handshake: each is a session
// thread with its connection. Resident memory grown per such session.
void BM_MemoryPerSession(benchmark::State& state)
{
    TestCertificates certs;
    Agent agent;
    if (!certs.ok() || !agent.start(true, &certs)) {
        state.SkipWithError("agent did not start");
        return;
    }
    const int sessions = 16;   // the agent server's bound on not yet established sessions
    for (auto _ : state) {
        const long before = rssKb();
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < sessions; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost(QHostAddress::LocalHost, agent.manager->serverPort());
            s->waitForConnected(5000);
            sockets.push_back(std::move(s));
        }
        QElapsedTimer t;
        t.start();
        while (agent.manager->pendingLinkCount() < sessions && t.elapsed() < 5000)
            QThread::msleep(2);
        QThread::msleep(200);
        const long after = rssKb();
        state.counters["sessions"] = agent.manager->pendingLinkCount();
        state.counters["rss_kB_per_session"] = double(after - before) / sessions;
        sockets.clear();
        while (agent.manager->pendingLinkCount() > 0 && t.elapsed() < 40000)
            QThread::msleep(10);
    }
}
BENCHMARK(BM_MemoryPerSession)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    setAgentLinkLogSink(nullptr);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Agent agent;
    Client c;
    if (!agent.start(false, nullptr) || !c.connect(agent.manager->serverPort()))
        return 1;
    c.send(header(0, CPingAgentReq::Type, 0));
    c.expect(CPingAgentResp::Type, 1);
    plainAgent = &agent;
    client = &c;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
