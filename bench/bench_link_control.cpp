// Control port on loopback: echo round trips per second (client write -> network thread ->
// control server thread -> network thread -> client read), and the frame codec alone.
#include "common/NotificationBase.h"
#include "common/NotificationFixedSize.h"
#include "link/CControlServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

CControlServer* g_server = nullptr;

void BM_EchoRoundTrip(benchmark::State& state)
{
    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), g_server->serverPort());
    if (!client.waitForConnected(10000)) {
        state.SkipWithError("cannot connect");
        return;
    }
    qint32 sequence = 0;
    for (auto _ : state) {
        ++sequence;
        client.write(NotificationBase::frameBytes(NotificationFixedSize(1, sequence, 0, 0)));
        client.flush();
        NotificationPtr reply;
        while (!reply) {
            bool error = false;
            reply = NotificationBase::readFrom(&client, error);
            if (error || (!reply && !client.waitForReadyRead(10000))) {
                state.SkipWithError("no reply");
                return;
            }
        }
        if (static_cast<const NotificationFixedSize*>(reply.data())->value1() != sequence) {
            state.SkipWithError("wrong reply");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
    client.disconnectFromHost();
    if (client.state() != QAbstractSocket::UnconnectedState)
        client.waitForDisconnected(5000);
    // Let the server notice before the next run connects (one client at a time).
    QThread::msleep(50);
}
BENCHMARK(BM_EchoRoundTrip)->UseRealTime();

void BM_FrameCodec(benchmark::State& state)
{
    const QByteArray frame = NotificationBase::frameBytes(NotificationFixedSize(10002, 1, 0, 0));
    for (auto _ : state) {
        const NotificationBase::Frame parsed = NotificationBase::parseFrame(frame.constData(), frame.size());
        benchmark::DoNotOptimize(NotificationBase::frameBytes(*parsed.notification));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameCodec);

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    auto* server = new CControlServer(nullptr, QStringLiteral("control server"), 2, 0);
    server->start();
    server->releaseStartGate();
    QElapsedTimer timer;
    timer.start();
    while (server->serverPort() == 0 && timer.elapsed() < 10000)
        QThread::msleep(5);
    g_server = server;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    server->stop();
    server->releaseEndGate();
    server->wait();
    delete server;
    return 0;
}
