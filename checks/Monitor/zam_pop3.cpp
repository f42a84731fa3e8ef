// POP3 monitor type: greeting, STLS or TLS from the start, USER and PASS, STAT, QUIT; the value
// is the connection's lifetime. Runs on the calling task thread; nothing is kept between polls.

#include "CHostInfo.h"
#include "CTimedSocket.h"
#include "MailLineReader.h"
#include "MailReply.h"
#include "MailServerSettings.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr const char* kAuthSuffix = " [POP3 server may require authentication]";

// One poll's exchange on its socket. The socket writes its own reasons into the monitor's
// buffer until a reply check has set one.
class Pop3Dialogue
{
public:
    Pop3Dialogue(CTimedSocket& socket, stZamMonitor* mon) : m_socket(socket), m_mon(mon) {}

    // Reads one reply: 0 for "+OK", 1 for any other line, -1 when no line could be read or it is
    // empty. With setReason a 1 or -1 sets the monitor's reason, which then stays.
    int check(const char* context, int* byteCount, bool setReason)
    {
        std::string line;
        if (!readMailLine(m_socket, line) || line.empty()) {
            if (setReason) {
                const std::string details = m_socket.failReason().hasText()
                                                ? std::string(m_socket.reason()).substr(0, 255)
                                                : std::string("(no details)");
                setMonFailReasonFmt(m_mon, "%s: %s", context, details.c_str());
                m_socket.failReason().freeze(true);
            }
            return -1;
        }
        if (byteCount)
            *byteCount += static_cast<int>(line.size());
        if (MailReply::pop3Status(line) == MailReply::Pop3Status::Ok)
            return 0;
        if (setReason) {
            setMonFailReason(m_mon, MailReply::pop3ErrorText(line).c_str());
            m_socket.failReason().freeze(true);
        }
        return 1;
    }

    bool send(const char* fmt, const std::string& argument = std::string())
    {
        return m_socket.sendline_f(fmt, argument.c_str());
    }

private:
    CTimedSocket& m_socket;
    stZamMonitor* m_mon;
};

void appendToReason(stZamMonitor* mon, const char* text)
{
    const size_t have = boundedLength(mon->failReason, ZAM_FAIL_REASON_SIZE);
    const size_t room = ZAM_FAIL_REASON_SIZE - 1 - have;
    const size_t add = std::min(room, std::strlen(text));
    std::memcpy(mon->failReason + have, text, add);
    mon->failReason[have + add] = '\0';
}

} // namespace

int poll_pop3(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    MailServerSettings s;
    for (uint32_t i = 0; mon->settings.entries && i < mon->settings.count; ++i) {
        if (s.take(mon, mon->settings.entries[i], "port setting ok") == MailServerSettings::PortOutOfRange)
            return setMonFailure(mon);
    }
    if (!s.complete()) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
        return setMonFailure(mon);

    int total = 0;
    int connect = 0;
    socketTimeBudget(mon, &total, &connect);
    const int secureType = CTimedSocket::intToSecConnType(s.secureType);
    CTimedSocket socket(address, s.port, secureType, mon->mode, total, connect, mon->stillAlive, mon->stillAliveContext,
                        mon->failReason, ZAM_FAIL_REASON_SIZE);
    socket.setIgnoreSslErrors(s.ignoreSslErrors);
    socket.setUseTLSv10(s.tls10Only);
    Pop3Dialogue pop3(socket, mon);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("start connection"));

    int result = 0;
    int bytes = 0;
    bool failed = false;  // the failure path: no answer, failed connect, send or TLS start
    [&] {
        if (!socket.connect()) {
            failed = true;
            return;
        }
        int r = pop3.check("Failed to get server greeting", nullptr, true);
        if (r != 0) {
            failed = r < 0;
            result = 1;
            return;
        }
        if (secureType == CTimedSocket::SecureTlsIfAvailable || secureType == CTimedSocket::SecureTlsRequired) {
            const bool sent = pop3.send("STLS\r\n");
            r = sent ? pop3.check("STLS command failed", &bytes, true) : -1;
            if (r == 0 && socket.negotiateSSL()) {
                zamLogMonitorPlugin_QStr(mon, QStringLiteral("STARTTLS ok"));
            } else if (r == 1 && secureType == CTimedSocket::SecureTlsIfAvailable) {
                // TLS only if available: the refusal is no failure
                socket.failReason().clear();
                socket.failReason().freeze(false);
            } else {
                zamLogMonitorPlugin_QStr(mon,
                                         QStringLiteral("bad response or STARTTLS was rejected and TLS is required"));
                failed = r != 1;
                result = 1;
                return;
            }
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("start authentication"));
        bool statDue = true;
        if (s.authentication) {
            if (!pop3.send("USER %s\r\n", s.user)) {
                failed = true;
                return;
            }
            r = pop3.check("Failed to get server response after sending the username", &bytes, true);
            if (r == 0) {
                if (!pop3.send("PASS %s\r\n", s.password)) {
                    failed = true;
                    return;
                }
                r = pop3.check("Failed to get server response after sending credentials", &bytes, true);
            }
            if (r < 0) {
                failed = true;
                return;
            }
            if (r == 1) {
                result = 1;
                statDue = false;
            }
        }
        if (statDue) {
            if (!pop3.send("STAT\r\n")) {
                failed = true;
                return;
            }
            r = pop3.check("Failed to get number of incoming messages", &bytes, true);
            if (r < 0) {
                failed = true;
                return;
            }
            if (r == 1) {
                result = 1;
                if (!s.authentication)
                    appendToReason(mon, kAuthSuffix);
            }
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("authentication ok"));
        if (!pop3.send("QUIT\r\n")) {
            failed = true;
            return;
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("QUIT sent"));
        r = pop3.check("Falied to get server response on QUIT command", &bytes, result == 0);
        if (result == 0 && r != 0) {
            failed = r < 0;
            result = 1;
        }
    }();

    if (failed) {
        s.setPortHint(mon, "POP3", 995, 110);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("failed to connect, port %1").arg(s.port));
        if (mon->mode != 1) {
            socket.failReason().freeze(true);
            mon->resultCode = 2;
            return 1;
        }
    }
    if (!socket.disconnect() && mon->mode != 1) {
        socket.failReason().freeze(true);
        mon->resultCode = 2;
        return 1;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("connection ok"));
    const int lifetime = std::max(socket.connectionLifetime(), 1);
    mon->perfValue = lifetime;
    mon->resultValue = lifetime;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(lifetime));
    if (mon->mode == 1)
        return bytes > 0 ? 0 : 1;
    return result;
}
