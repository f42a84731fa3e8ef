// FTP check: polls per second against the test vsftpd without TLS (anonymous listing of "/", 1 and 8
// threads). Start the servers first: bash scripts/test-servers.sh start.
// bench/bench_ftp_peers.sh runs a `curl --list-only` loop beside it.

#include "BenchPluginHost.h"

namespace {

constexpr unsigned kFtp = 7;

struct FtpMonitor : BenchMonitor {
    FtpMonitor() : BenchMonitor(kFtp, 5000)
    {
        add("Port", 'i', testservers::kFtpNoTlsPort);
        add("Use SFTP Protocol", 'e', 0);
        add("User Account for Authentication", 'c', 0);
    }
};

void BM_FtpPollVsftpd(benchmark::State& state)
{
    FtpMonitor m;
    benchPolls(state, m);
}
BENCHMARK(BM_FtpPollVsftpd)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return benchPluginMain(argc, argv, &benchScratchMemory);
}
