// "Email Round-Trip" monitor type: the agent's round-trip script sends a message over SMTP and
// waits for it in an IMAP or POP3 mailbox; the poll checks the settings, builds the script's
// options (the password goes on standard input, never on the command line) and reports how long
// the script ran. Runs on the polling thread; keeps nothing between polls.

#include "CExecProgram.h"
#include "CHostInfo.h"
#include "zam_plugin_api.h"

#include <QString>
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <cstring>

namespace {

struct ServerSettings
{
    QString custom;
    bool useCustom = false;
    int secure = 1;
    QString name(const QString& host) const { return useCustom ? custom : host; }
};

QString encryptionName(int type)
{
    static const QMap<int, QString> names = {{0, "none"}, {1, "starttls"}, {2, "tls"}, {3, "ssl"}};
    return names.value(type);
}

const stZamSettingEntry* setting(const stZamMonitor* mon, const char* name) { return findSetting(&mon->settings, name); }
int intSetting(const stZamMonitor* mon, const char* name)
{
    const stZamSettingEntry* e = setting(mon, name);
    return e != nullptr ? static_cast<int>(e->valueInt) : 0;
}
QString textSetting(const stZamMonitor* mon, const char* name)
{
    const stZamSettingEntry* e = setting(mon, name);
    return e != nullptr && e->valueText != nullptr ? QString::fromLatin1(e->valueText) : QString();
}

int failWith(stZamMonitor* mon, const QByteArray& reason)
{
    setMonFailReason(mon, reason.left(ZAM_FAIL_REASON_SIZE - 1).constData());
    return setMonFailure(mon);
}

// A value the expression must match whole; false with the poll failed otherwise.
bool check(stZamMonitor* mon, const QString& value, const QRegularExpression& expression, const QString& label, const char* format)
{
    if (expression.match(value).hasMatch())
        return true;
    failWith(mon, QString::fromLatin1(format).arg(label).toLocal8Bit());
    return false;
}

} // namespace

int poll_email_round_trip(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    const QString script = QFileInfo(QCoreApplication::applicationDirPath()).path() + QStringLiteral("/scripts/email_round_trip/main.py");
    ServerSettings smtp, pop3, imap;
    QString user, password;
    for (uint32_t i = 0; mon->settings.entries != nullptr && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        const QString name = QString::fromUtf8(e.name != nullptr ? e.name : "");
        ServerSettings* server = name.contains(QLatin1String("IMAP")) ? &imap : name.contains(QLatin1String("POP3")) ? &pop3
                                 : name.contains(QLatin1String("SMTP")) ? &smtp : nullptr;
        switch (e.id) {
        case 'e':
            if (server != nullptr && name.endsWith(QLatin1String("secure connection type")))
                server->secure = static_cast<int>(e.valueInt);
            break;
        case 'l': user = QString::fromUtf8(e.valueText != nullptr ? e.valueText : ""); break;
        case 'p': password = QString::fromUtf8(e.valueText != nullptr ? e.valueText : ""); break;
        case 's':
            if (server != nullptr && name.endsWith(QLatin1String(" server")))
                server->custom = QString::fromLatin1(e.valueText != nullptr ? e.valueText : "");
            break;
        case 'y':
            if (server != nullptr && name.startsWith(QLatin1String("Use Custom ")) && name.endsWith(QLatin1String(" Server")))
                server->useCustom = e.valueInt == 1;
            break;
        default:
            break;
        }
    }
    const QString host = QString::fromUtf8(mon->useHostName != 0 ? mon->hostName : mon->hostAddress);
    static const QRegularExpression notEmpty(QStringLiteral("\\A(?:^(?!\\s*$).+)\\z"));
    static const QRegularExpression address(QStringLiteral("\\A(?:\\b[A-Z0-9._%+-]+@[A-Z0-9.-]+\\.[A-Z0-9.-]+\\b)\\z"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString to = textSetting(mon, "To");
    QString from = textSetting(mon, "From");
    if (!notEmpty.match(from).hasMatch())
        from = to;
    if (!check(mon, to, address, QStringLiteral("To e-mail"), "%1 format is invalid")
        || !check(mon, from, address, QStringLiteral("From e-mail"), "%1 format is invalid")
        || !check(mon, smtp.name(host), notEmpty, QStringLiteral("SMTP server"), "%1 is empty"))
        return 1;

    QStringList args = {"--host", smtp.name(host), "--timeout", QString::number((static_cast<qint64>(mon->timeout) + 999) / 1000),
                        "--to", to};
    if (intSetting(mon, "Use custom From e-mail") == 1)
        args << "--from" << from;
    args << "--smtp-port" << QString::number(intSetting(mon, "SMTP port")) << "--smtp-secure-connection" << encryptionName(smtp.secure);
    if (intSetting(mon, "Use SMTP authentication") == 1)
        args << "--smtp-user" << user;
    if (intSetting(mon, "Protocol for mail inbox query") == 1) {
        if (!check(mon, imap.name(host), notEmpty, QStringLiteral("IMAP server"), "%1 is empty"))
            return 1;
        args << "--read-host" << imap.name(host) << "--read-secure-connection" << encryptionName(imap.secure) << "--read-port"
             << QString::number(intSetting(mon, "IMAP port"));
        if (intSetting(mon, "Use IMAP authentication") == 1)
            args << "--read-user" << user;
        if (intSetting(mon, "Use Custom IMAP Inbox folder") == 1) {
            const QString folder = textSetting(mon, "IMAP mail folder");
            if (!check(mon, folder, notEmpty, QStringLiteral("IMAP folder"), "%1 is empty"))
                return 1;
            args << "--imap-folder" << folder;
        }
    } else {
        if (!check(mon, pop3.name(host), notEmpty, QStringLiteral("POP3 server"), "%1 is empty"))
            return 1;
        args << "--read-with" << "POP3" << "--read-host" << pop3.name(host) << "--read-secure-connection" << encryptionName(pop3.secure)
             << "--read-port" << QString::number(intSetting(mon, "POP3 port"));
        if (intSetting(mon, "Use POP3 authentication") == 1)
            args << "--read-user" << user;
    }
    IPluginGlobalSettings* global = getPluginGlobalSettings();
    const QString interpreter = global != nullptr ? global->pythonPath() : QString();
    args.prepend(script);

    CExecProgram runner(mon->stillAlive, mon->stillAliveContext);
    runner.setStdInData(QStringLiteral("%1\r\n").arg(password).toLocal8Bit());
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute email round-trip script '%1', args:(%2)").arg(interpreter, args.join(QLatin1Char(','))));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("UTF-8"));
    runner.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    const bool ran = runner.exec(interpreter, args, mon->timeout, QString());
    const qint64 elapsed = clock.elapsed();
    mon->perfValue = elapsed;
    mon->resultValue = static_cast<int>(elapsed);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(elapsed));
    if (!ran)
        return failWith(mon, runner.getError());
    if (runner.retCode() != 0) {
        const QByteArray err = runner.getStdErr();
        const QByteArray text = QByteArray(err.constData(), static_cast<int>(qstrnlen(err.constData(), err.size()))).trimmed();
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("Script stderr: \"%1\"").arg(QString::fromLocal8Bit(text)));
        return failWith(mon, text);
    }
    const QByteArray out = runner.getStdOut();
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("Script stdout: \"%1\"")
                                      .arg(QString::fromUtf8(out.constData(), static_cast<int>(qstrnlen(out.constData(), out.size())))));
    return 0;
}
