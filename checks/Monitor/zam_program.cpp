// "Script or Program" monitor type: a local program or shell script run on every poll, its exit
// code and output turned into the result. Runs on the polling thread; keeps nothing between
// polls.

#include "CExecProgram.h"
#include "MonitorEnvironment.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <cstring>

namespace {

int failWith(stZamMonitor* mon, const QByteArray& reason)
{
    setMonFailReason(mon, reason.left(ZAM_FAIL_REASON_SIZE - 1).constData());
    return setMonFailure(mon);
}

// The child's own words for a failure, read as UTF-8 up to a NUL.
QByteArray firstText(const QByteArray& bytes) { return QByteArray(bytes.constData(), static_cast<int>(qstrnlen(bytes.constData(), bytes.size()))); }

} // namespace

int poll_program(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    if (mon->settings.count == 0 || mon->settings.entries == nullptr)
        return failWith(mon, "Incorrect monitor parameters");
    QString path, parameters, user, password;
    int type = 0;
    bool nagios = false, credentials = true;
    double divisor = 1.0;
    int seen = 0;
    for (uint32_t i = 0; i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        const char* name = e.name != nullptr ? e.name : "";
        const QString text = QString::fromUtf8(e.valueText != nullptr ? e.valueText : "");
        switch (e.id) {
        case 'C': credentials = e.valueInt != 2; seen |= 0x20; break;
        case 'L': path = text; seen |= 0x01; break;
        case 'd': seen |= 0x40; break;
        case 'e':
            if (std::strcmp(name, "Program Type") == 0) {
                type = static_cast<int>(e.valueInt);
                seen |= 0x04;
            } else {
                nagios = e.valueInt == 1;
                seen |= 0x02;
            }
            break;
        case 'l': user = text; seen |= 0x80; break;
        case 'p': password = text; seen |= 0x100; break;
        case 's':
            if (std::strcmp(name, "Program Parameters") == 0) {
                parameters = text;
                seen |= 0x08;
            } else if (std::strcmp(name, "Divide returned value by") == 0) {
                if (!readPositiveDivisor(e.valueText, divisor))
                    return failWith(mon, "'Divide returned value by' must be a positive floating-point number");
                seen |= 0x10;
            }
            break;
        default:
            break;
        }
    }
    if ((seen & 0x3f) != 0x3f || (credentials && (seen & 0x1c0) != 0x1c0))
        return failWith(mon, "Incorrect monitor parameters");
    if (path.isEmpty())
        return failWith(mon, "'Path to Program File' is an empty string");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    if (type == 0 && path.size() > 2 && path.endsWith(QLatin1String(".sh")))
        return failWith(mon, "Extension '.sh' means a Bash Script file; set the monitor property 'Program Type' to 'Run script'.");

    CExecProgram runner(mon->stillAlive, mon->stillAliveContext);
    if (credentials)
        runner.setLogin(user, password);
    const QString program = type == 1 ? QStringLiteral("/bin/sh") : path;
    const QStringList arguments = type == 1 ? QStringList{path} : QStringList{};
    runner.setNativeArguments(parameters);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute program '%1', arguments:(%2), native args: %3")
                                      .arg(program, arguments.join(QLatin1Char(',')), parameters));
    runner.setProcessEnvironment(monitorEnvironment(mon));
    if (!runner.exec(program, arguments, mon->timeout, QString())) {
        mon->perfValue = 0;
        return failWith(mon, runner.getError());
    }
    const int code = runner.retCode();
    if (code == 1 && nagios) {
        mon->resultCode = 1;
    } else if (code != 0) {
        // the child's own words, read as UTF-8 whatever kind of program it was
        const QByteArray taken = firstText(!runner.getStdErr().isEmpty() ? runner.getStdErr() : runner.getStdOut()).trimmed();
        if (taken.isEmpty())
            return failWith(mon, QStringLiteral("Program/script return code: %1 (no message)").arg(code).toUtf8());
        return failWith(mon, taken);
    } else {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute command ok"));
    }
    QString display;
    mon->perfValue = CExecProgram::getPerfValue_utf8(runner.getStdOut(), nagios ? 1 : 0, divisor, &display);
    compose_UTF8_DISPLAY_VALUE(mon, display.toUtf8().constData());
    validateStrResponse(mon, 1, display);
    validateStrResponse(mon, 0, display);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("poll ok"));
    return 0;
}

int invalidate_program(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon, unsigned flags)
{
    if ((flags & ZAM_INVALIDATE_PLUGIN_DATA) && mon->pluginData != nullptr) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
        mon->pluginData = nullptr; // the program type stores nothing there
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data ok"));
    }
    return 0;
}
