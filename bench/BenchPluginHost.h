#pragma once
// The checks library as the benchmarks drive it: linked in, started once per process, polled
// from benchmark threads with monitor records built here.
// Threads: the host is created and destroyed on the main thread (or as a function-local static)
// and lives across every benchmark; one host per process. Each benchmark thread owns its
// BenchMonitor and its own thread context; the host only lends out the library context.

#include "support/TestServers.h"
#include "zam_plugin_api.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

// A monitor record with its settings rows; the rows point into this object, so it stays put.
struct BenchMonitor {
    stZamMonitor mon{};
    std::vector<stZamSettingEntry> entries;
    std::deque<std::string> texts;  // a deque keeps earlier valueText pointers valid

    BenchMonitor(unsigned type, int timeoutMs, const char* address = testservers::kHost)
    {
        mon.typeIndex = type;
        mon.timeout = timeoutMs;
        std::strcpy(mon.hostAddress, address);
    }
    BenchMonitor(const BenchMonitor&) = delete;
    BenchMonitor& operator=(const BenchMonitor&) = delete;

    // One settings row; the kind letter goes in the id slot, and no text means a null valueText.
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
};

// Result sections land in a per-thread scratch buffer; no benchmark reads them.
inline void* benchScratchMemory(stZamMonitor*, unsigned size, int)
{
    static thread_local std::vector<char> buffer;
    buffer.resize(size);
    return buffer.data();
}

class BenchPluginHost
{
public:
    // Without a memory callback the library keeps its results to itself, as some benchmarks want.
    explicit BenchPluginHost(ZamGetMemCallback memory = nullptr)
    {
        zam_plugin_init(&m_ctx);
        if (memory)
            zam_plugin_register_getmem_cb(memory);
        s_current = this;
    }
    ~BenchPluginHost()
    {
        zam_plugin_term(m_ctx);
        s_current = nullptr;
    }
    BenchPluginHost(const BenchPluginHost&) = delete;
    BenchPluginHost& operator=(const BenchPluginHost&) = delete;

    stCoreZamContext* ctx() const { return m_ctx; }
    static BenchPluginHost& current() { return *s_current; }

    // Polls `m` once per iteration on this benchmark thread; failed polls are counted and the
    // last fail reason becomes the label.
    void runPolls(benchmark::State& state, BenchMonitor& m) const
    {
        stCoreZamThreadContext* tctx = nullptr;
        zam_plugin_init_thread(m_ctx, &tctx);
        int failed = 0;
        for (auto _ : state) {
            if (zam_plugin_poll(m_ctx, tctx, &m.mon) != 0)
                ++failed;
        }
        zam_plugin_term_thread(m_ctx, tctx);
        state.SetItemsProcessed(state.iterations());
        state.counters["failed"] = benchmark::Counter(failed, benchmark::Counter::kAvgThreads);
        if (failed)
            state.SetLabel(m.mon.failReason);
    }

private:
    stCoreZamContext* m_ctx = nullptr;
    static inline BenchPluginHost* s_current = nullptr;
};

inline void benchPolls(benchmark::State& state, BenchMonitor& m)
{
    BenchPluginHost::current().runPolls(state, m);
}

// Runs the registered benchmarks; the caller owns the application object and the host.
inline int runBenchmarks(int& argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

// The usual main: the application object and the host live across the whole run.
inline int benchPluginMain(int argc, char** argv, ZamGetMemCallback memory = nullptr)
{
    QCoreApplication app(argc, argv);
    BenchPluginHost host(memory);
    return runBenchmarks(argc, argv);
}
