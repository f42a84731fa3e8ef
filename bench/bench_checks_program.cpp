// Program and Python script polls per second of one-line scripts, side by side with hyperfine
// running the same scripts (mostly process start-up on both sides), and an e-mail round trip's
// time against the round-trip script run alone. Needs the test servers for the round trip
// (bash scripts/test-servers.sh start); bench/bench_program_peers.sh installs hyperfine from
// Debian and runs it.
#include "zam_plugin_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class DebianPython : public IPluginGlobalSettings
{
public:
    QString pythonPath() override { return QStringLiteral("/usr/bin/python3"); }
};

IPluginGlobalSettings* globalSettings()
{
    static DebianPython settings;
    return &settings;
}

void* services(const char* name)
{
    return std::strcmp(name, "PluginGlobalSettings_getInterface") == 0 ? reinterpret_cast<void*>(&globalSettings) : nullptr;
}

void* scratchMemory(stZamMonitor*, unsigned size, int)
{
    static thread_local std::vector<char> buffer;
    buffer.resize(size);
    return buffer.data();
}

struct Monitor
{
    stZamMonitor mon{};
    std::vector<stZamSettingEntry> entries;
    std::vector<std::string> texts;
    explicit Monitor(unsigned type)
    {
        mon.typeIndex = type;
        mon.timeout = 10000;
        std::strcpy(mon.hostAddress, "127.0.0.1");
        texts.reserve(32);
        entries.reserve(32);
    }
    void add(const char* name, int kind, int64_t value, const char* text = "")
    {
        texts.emplace_back(text);
        stZamSettingEntry e{};
        e.name = name;
        e.id = kind;
        e.valueInt = value;
        e.valueText = texts.back().c_str();
        entries.push_back(e);
        mon.settings.entries = entries.data();
        mon.settings.count = static_cast<uint32_t>(entries.size());
    }
};

double pollsPerSecond(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, Monitor& m, int rounds)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        if (zam_plugin_poll(ctx, tctx, &m.mon) != 0)
            std::printf("poll failed: %s\n", m.mon.failReason);
    }
    return rounds / (clock.nsecsElapsed() / 1e9);
}

// hyperfine's mean time of a command, as runs per second.
double hyperfinePerSecond(const QString& command, const QString& folder)
{
    const QString json = folder + "/hyperfine.json";
    QProcess::execute("hyperfine", {"--runs", "100", "--warmup", "5", "-N", "--export-json", json, command});
    QFile f(json);
    f.open(QIODevice::ReadOnly);
    const QByteArray text = f.readAll();
    const int at = text.indexOf("\"mean\":");
    return at < 0 ? 0 : 1.0 / text.mid(at + 7, 30).split(',').first().trimmed().toDouble();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    zam_plugin_register_service_data_cb(&services);
    stCoreZamContext* ctx = nullptr;
    zam_plugin_init(&ctx);
    zam_plugin_register_getmem_cb(&scratchMemory);
    stCoreZamThreadContext* tctx = nullptr;
    zam_plugin_init_thread(ctx, &tctx);
    QTemporaryDir dir;
    const QString shell = dir.filePath("one.sh");
    const QString python = dir.filePath("one.py");
    QFile(shell).open(QIODevice::WriteOnly);
    { QFile f(shell); f.open(QIODevice::WriteOnly); f.write("echo 1\n"); }
    { QFile f(python); f.open(QIODevice::WriteOnly); f.write("print(1)\n"); }
    const std::string shellPath = shell.toStdString(), pythonPath = python.toStdString();

    Monitor program(14);
    program.add("Path to Program File", 'L', 0, shellPath.c_str());
    program.add("Program Parameters", 's', 0);
    program.add("Program Type", 'e', 1);
    program.add("Program Mode", 'e', 0);
    program.add("Divide returned value by", 's', 0, "1");
    program.add("Run monitor As", 'C', 2);
    Monitor py(45);
    py.add("Path", 'L', 0, pythonPath.c_str());
    py.add("Run monitor As", 'C', 2);

    const double programRate = pollsPerSecond(ctx, tctx, program, 300);
    const double shellPeer = hyperfinePerSecond("/bin/sh " + shell, dir.path());
    const double pythonRate = pollsPerSecond(ctx, tctx, py, 100);
    const double pythonPeer = hyperfinePerSecond("/usr/bin/python3 " + python, dir.path());
    std::printf("cores %ld\n", sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("program (sh, one line): %7.1f polls/s   hyperfine: %7.1f runs/s   ratio %.2f\n", programRate, shellPeer, programRate / shellPeer);
    std::printf("python (one line):      %7.1f polls/s   hyperfine: %7.1f runs/s   ratio %.2f\n", pythonRate, pythonPeer, pythonRate / pythonPeer);

    Monitor trip(46);
    trip.add("Protocol for mail inbox query", 'e', 1);
    trip.add("SMTP port", 'i', 18725);
    trip.add("SMTP secure connection type", 'e', 0);
    trip.add("IMAP port", 'i', 18743);
    trip.add("Use IMAP authentication", 'y', 1);
    trip.add("IMAP secure connection type", 'e', 0);
    trip.add("User Name", 'l', 0, "zamtest");
    trip.add("Password", 'p', 0, "zt-Secret42");
    trip.add("To", 'm', 0, "zamtest@zam.test");
    QElapsedTimer clock;
    clock.start();
    const int rc = zam_plugin_poll(ctx, tctx, &trip.mon);
    const double viaPoll = clock.nsecsElapsed() / 1e6;
    QProcess alone;
    clock.restart();
    alone.start("/usr/bin/python3", {QCoreApplication::applicationDirPath() + "/../scripts/email_round_trip/main.py", "--host", "127.0.0.1",
                                     "--timeout", "10", "--to", "zamtest@zam.test", "--smtp-port", "18725", "--smtp-secure-connection",
                                     "none", "--read-host", "127.0.0.1", "--read-secure-connection", "none", "--read-port", "18743",
                                     "--read-user", "zamtest"});
    alone.write("zt-Secret42\r\n");
    alone.closeWriteChannel();
    alone.waitForFinished(20000);
    const double scriptAlone = clock.nsecsElapsed() / 1e6;
    std::printf("round trip: poll %.0f ms (rc %d), script alone %.0f ms (rc %d), ratio %.2f\n", viaPoll, rc, scriptAlone, alone.exitCode(),
                viaPoll / scriptAlone);
    zam_plugin_term_thread(ctx, tctx);
    zam_plugin_term(ctx);
    return 0;
}
