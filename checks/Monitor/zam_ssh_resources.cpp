// SSH CPU, Memory, Process and Disk space monitor types: one of the agent's own shell scripts
// run on the host through a pooled SSH client, the number it prints reported with a unit, and
// for disks an enumeration of mount points. Runs on the polling thread; the monitor's
// SshPluginData (the loaded script) is touched by its own polls only.

#include "CHostInfo.h"
#include "CZamNewMonitorSetting.h"
#include "Ssh/CSshClient.h"
#include "Ssh/CSshClientPool.h"
#include "SshConnectionSettings.h"
#include "SshPluginData.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <QMap>

#include <cmath>
#include <vector>
#include <string>

namespace {

enum class Resource { Cpu, Memory, Process, Disk };

// One word for the remote shell: single-quoted, a quote written as '\''.
QByteArray shellWord(const std::string& text)
{
    QByteArray word = QByteArray::fromStdString(text);
    word.replace('\'', "'\\''");
    return "'" + word + "'";
}

int failWith(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    return setMonFailure(mon);
}

const char* scriptName(Resource r)
{
    switch (r) {
    case Resource::Cpu: return "/scripts/ssh-cpu-stats.sh";
    case Resource::Memory: return "/scripts/ssh-memory-stats.sh";
    case Resource::Process: return "/scripts/ssh-process.sh";
    default: return "/scripts/ssh-diskspace.sh";
    }
}

struct OwnSettings
{
    int metric = 0, type = 0, units = 0;
    std::string name, margs, path;
};

// The script's arguments and the unit set before the run; empty reason when valid.
const char* buildArguments(Resource r, stZamMonitor* mon, const OwnSettings& s, QByteArray& args, QByteArray& unit)
{
    static const char* const cpuArgs[] = {"-cputime active", "-cputime user", "-cputime system", "-cputime waitio",
                                          "-runqlen", "-intpersec", "-cswpersec"};
    switch (r) {
    case Resource::Cpu:
        if (s.metric < 0 || s.metric > 6)
            return "Unknown metric";
        args = cpuArgs[s.metric];
        if (s.metric <= 3)
            unit = " %";
        return nullptr;
    case Resource::Memory: {
        static const char* const memory[] = {"-memory phy", "-memory swap", "-memory total"};
        if (s.metric < 0 || s.metric > 2)
            return "Unknown metric";
        if (s.type < 0 || s.type > 1)
            return "Unknown usage type";
        if (s.units < 0 || s.units > 1)
            return "Unknown units";
        args = QByteArray(memory[s.metric]) + (s.type == 0 ? " -usage free" : " -usage used") + (s.units == 0 ? " -units MB" : " -units %");
        unit = s.units == 0 ? " MB" : " %";
        return nullptr;
    }
    case Resource::Process: {
        static const char* const metric[] = {"-metric count", "-metric cpu", "-metric memory"};
        static const char* const units[] = {"", " %", " KB"};
        if (s.metric < 0 || s.metric > 2)
            return "Unknown metric";
        args = metric[s.metric];
        unit = units[s.metric];
        // names and arguments from the service are words of their own, never shell text
        if (!s.name.empty())
            args += " -name " + shellWord(s.name);
        if (!s.margs.empty())
            args += " -margs " + shellWord(s.margs);
        return nullptr;
    }
    case Resource::Disk:
        if (mon->mode == 2) {
            args = " -enumerate";
            return nullptr;
        }
        if (!s.path.empty())
            args = "-name " + shellWord(s.path);
        if (s.type < 0 || s.type > 1)
            return "Unknown type";
        args += s.type == 0 ? " -type free" : " -type used";
        if (s.units == 2)
            args += " -percent";
        return nullptr;
    }
    return "Unknown metric";
}

int loadScriptFor(stZamMonitor* mon, const QByteArray& path)
{
    if (mon->pluginData == nullptr)
        mon->pluginData = new SshPluginData;
    auto* data = static_cast<SshPluginData*>(mon->pluginData);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("load script"));
    if (!data->loaded) {
        QByteArray text;
        const int rc = readScriptFromFile(mon, path, text);
        if (rc != 0)
            return rc;
        parseAndSetScriptText(data, text, QByteArray());
        data->loaded = true;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("load script ok"));
    return 0;
}

// Disk enumeration: one new monitor per mount point the script listed.
void reportMountPoints(stZamMonitor* mon, const QByteArray& output)
{
    int count = 0;
    for (const QByteArray& line : output.split('\n')) {
        const QByteArray point = line.trimmed();
        if (point.isEmpty())
            continue;
        const QString path = QString::fromUtf8(point);
        QMap<QString, CZamNewMonitorSetting> settings;
        settings.insert(QStringLiteral("Path"), CZamNewMonitorSetting(path, true));
        addNewMonitor(mon, QStringLiteral("SSH Disk space"), path, settings);
        ++count;
    }
    mon->perfValue = count;
}

int finishDisk(stZamMonitor* mon, const OwnSettings& s)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set units"));
    const char* unit;
    double factor;
    switch (s.units) {
    case 0: unit = " MB"; factor = 1.0 / 1024; break;
    case 1: unit = " GB"; factor = 1.0 / 1048576; break;
    case 2: unit = " %"; factor = 1; break;
    default: return failWith(mon, "Unknown units");
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set units ok"));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("units: %1, coeff: %2").arg(QString::fromLatin1(unit)).arg(factor, 0, 'g', -1));
    if (s.units != 2)
        mon->perfValue = static_cast<int64_t>(std::round(mon->perfValue * factor));
    compose_INT64_PERFVAL_MEASURE_UNIT(mon, mon->perfValue, unit);
    return 0;
}

// The script with the monitor's arguments on the bound client, and the type's own step after it.
int runOnClient(Resource r, stZamMonitor* mon, CSshClient* client, const OwnSettings& own)
{
    int rc = 1;
    const QByteArray script = QFileInfo(QCoreApplication::applicationDirPath()).path().toUtf8() + scriptName(r);
    QByteArray args, unit;
    if (loadScriptFor(mon, script) == 0) {
        client->log(QStringLiteral("set args"));
        if (const char* reason = buildArguments(r, mon, own, args, unit)) {
            failWith(mon, reason);
        } else {
            client->log(QStringLiteral("set args ok"));
            client->log(QStringLiteral("args: '%1'").arg(QString::fromUtf8(args)));
            auto* data = static_cast<SshPluginData*>(mon->pluginData);
            client->setScriptAndFile(CSshClient::ExecStandard, data->commandLine + args, data->scriptText);
            client->setDivideBy(1.0);
            client->setMeasure(r == Resource::Disk ? QByteArray() : unit);
            rc = client->exec();
            if (rc == 0) {
                if ((r == Resource::Cpu || r == Resource::Memory) && mon->perfValue == -1)
                    rc = failWith(mon, "No information for this metric");
                else if (r == Resource::Disk && mon->mode == 2)
                    reportMountPoints(mon, client->rawOutput());
                else if (r == Resource::Disk)
                    rc = finishDisk(mon, own);
            }
        }
    }
    return rc;
}

int pollResource(Resource r, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    SshConnectionSettings connection;
    OwnSettings own;
    own.path = "/";
    std::vector<PluginOption> options;
    connection.addOptions(options);
    switch (r) {
    case Resource::Cpu:
        options.push_back({'e', "Metric", 0x200, &own.metric, nullptr, nullptr});
        break;
    case Resource::Memory:
        options.push_back({'e', "Metric", 0x200, &own.metric, nullptr, nullptr});
        options.push_back({'e', "Type", 0x400, &own.type, nullptr, nullptr});
        options.push_back({'e', "Units", 0x800, &own.units, nullptr, nullptr});
        break;
    case Resource::Process:
        options.push_back({'e', "Metric", 0x200, &own.metric, nullptr, nullptr});
        options.push_back({'s', "Name", 0x400, nullptr, &own.name, nullptr});
        options.push_back({'s', "Mandatory arguments", 0x800, nullptr, &own.margs, nullptr});
        break;
    case Resource::Disk:
        options.push_back({'s', "Path", 0x200, nullptr, &own.path, nullptr});
        options.push_back({'e', "Type", 0x400, &own.type, nullptr, nullptr});
        options.push_back({'e', "Units", 0x800, &own.units, nullptr, nullptr});
        break;
    }
    options.push_back({0, nullptr, 0, nullptr, nullptr, nullptr});
    int found = 0;
    const int required = r == Resource::Cpu ? 0x21b : 0xe1b;
    const bool valid = pluginParseSettings(&mon->settings, options.data(), &found) != 0 && (found & required) == required
                       && connection.consistent(found);
    if (!valid)
        return failWith(mon, "Incorrect monitor parameters");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
    const int port = connection.port;
    if (port < 1 || port > 65535)
        return failWith(mon, "Port is out of range");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));
    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
        return setMonFailure(mon);

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("establish SSH session"));
    CSshClientPool* pool = CSshClientPool::instance();
    CSshClient* client = pool->acquireClient(address, port, connection.testHostKey == 0, connection.fingerprintBytes(),
                                             connection.auth(), false, mon->timeout);
    if (client == nullptr)
        return failWith(mon, "Failed to establish SSH session");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("establish SSH session ok"));
    client->setMonitor(mon);

    int rc = 1;
    try {
        rc = runOnClient(r, mon, client, own);
    } catch (...) {
        // the export's barrier reports it; the pool must not keep a client that no poll holds
        pool->releaseClient(address, port, client, true);
        throw;
    }
    pool->releaseClient(address, port, client, rc != 0);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("poll ok"));
    return rc;
}

} // namespace

int poll_ssh_cpu(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return pollResource(Resource::Cpu, mon);
}

int poll_ssh_memory(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return pollResource(Resource::Memory, mon);
}

int poll_ssh_process(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return pollResource(Resource::Process, mon);
}

int poll_ssh_diskspace(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    return pollResource(Resource::Disk, mon);
}
