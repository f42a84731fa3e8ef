// SMTP monitor type: connect with CSMTPClient, log in when asked, optionally send a test message,
// and report the connection's lifetime. Runs on the calling task thread; nothing is kept
// between polls.

#include "CHostInfo.h"
#include "CSMTPClient.h"
#include "MailServerSettings.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr const char* kDefaultXMailer = "X-Mailer: Corvane Monitor\r\n";

struct SmtpSettings {
    MailServerSettings server;
    bool testMessage = false;
    bool haveTestMessage = false;
    std::string from, to, replyTo, subject, content, xMailer;
    bool haveFrom = false, haveTo = false, haveReplyTo = false, haveSubject = false, haveContent = false;
    bool haveXMailer = false;
};

int badParameters(stZamMonitor* mon)
{
    setMonFailReason(mon, "Incorrect monitor parameters");
    return setMonFailure(mon);
}

// The replacement X-Mailer line as one header line: its first line with "\r\n".
std::string xMailerLine(const std::string& text)
{
    const std::string first = text.substr(0, text.find_first_of("\r\n"));
    for (const char c : first)
        if (static_cast<unsigned char>(c) < 32 && c != '\t')
            return {};
    return first.empty() ? std::string() : first + "\r\n";
}

} // namespace

int poll_smtp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    if (!mon->settings.entries || mon->settings.count == 0)
        return badParameters(mon);
    SmtpSettings s;
    for (uint32_t i = 0; i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        const MailServerSettings::Take taken = s.server.take(mon, e, "port check ok");
        if (taken == MailServerSettings::PortOutOfRange)
            return setMonFailure(mon);
        if (taken == MailServerSettings::Taken)
            continue;
        const char* text = e.valueText ? e.valueText : "";
        if (e.id == 'M') {
            s.testMessage = static_cast<int32_t>(e.valueInt) != 0;
            s.haveTestMessage = true;
        } else if (e.id == 't') {
            s.content = text;
            s.haveContent = true;
        } else if (e.id == 's' && e.name) {
            if (std::strcmp(e.name, "From") == 0) {
                s.from = text;
                s.haveFrom = true;
            } else if (std::strcmp(e.name, "To") == 0) {
                s.to = text;
                s.haveTo = true;
            } else if (std::strcmp(e.name, "ReplyTo") == 0) {
                s.replyTo = text;
                s.haveReplyTo = true;
            } else if (std::strcmp(e.name, "Subject") == 0) {
                s.subject = text;
                s.haveSubject = true;
            } else if (std::strcmp(e.name, "$XMailerHeader") == 0) {
                s.xMailer = text;
                s.haveXMailer = true;
            }
        }
    }
    if (!s.server.complete() || !s.haveTestMessage)
        return badParameters(mon);
    if (s.testMessage) {
        if (!(s.haveFrom && s.haveTo && s.haveSubject && s.haveContent && s.haveReplyTo))
            return badParameters(mon);
        // header fields stay one line each: no field can add a header or an SMTP command
        for (const std::string* field : {&s.from, &s.to, &s.replyTo, &s.subject})
            if (!isProtocolArgument(*field))
                return badParameters(mon);
        if (!CSMTPClient::is_printable_body(s.content.data(), s.content.size()))
            return badParameters(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
        return setMonFailure(mon);

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize client"));
    int total = 0;
    int connect = 0;
    socketTimeBudget(mon, &total, &connect);
    CSMTPClient client(address, s.server.port, s.server.secureType, total, connect, mon->stillAlive,
                       mon->stillAliveContext, mon->failReason, ZAM_FAIL_REASON_SIZE);
    client.setServerHostName(QByteArray(mon->hostName, static_cast<int>(boundedLength(mon->hostName, ZAM_HOST_NAME_SIZE))));
    client.setIgnoreSslErrors(s.server.ignoreSslErrors);
    client.setUseTLSv10(s.server.tls10Only);
    client.setMonitor(mon);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("initialize client ok"));

    if (s.server.authentication) {
        if (!client.setCredentials(s.server.user.c_str(), s.server.password.c_str()))
            return badParameters(mon);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("set credentials ok"));
    }

    if (!client.connectToServer()) {
        s.server.setPortHint(mon, "SMTP", 465, 25);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("failed to connect, port %1").arg(s.server.port));
        client.failReason().freeze(true);
        mon->resultCode = 2;
        return 1;
    }

    if (mon->mode == 1) {
        if (!client.disconnectFromServer())
            return 1;
        mon->perfValue = 1;
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("client connected to some server in discovery"));
        return 0;
    }

    // a refused login fails every poll that is not a discovery
    const char* refused = client.authFailure();
    if (refused) {
        client.failReason().freeze(true);
        client.disconnectFromServer();
        setMonFailReason(mon, refused);
        mon->resultCode = 2;
        return 1;
    }

    if (s.testMessage) {
        if (!client.setFrom(s.from.c_str()) || !client.setTo(s.to.c_str()) || !client.setReplyTo(s.replyTo.c_str()) ||
            !client.setSubject(s.subject.c_str()) || !client.setContentType("text/plain; charset=UTF-8") ||
            !client.setBody(s.content.c_str(), false)) {
            client.failReason().freeze(true);
            client.disconnectFromServer();
            setMonFailReason(mon, "Incorrect monitor parameters");
            return setMonFailure(mon);
        }
        const std::string xMailer = s.haveXMailer ? xMailerLine(s.xMailer) : std::string(kDefaultXMailer);
        if (!client.sendMail(xMailer.c_str())) {
            client.failReason().freeze(true);
            client.disconnectFromServer();
            mon->resultCode = 2;
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("client failed to send message"));
            return 1;
        }
    }

    if (!client.disconnectFromServer())
        return 1;
    const int lifetime = std::max(client.connectionLifetime(), 1);
    mon->perfValue = lifetime;
    mon->resultValue = lifetime;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(lifetime));
    return 0;
}
