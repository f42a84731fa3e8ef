// Polls per second of the mail checks against the test servers, 1 and 8 threads: SMTP
// (connect, EHLO, QUIT) against aiosmtpd and IMAP (connect, LOGIN, LOGOUT) against dovecot.
// bench/bench_mail_peers.sh runs them beside prometheus-blackbox-exporter's tcp prober holding
// the same dialogues. Start the servers first: bash scripts/test-servers.sh start.

#include "support/TestServers.h"
#include "zam_plugin_api.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Monitor {
    stZamMonitor mon{};
    std::vector<stZamSettingEntry> entries;
    std::vector<std::string> texts;

    Monitor(unsigned type, int timeoutMs)
    {
        mon.typeIndex = type;
        mon.timeout = timeoutMs;
        std::strcpy(mon.hostAddress, testservers::kHost);
        texts.reserve(16);
    }
    void add(const char* name, int kind, int64_t value, const char* text = nullptr)
    {
        stZamSettingEntry e{};
        e.name = name;
        e.id = kind;
        e.valueInt = value;
        if (text) {
            texts.emplace_back(text);
            e.valueText = texts.back().c_str();
        }
        entries.push_back(e);
        mon.settings.count = static_cast<uint32_t>(entries.size());
        mon.settings.entries = entries.data();
    }
    void addServer(int port, int auth)
    {
        add("Port", 'i', port);
        add("User Account for Authentication", 'c', auth);
        add("User Name", 'l', 0, testservers::kUser);
        add("Password", 'p', 0, testservers::kPassword);
        add("Secure Connection Type", 'e', 0);
        add("Ignore SSL certificate errors", 'y', 1);
        add("Use TLS v1.0 only", 'y', 0);
    }
};

struct Library {
    stCoreZamContext* ctx = nullptr;
    Library() { zam_plugin_init(&ctx); }
    ~Library() { zam_plugin_term(ctx); }
};

Library* g_library = nullptr;

void runPolls(benchmark::State& state, Monitor& m)
{
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(g_library->ctx, &tctx);
    int failed = 0;
    for (auto _ : state) {
        if (zam_plugin_poll(g_library->ctx, tctx, &m.mon) != 0)
            ++failed;
    }
    zam_plugin_term_thread(g_library->ctx, tctx);
    state.SetItemsProcessed(state.iterations());
    state.counters["failed"] = benchmark::Counter(failed, benchmark::Counter::kAvgThreads);
    if (failed)
        state.SetLabel(m.mon.failReason);
}

void BM_SmtpPollEhloQuit(benchmark::State& state)
{
    Monitor m(3, 5000);
    m.addServer(testservers::kSmtpPort, 0);
    m.add("Test Message", 'M', 0);
    runPolls(state, m);
}
BENCHMARK(BM_SmtpPollEhloQuit)->Threads(1)->Threads(8)->UseRealTime();

void BM_ImapPollLoginLogout(benchmark::State& state)
{
    Monitor m(5, 5000);
    m.addServer(testservers::kImapPort, 1);
    runPolls(state, m);
}
BENCHMARK(BM_ImapPollLoginLogout)->Threads(1)->Threads(8)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Library library;
    g_library = &library;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
