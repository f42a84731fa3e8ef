// Polls per second of the mail checks against the test servers, 1 and 8 threads: SMTP
// (connect, EHLO, QUIT) against aiosmtpd and IMAP (connect, LOGIN, LOGOUT) against dovecot.
// bench/bench_mail_peers.sh runs them beside prometheus-blackbox-exporter's tcp prober holding
// the same dialogues. Start the servers first: bash scripts/test-servers.sh start.

#include "BenchPluginHost.h"

namespace {

// Server rows shared by the SMTP and IMAP polls.
void addServer(BenchMonitor& m, int port, int auth)
{
    m.add("Port", 'i', port);
    m.add("User Account for Authentication", 'c', auth);
    m.add("User Name", 'l', 0, testservers::kUser);
    m.add("Password", 'p', 0, testservers::kPassword);
    m.add("Secure Connection Type", 'e', 0);
    m.add("Ignore SSL certificate errors", 'y', 1);
    m.add("Use TLS v1.0 only", 'y', 0);
}

void BM_SmtpPollEhloQuit(benchmark::State& state)
{
    BenchMonitor m(3, 5000);
    addServer(m, testservers::kSmtpPort, 0);
    m.add("Test Message", 'M', 0);
    benchPolls(state, m);
}
BENCHMARK(BM_SmtpPollEhloQuit)->Threads(1)->Threads(8)->UseRealTime();

void BM_ImapPollLoginLogout(benchmark::State& state)
{
    BenchMonitor m(5, 5000);
    addServer(m, testservers::kImapPort, 1);
    benchPolls(state, m);
}
BENCHMARK(BM_ImapPollLoginLogout)->Threads(1)->Threads(8)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return benchPluginMain(argc, argv);
}
