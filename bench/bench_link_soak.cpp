// A soak of the real daemon across link drops: polls kept at 100 in flight for
// ZAM_SOAK_SECONDS (default 600), the link dropped every ZAM_SOAK_DROP_SECONDS (default 10),
// every other time by a clean close and otherwise by a cut in the middle of a frame; in
// passive and active mode, over TCP and TLS. The daemon runs at NETAGENTD_TEST_TIME_SCALE 0.1
// so that an active agent reconnects within the drop interval.
// Counts: polls answered once on the session that asked; polls lost with their session;
// answers that came twice, on another session or for nothing asked (all three must stay 0);
// polls refused because their monitor was still busy, and monitors still busy at the end (must
// be 0). Prints VmRSS (and RssAnon), threads and open descriptors after each drop; after the
// first minute memory and descriptors should stay flat.
// Runs itself in private namespaces (root); see DaemonBenchHarness.h.
#include "DaemonBenchHarness.h"
#include "agent/link/DaemonPollFrames.h"

#include <benchmark/benchmark.h>

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <vector>

namespace {

constexpr int kInFlight = 100;
constexpr int kPollTimeoutMs = 3000;
const QString kBusy = QStringLiteral("previous poll has not finished yet");

int envSeconds(const char* name, int fallback)
{
    const int v = qEnvironmentVariableIntValue(name);
    return v > 0 ? v : fallback;
}

// Takes every connection and closes it, so the TCP checks end at once.
class ClosingServer : public QTcpServer
{
public:
    ClosingServer()
    {
        setMaxPendingConnections(1 << 16);
        listen(QHostAddress::LocalHost, 0);
        QObject::connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* c = nextPendingConnection()) {
                c->abort();
                c->deleteLater();
            }
        });
    }
};

struct Counts
{
    long sent = 0, answered = 0, lost = 0, duplicates = 0, foreign = 0, busy = 0;
};

class Soak
{
public:
    Soak(bool active, bool tls) : m_active(active), m_tls(tls) {}

    QString run(Counts& c, std::vector<std::pair<long, long>>& curve)
    {
        const QString error = startDaemon();
        if (!error.isEmpty())
            return error;
        const int seconds = envSeconds("ZAM_SOAK_SECONDS", 600);
        const int dropEvery = envSeconds("ZAM_SOAK_DROP_SECONDS", 10);
        QElapsedTimer total;
        total.start();
        for (int drop = 1; total.elapsed() < seconds * 1000LL; ++drop) {
            peer::Session* s = nextSession();
            if (!s)
                return QStringLiteral("no session after drop %1").arg(drop - 1);
            QHash<int, int> open;   // transaction -> monitor, this session's polls
            for (int m = 1; m <= kInFlight; ++m)
                send(s, open, m, c);
            QElapsedTimer slice;
            slice.start();
            while (slice.elapsed() < dropEvery * 1000LL && !s->isClosed()) {
                waitUntil([s] { return !s->messages.isEmpty() || s->isClosed(); }, 50);
                take(s, open, c);
            }
            if (drop % 2 == 0) {
                s->close();
            } else {
                s->send(peer::frame(m_next++, peer::msg::PingReq).left(6));
                s->socket()->flush();
                s->socket()->abort();
            }
            c.lost += open.size();
            curve.emplace_back(m_daemon.rssKb(), m_daemon.openFiles());
            std::fprintf(stderr, "drop %3d at %4lld s: rss %ld kB (anon %ld), threads %ld, fds %ld, answered %ld, lost %ld\n",
                         drop, total.elapsed() / 1000, curve.back().first, m_daemon.statusKb("RssAnon:"),
                         m_daemon.threads(), curve.back().second, c.answered, c.lost);
        }
        // Polls that were lost with their sessions must not hold their monitors: once the
        // checks' time-out has passed, every monitor takes a poll again.
        waitUntil([] { return false; }, kPollTimeoutMs + 1000);
        peer::Session* s = nextSession();
        if (!s)
            return QStringLiteral("no session for the final check");
        QHash<int, int> open;
        Counts last;
        for (int m = 1; m <= kInFlight; ++m)
            send(s, open, m, last);
        waitUntil([&] {
            take(s, open, last, false);
            return open.isEmpty();
        }, 30000);
        m_stillBusy = last.busy + open.size();
        c.duplicates += last.duplicates;
        c.foreign += last.foreign;
        return QString();
    }

    long stillBusy() const { return m_stillBusy; }

private:
    QString startDaemon()
    {
        const TestCertificates& certs = m_daemon.certificates();
        if (!certs.ok())
            return certs.error();
        const QByteArray transport = m_tls ? "SSL" : "TCP";
        const QByteArray cert = "CertificatePath=" + certs.cert("agent").toUtf8() + "\nPrivateKeyPath="
                                + certs.key("agent").toUtf8() + "\nServiceCertificatePath="
                                + certs.cert("service").toUtf8() + "\nAllowUntrustedService=0\n";
        m_identity = m_tls ? peer::loadTlsIdentity(certs.cert("service"), certs.key("service")) : peer::TlsIdentity();
        QByteArray settings;
        if (m_active) {
            m_listener.reset(new peer::Listener(m_identity));
            const quint16 port = m_listener->start();
            settings = "[Common]\nAgentType=0\n[ActiveAgentSettings]\nTransport=" + transport
                       + "\nHost=127.0.0.1\nPort=" + QByteArray::number(port) + "\n[SSLSettings]\n" + cert;
        } else {
            m_daemon.setPort(daemonbench::freePort());
            settings = "[Common]\nAgentType=1\n[AgentServer0]\nTransport=" + transport
                       + "\nEnabled=1\nHost=127.0.0.1\nPort=" + QByteArray::number(m_daemon.port()) + "\n[SSLSettings]\n"
                       + cert;
        }
        return m_daemon.startWith(settings, QStringLiteral("0.1"), !m_active);
    }

    peer::Session* nextSession()
    {
        if (!m_active)
            return m_daemon.connect(30000, m_identity);
        const int want = m_listener->sessions.size() + 1;
        if (!m_listener->waitForSession(want, 60000))
            return nullptr;
        peer::Session* s = m_listener->sessions.last();
        peer::Message m;
        return s->waitFor(peer::msg::LocalhostInfoNot, m, 20000) ? s : nullptr;
    }

    void send(peer::Session* s, QHash<int, int>& open, int monitor, Counts& c)
    {
        const int id = m_next++;
        open.insert(id, monitor);
        s->send(pollframes::pollWithSettings(id, pollframes::tcpMonitorData(monitor, m_target.serverPort(), kPollTimeoutMs)));
        ++c.sent;
    }

    // Handles the answers received so far; each answered monitor gets its next poll.
    void take(peer::Session* s, QHash<int, int>& open, Counts& c, bool pollAgain = true)
    {
        const QList<peer::Message> received = s->messages;
        s->messages.clear();
        for (const peer::Message& m : received) {
            if (m.type != peer::msg::PollResp)
                continue;
            if (static_cast<size_t>(m.id) >= m_answered.size())
                m_answered.resize(static_cast<size_t>(m.id) + 1024, 0);
            if (m_answered[static_cast<size_t>(m.id)]++) {
                ++c.duplicates;
                continue;
            }
            const auto it = open.find(m.id);
            if (it == open.end()) {
                ++c.foreign;   // asked on another session, or never
                continue;
            }
            const int monitor = it.value();
            open.erase(it);
            ++c.answered;
            if (m.text("failed_reason") == kBusy)
                ++c.busy;
            if (pollAgain && !s->isClosed())
                send(s, open, monitor, c);
        }
    }

    bool m_active;
    bool m_tls;
    daemonbench::Daemon m_daemon;
    std::unique_ptr<peer::Listener> m_listener;
    peer::TlsIdentity m_identity;
    ClosingServer m_target;
    int m_next = 1000;
    std::vector<unsigned char> m_answered;
    long m_stillBusy = 0;
};

void BM_SoakAcrossLinkDrops(benchmark::State& state)
{
    const bool active = state.range(0) != 0;
    const bool tls = state.range(1) != 0;
    Counts c;
    std::vector<std::pair<long, long>> curve;
    long stillBusy = 0;
    for (auto _ : state) {
        Soak soak(active, tls);
        const QString error = soak.run(c, curve);
        if (!error.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        stillBusy = soak.stillBusy();
    }
    state.SetLabel(std::string(active ? "active" : "passive") + (tls ? " TLS" : " TCP"));
    state.counters["answered"] = double(c.answered);
    state.counters["lost_with_session"] = double(c.lost);
    state.counters["answered_twice"] = double(c.duplicates);
    state.counters["answered_elsewhere"] = double(c.foreign);
    state.counters["refused_busy"] = double(c.busy);
    state.counters["busy_at_end"] = double(stillBusy);
    state.counters["drops"] = double(curve.size());
    // Memory and descriptors: the reading after the first minute's drops against the last.
    const size_t dropEvery = size_t(envSeconds("ZAM_SOAK_DROP_SECONDS", 10));
    const size_t warm = std::min(curve.size() - 1, std::max<size_t>(1, 60 / dropEvery) - 1);
    if (!curve.empty()) {
        state.counters["rss_warm_kb"] = double(curve[warm].first);
        state.counters["rss_end_kb"] = double(curve.back().first);
        state.counters["fds_warm"] = double(curve[warm].second);
        state.counters["fds_end"] = double(curve.back().second);
        const size_t drops = curve.size() - 1 - warm;
        state.counters["kb_per_drop"] = drops ? double(curve.back().first - curve[warm].first) / double(drops) : 0.0;
    }
}
BENCHMARK(BM_SoakAcrossLinkDrops)
    ->ArgNames({"active", "tls"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return daemonbench::runBenchmarks(argc, argv);
}
