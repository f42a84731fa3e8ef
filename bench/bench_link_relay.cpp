// SNMP datagram relay on loopback: 1 KiB datagrams from the service side to a UDP echo peer
// and back to the service side, in batches of 32.
#include "link/AgentRelayMessages.h"
#include "link/CSnmpRelayControl.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUdpSocket>

namespace {

void BM_RelayRoundTrip1KiB(benchmark::State& state)
{
    QUdpSocket echo;
    echo.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&echo, &QUdpSocket::readyRead, [&] {
        while (echo.hasPendingDatagrams()) {
            QByteArray d(int(echo.pendingDatagramSize()), Qt::Uninitialized);
            QHostAddress from;
            quint16 port = 0;
            const qint64 n = echo.readDatagram(d.data(), d.size(), &from, &port);
            if (n >= 0)
                echo.writeDatagram(d.constData(), n, from, port);
        }
    });
    qint64 back = 0;
    CSnmpRelayControl control([&](const CAgentMessagePtr& m) {
        if (m->type() == CSnmpData::Type)
            ++back;
    }, 0);
    control.handleRequest(CSnmpReq(1, 0, "127.0.0.1:" + QByteArray::number(echo.localPort())));
    const CSnmpData datagram(1, QByteArray(1024, 'd'));
    constexpr int kBatch = 32;
    qint64 sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            control.handleData(datagram);
        sent += kBatch;
        QElapsedTimer t;
        t.start();
        while (back < sent && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (back < sent) {
            state.SkipWithError("datagrams lost");
            break;
        }
    }
    state.SetItemsProcessed(back);
    state.SetBytesProcessed(back * 1024 * 2);
}
BENCHMARK(BM_RelayRoundTrip1KiB)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
