// Polls per second of the network checks on loopback: TCP against the test nginx (1 and 8
// threads), UDP against the test echo server, and ping of 127.0.0.1 (needs root for the raw
// socket). Start the servers first: bash scripts/test-servers.sh start.

#include "BenchPluginHost.h"
#include "ClosingAcceptor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

void BM_TcpPollNginx(benchmark::State& state)
{
    BenchMonitor m(1, 5000);
    m.add("Port", 'i', testservers::kHttpPort);
    m.add("Reverse", 'y', 0);
    benchPolls(state, m);
}
BENCHMARK(BM_TcpPollNginx)->Threads(1)->Threads(8)->UseRealTime();

// The same against an in-process acceptor that only accepts and closes: the checks' own cost,
// without the web server's limits.
ClosingAcceptor* g_acceptor = nullptr;

void BM_TcpPollLocalAcceptor(benchmark::State& state)
{
    BenchMonitor m(1, 5000);
    m.add("Port", 'i', g_acceptor->port());
    m.add("Reverse", 'y', 0);
    benchPolls(state, m);
}
BENCHMARK(BM_TcpPollLocalAcceptor)->Threads(1)->Threads(8)->UseRealTime();

void BM_UdpPollEcho(benchmark::State& state)
{
    BenchMonitor m(2, 5000);
    m.add("Port", 'i', testservers::kUdpEchoPort);
    m.add("Data in Hex", 's', 0, "0102030405060708090a0b0c0d0e0f10");
    m.add("Expect Echo Response", 'y', 1);
    benchPolls(state, m);
}
BENCHMARK(BM_UdpPollEcho)->Threads(1)->Threads(8)->UseRealTime();

void BM_PingPollLoopback(benchmark::State& state)
{
    BenchMonitor m(0, 2000);
    m.add("Packet Size, bytes", 'i', 32);
    m.add("Reverse", 'y', 0);
    benchPolls(state, m);
}
BENCHMARK(BM_PingPollLoopback)->Threads(1)->Threads(8)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BenchPluginHost host;
    ClosingAcceptor acceptor;
    g_acceptor = &acceptor;
    return runBenchmarks(argc, argv);
}
