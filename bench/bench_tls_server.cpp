// Passive TLS on loopback, agent (server) side: handshakes accepted per second, and memory per
// open TLS connection. The clients run in a child process (this program started with
// "--tls-clients"), so the figures are those of the agent's side alone.
#include "link/CAcceptedAgentLinkEvent.h"
#include "link/CAgentServer.h"
#include "common/AgentLinkLog.h"
#include "common/CAgentConnection.h"
#include "support/TestCertificates.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

TestCertificates* certs = nullptr;

// ---- client process -------------------------------------------------------------------------
// mode "loop": keeps `count` handshakes in flight, each socket closed once encrypted.
// mode "hold": opens `count` connections and keeps them until killed.
int runClients(const QString& mode, quint16 port, int count, const QString& dir)
{
    const QSslCertificate cert = QSslCertificate::fromPath(dir + "/service.pem").value(0);
    QFile keyFile(dir + "/service.key");
    keyFile.open(QIODevice::ReadOnly);
    const QSslKey key(keyFile.readAll(), QSsl::Rsa);
    // In loop mode the agent side ends each session once it is established, so the client never
    // closes with unread handshake bytes (which would reset the stream before the agent is done).
    std::function<void()> startOne = [&] {
        auto* s = new QSslSocket();
        s->setLocalCertificate(cert);
        s->setPrivateKey(key);
        s->setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(s, &QSslSocket::disconnected, [&, s] {
            s->deleteLater();
            if (mode == "loop")
                QTimer::singleShot(0, startOne);
        });
        QObject::connect(s, &QAbstractSocket::errorOccurred, [&, s] {
            if (s->state() != QAbstractSocket::ConnectedState && !s->isEncrypted() && mode == "loop") {
                s->deleteLater();
                QTimer::singleShot(1, startOne);
            }
        });
        s->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    };
    for (int i = 0; i < count; ++i)
        startOne();
    return QCoreApplication::exec();
}

// ---- agent side -----------------------------------------------------------------------------
struct Handler : IAgentConnectionEvent
{
    int* total = nullptr;
    int* errors = nullptr;
    bool established = false;
    void connectionEstablished() override
    {
        established = true;
        ++*total;
    }
    void connectionClosed() override {}
    void dataArrived(const char*, unsigned int) override {}
    void connectionError(const QString&) override { ++*errors; }
    void connectionLog(const QString&) override {}
};

// Makes a connection for every accepted event, as the link would.
struct Sink : IAgentLinkEventSink
{
    struct Entry
    {
        std::unique_ptr<Handler> handler;
        std::unique_ptr<CAgentConnection> connection;
    };
    int established = 0;
    int errors = 0;
    std::vector<Entry> open;

    void postLinkEvent(const CAgentLinkEventPtr& e) override
    {
        if (e->type() != CAcceptedAgentLinkEvent::Type)
            return;
        auto info = static_cast<const CAcceptedAgentLinkEvent*>(e.data())->info();
        Entry entry;
        entry.handler = std::make_unique<Handler>();
        entry.handler->total = &established;
        entry.handler->errors = &errors;
        entry.connection.reset(createAcceptedAgentConnection(info, entry.handler.get(), QString()));
        open.push_back(std::move(entry));
    }
    // Ends established sessions and frees finished ones.
    void recycle(bool closeEstablished)
    {
        for (Entry& e : open) {
            if (closeEstablished && e.handler->established)
                e.connection->close();
            if (e.connection->isUnconnected() && (e.handler->established || !e.connection->errorString().isEmpty()))
                e.connection.reset();
        }
        open.erase(std::remove_if(open.begin(), open.end(), [](const Entry& e) { return !e.connection; }), open.end());
    }
};

SAgentConnectionSettings serverSettings()
{
    SAgentConnectionSettings s;
    s.readFromSettings = true;
    s.transport = 1;
    s.host = QStringLiteral("127.0.0.1");
    s.port = 0;
    s.certificatePath = certs->cert("agent");
    s.privateKeyPath = certs->key("agent");
    s.serviceCertificatePath = certs->cert("service");
    return s;
}

std::unique_ptr<QProcess> startClients(const char* mode, quint16 port, int count)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QCoreApplication::applicationFilePath(),
             {"--tls-clients", mode, QString::number(port), QString::number(count), certs->dir()});
    p->waitForStarted();
    return p;
}

long rssBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    f.open(QIODevice::ReadOnly);
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.value(1).toLong() * 4096;
}

void BM_TlsHandshakesAccepted(benchmark::State& state)
{
    Sink sink;
    int& established = sink.established;
    std::unique_ptr<CAgentServer> server(createAgentServer(&sink, serverSettings()));
    server->setMaxPendingConnections(1 << 20);
    auto clients = startClients("loop", server->listeningPort(), int(state.range(0)));
    for (auto _ : state) {
        const int target = established + 1;
        while (established < target) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            sink.recycle(true);
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failed_per_established"] = double(sink.errors) / std::max(1, established);
    clients->kill();
    clients->waitForFinished();
    sink.open.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_TlsHandshakesAccepted)->Arg(1)->Arg(4)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(3.0);

void BM_TlsMemoryPerOpenConnection(benchmark::State& state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        Sink sink;
        int& established = sink.established;
        sink.open.reserve(size_t(count));
        std::unique_ptr<CAgentServer> server(createAgentServer(&sink, serverSettings()));
        server->setMaxPendingConnections(count);
        const long before = rssBytes();
        auto clients = startClients("hold", server->listeningPort(), count);
        while (established < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const long after = rssBytes();
        state.counters["bytes_per_connection"] = double(after - before) / count;
        clients->kill();
        clients->waitForFinished();
        sink.open.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(BM_TlsMemoryPerOpenConnection)->Arg(200)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 6 && std::strcmp(argv[1], "--tls-clients") == 0)
        return runClients(QString::fromLatin1(argv[2]), quint16(atoi(argv[3])), atoi(argv[4]), QString::fromLocal8Bit(argv[5]));
    setAgentLinkLogSink(nullptr);
    TestCertificates made;
    if (!made.ok()) {
        fprintf(stderr, "%s\n", qPrintable(made.error()));
        return 1;
    }
    certs = &made;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
