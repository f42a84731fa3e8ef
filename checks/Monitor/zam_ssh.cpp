// SSH monitor type: a user's command, script file or script text run on the server over a
// pooled session, the value read from its output; or the connection time only. Runs on the
// polling thread; the monitor's SshPluginData is touched by its own polls only.

#include "CHostInfo.h"
#include "Ssh/CSshClient.h"
#include "Ssh/CSshClientPool.h"
#include "SshConnectionSettings.h"
#include "SshPluginData.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <QFile>
#include <QFileInfo>

#include <clocale>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr qint64 kMaxScriptBytes = 1048576;

QByteArray slashes(const std::string& text) { return QByteArray::fromStdString(text).replace('\\', '/'); }

} // namespace

int readScriptFromFile(stZamMonitor* mon, const QByteArray& path, QByteArray& text)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("read script from file"));
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly)) {
        setMonFailReason(mon, ("Cannot open file: " + path).left(ZAM_FAIL_REASON_SIZE - 1).constData());
        return setMonFailure(mon);
    }
    text.clear();
    char block[4096];
    for (;;) {
        const qint64 n = file.read(block, sizeof block);
        if (n <= 0)
            break;
        if (text.size() + n > kMaxScriptBytes) {
            setMonFailReason(mon, "Script file size must be less than 1MB");
            return setMonFailure(mon);
        }
        text.append(block, static_cast<int>(n));
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("read script from file ok"));
    return 0;
}

void parseAndSetScriptText(SshPluginData* data, const QByteArray& text, const QByteArray& parameters)
{
    static const std::regex shRegEx(".*sh");
    static const std::regex dashRegEx(".*(perl|python|ruby).*");
    static const std::regex nodeRegEx(".*node.*");
    QByteArray separator = "--";
    data->scriptText = text;
    if (!text.startsWith("#!")) {
        data->commandLine = "bash -s";
    } else {
        const int lineEnd = text.indexOf('\n');
        const QByteArray interpreter = text.mid(2, lineEnd < 0 ? -1 : lineEnd - 2);
        data->commandLine = interpreter;
        const std::string line = interpreter.toStdString();
        if (std::regex_match(line, shRegEx)) {
            data->commandLine += " -s";
        } else if (std::regex_match(line, dashRegEx)) {
            separator = "-";
        } else if (std::regex_match(line, nodeRegEx)) {
            data->commandLine += " -e \"" + (lineEnd < 0 ? QByteArray() : text.mid(lineEnd)) + "\"";
            separator.clear();
            data->scriptText.clear();
        }
    }
    data->commandLine += " " + separator + " " + parameters;
}

int invalidate_ssh(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon, unsigned flags)
{
    if ((flags & ZAM_INVALIDATE_PLUGIN_DATA) && mon->pluginData != nullptr) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
        delete static_cast<SshPluginData*>(mon->pluginData);
        mon->pluginData = nullptr;
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data ok"));
    }
    return 0;
}

namespace {

// Prepares and runs the command on the bound client: 0 success, 1 failure.
// The monitor's settings of what runs and how its value is read.
struct ScriptSettings
{
    int execute = 2;    // 0 or 1 run a command or script; 2 only connects
    int howToRun = 0;   // 0 command, 1 script file, 2 script text
    std::string command, divisorText, scriptPath, scriptBody, parameters;
    double divisor = 1.0;

    bool runs() const { return execute == 0 || execute == 1; }
};

int runOnClient(stZamMonitor* mon, SshPluginData* data, CSshClient* client, const ScriptSettings& s)
{
    if (s.runs()) {
        if (s.howToRun == 0) {
            data->commandLine = slashes(s.command);
            data->scriptText.clear();
        } else if (s.howToRun == 1) {
            const QByteArray path = slashes(s.scriptPath);
            const QDateTime modified = QFileInfo(QString::fromUtf8(path)).lastModified();
            if (!data->fileTime.isValid() || data->fileTime != modified) {
                QByteArray text;
                if (readScriptFromFile(mon, path, text) != 0)
                    return 1;
                data->fileTime = modified;
                parseAndSetScriptText(data, text, QByteArray::fromStdString(s.parameters));
            }
        } else {
            parseAndSetScriptText(data, QByteArray::fromStdString(s.scriptBody), QByteArray::fromStdString(s.parameters));
        }
        client->setScriptAndFile(static_cast<CSshClient::EExecScript>(s.execute), data->commandLine, data->scriptText);
    }
    client->setDivideBy(s.divisor);
    return client->exec();
}

} // namespace

int poll_ssh(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    if (mon->pluginData == nullptr)
        mon->pluginData = new SshPluginData;
    auto* data = static_cast<SshPluginData*>(mon->pluginData);

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    SshConnectionSettings connection;
    ScriptSettings script;
    std::vector<PluginOption> options;
    connection.addOptions(options);
    options.insert(options.end(), {
        {'e', "Execute Script", 0x200, &script.execute, nullptr, nullptr},
        {'s', " Script to Execute", 0x400, nullptr, &script.command, nullptr},
        {'s', "Divide returned value by", 0x800, nullptr, &script.divisorText, nullptr},
        {'e', "How to run a script", 0x1000, &script.howToRun, nullptr, nullptr},
        {'L', "Path to script", 0x2000, nullptr, &script.scriptPath, nullptr},
        {'s', "Script body", 0x4000, nullptr, &script.scriptBody, nullptr},
        {'s', "Script parameters", 0x8000, nullptr, &script.parameters, nullptr},
        {'y', "Take delta", 0, nullptr, nullptr, nullptr},
        {'y', "Normalize by time", 0, nullptr, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    });
    int found = 0;
    const bool parsed = pluginParseSettings(&mon->settings, options.data(), &found) != 0;
    const int needed = script.howToRun == 0 ? 0x400 : script.howToRun == 1 ? 0x2000 : script.howToRun == 2 ? 0x4000 : 0;
    const bool valid = parsed && (found & 0xa1b) == 0xa1b && connection.consistent(found)
                       // a run needs a known way to run; a pooled client must never run an older command
                       && (script.execute == 2 || (script.runs() && needed != 0 && (found & needed)));
    if (!valid) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
    if (connection.port < 1 || connection.port > 65535) {
        setMonFailReason(mon, "Port is out of range");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));
    if (!readPositiveDivisor(script.divisorText.c_str(), script.divisor)) {
        setMonFailReason(mon, "'Divide returned value by' must be a positive floating-point number");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
        return setMonFailure(mon);

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("establish SSH session"));
    const int port = connection.port;
    CSshClientPool* pool = CSshClientPool::instance();
    CSshClient* client = pool->acquireClient(address, port, connection.testHostKey == 0, connection.fingerprintBytes(),
                                             connection.auth(), script.execute == 2, mon->timeout);
    if (client == nullptr) {
        setMonFailReason(mon, "Failed to establish SSH session");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("establish SSH session ok"));
    client->setMonitor(mon);
    try {
        const int result = runOnClient(mon, data, client, script);
        pool->releaseClient(address, port, client, script.execute == 2 || result != 0);
        return result;
    } catch (...) {
        // the export's barrier reports it; the pool must not keep a client that no poll holds
        pool->releaseClient(address, port, client, true);
        throw;
    }
}
