// "Python script" monitor type: a script run with the agent's Python interpreter on every
// poll, fed its input data, the value read from its output. Runs on the polling thread; keeps
// nothing between polls.

#include "CExecProgram.h"
#include "CHostInfo.h"
#include "zam_plugin_api.h"

#include <QString>
#include "MonitorEnvironment.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cstring>

namespace {

int failWith(stZamMonitor* mon, const QByteArray& reason)
{
    setMonFailReason(mon, reason.left(ZAM_FAIL_REASON_SIZE - 1).constData());
    return setMonFailure(mon);
}

} // namespace

int poll_python(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize settings"));
    QString path, arguments, user, password;
    QByteArray input;
    bool credentials = true;
    double divisor = 1.0;
    for (uint32_t i = 0; mon->settings.entries != nullptr && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        const char* name = e.name != nullptr ? e.name : "";
        const char* value = e.valueText != nullptr ? e.valueText : "";
        switch (e.id) {
        case 'C': credentials = e.valueInt != 2; break;
        case 'L':
            if (std::strcmp(name, "Path") == 0) {
                path = QString::fromUtf8(value);
                if (path.isEmpty())
                    return failWith(mon, "Script path is empty");
                path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            }
            break;
        case 'l': user = QString::fromUtf8(value); break;
        case 'p': password = QString::fromUtf8(value); break;
        case 's':
            if (std::strcmp(name, "Arguments") == 0)
                arguments = QString::fromUtf8(value);
            else if (std::strcmp(name, "Input data") == 0)
                input = QByteArray(value);
            else if (std::strcmp(name, "Divide returned value by") == 0 && !readPositiveDivisor(value, divisor))
                return failWith(mon, "'Divide returned value by' must be a positive floating-point number");
            break;
        default:
            break;
        }
    }
    // another account without a name would silently run the script as the agent's own user (root)
    if (credentials && user.isEmpty())
        return failWith(mon, "Incorrect monitor parameters");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize settings done"));

    CExecProgram runner(mon->stillAlive, mon->stillAliveContext);
    if (credentials)
        runner.setLogin(user, password);
    IPluginGlobalSettings* global = getPluginGlobalSettings();
    const QString interpreter = global != nullptr ? global->pythonPath() : QString();
    runner.setNativeArguments(arguments);
    runner.setStdInData(input);
    QProcessEnvironment environment = monitorEnvironment(mon);
    environment.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("UTF-8"));
    runner.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    if (!runner.exec(interpreter, {path}, mon->timeout, QFileInfo(path).absolutePath()))
        return failWith(mon, runner.getError());
    if (runner.retCode() != 0) {
        const QByteArray err = runner.getStdErr();
        return failWith(mon, QByteArray(err.constData(), static_cast<int>(qstrnlen(err.constData(), err.size()))).trimmed());
    }
    const QByteArray out = runner.getStdOut();
    const QByteArray text(out.constData(), static_cast<int>(qstrnlen(out.constData(), out.size())));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("Script stdout: \"%1\"").arg(QString::fromUtf8(text)));
    QString display;
    mon->perfValue = CExecProgram::getPerfValue_utf8(text, 0, divisor, &display);
    mon->resultValue = static_cast<int>(clock.elapsed());
    compose_UTF8_DISPLAY_VALUE(mon, display.toUtf8().constData());
    validateStrResponse(mon, 1, display);
    validateStrResponse(mon, 0, display);
    return 0;
}

int invalidate_python(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                      unsigned flags)
{
    return invalidate_program(ctx, tctx, type, mon, flags);
}
