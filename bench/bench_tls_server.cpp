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
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <atomic>
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

// The daemon gives every accepted link its own thread and the handshake runs there: accepted
// connections go round robin to one event-loop thread per core, and every handshake in flight
// has its own client process, so neither side serialises the handshakes.
class LinkThreads
{
public:
    explicit LinkThreads(int count)
    {
        for (int i = 0; i < count; ++i) {
            auto thread = std::make_unique<QThread>();
            auto* context = new QObject();
            context->moveToThread(thread.get());
            QObject::connect(thread.get(), &QThread::finished, context, &QObject::deleteLater);
            thread->start();
            m_contexts.push_back(context);
            m_threads.push_back(std::move(thread));
        }
    }
    ~LinkThreads()
    {
        for (auto& t : m_threads) {
            t->quit();
            t->wait();
        }
    }
    QObject* next() { return m_contexts[m_next++ % m_contexts.size()]; }

private:
    std::vector<std::unique_ptr<QThread>> m_threads;
    std::vector<QObject*> m_contexts;
    size_t m_next = 0;
};

// One accepted connection on its link thread: closed once established, then freed there.
struct ThreadedSession : IAgentConnectionEvent
{
    std::atomic<int>* established = nullptr;
    std::atomic<int>* errors = nullptr;
    CAgentConnection* connection = nullptr;
    bool done = false;

    // Runs at most once; before the connection exists, the maker cleans up.
    void finish()
    {
        if (done)
            return;
        done = true;
        if (connection)
            QTimer::singleShot(0, connection, [this] { release(); });
    }
    void release()
    {
        connection->setEventHandler(nullptr);
        connection->close();
        connection->deleteLater();
        delete this;
    }
    void connectionEstablished() override
    {
        established->fetch_add(1);
        finish();
    }
    void connectionClosed() override { finish(); }
    void dataArrived(const char*, unsigned int) override {}
    void connectionError(const QString&) override
    {
        errors->fetch_add(1);
        finish();
    }
    void connectionLog(const QString&) override {}
};

struct ThreadedSink : IAgentLinkEventSink
{
    explicit ThreadedSink(int threads) : links(threads) {}
    LinkThreads links;
    std::atomic<int> established{0};
    std::atomic<int> errors{0};

    void postLinkEvent(const CAgentLinkEventPtr& e) override
    {
        if (e->type() != CAcceptedAgentLinkEvent::Type)
            return;
        const auto info = static_cast<const CAcceptedAgentLinkEvent*>(e.data())->info();
        QMetaObject::invokeMethod(links.next(), [this, info] {
            auto* session = new ThreadedSession;
            session->established = &established;
            session->errors = &errors;
            session->connection = createAcceptedAgentConnection(info, session, QString());
            if (!session->connection)
                delete session;
            else if (session->done)
                session->release();
        });
    }
};

void BM_TlsHandshakesAcceptedOnLinkThreads(benchmark::State& state)
{
    const int inFlight = int(state.range(0));
    const int cores = QThread::idealThreadCount();
    {
        ThreadedSink sink(cores);
        std::unique_ptr<CAgentServer> server(createAgentServer(&sink, serverSettings()));
        server->setMaxPendingConnections(1 << 20);
        std::vector<std::unique_ptr<QProcess>> clients;
        for (int i = 0; i < inFlight; ++i)
            clients.push_back(startClients("loop", server->listeningPort(), 1));
        // Let every client reach its loop before counting.
        while (sink.established.load() < inFlight)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const int before = sink.established.load();
        for (auto _ : state) {
            const int target = sink.established.load() + 1;
            while (sink.established.load() < target)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        state.SetItemsProcessed(sink.established.load() - before);
        state.counters["failed_per_established"] =
            double(sink.errors.load()) / std::max(1, sink.established.load());
        state.counters["cores"] = cores;
        for (auto& c : clients) {
            c->kill();
            c->waitForFinished();
        }
        server.reset();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_TlsHandshakesAcceptedOnLinkThreads)
    ->Arg(1)->Arg(4)->Arg(16)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(3.0);

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
