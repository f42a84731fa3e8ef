// IMAP monitor type: greeting, STARTTLS or TLS from the start, LOGIN, LOGOUT in a tagged dialogue
// (a0, a1, ...); the value is the connection's lifetime. Runs on the calling task thread;
// nothing is kept between polls.

#include "CHostInfo.h"
#include "CTimedSocket.h"
#include "ImapString.h"
#include "MailLineReader.h"
#include "MailReply.h"
#include "MailServerSettings.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <algorithm>
#include <string>

namespace {

// One poll's tagged exchange on its socket. The socket writes its own reasons into the
// monitor's buffer until a reply check has set one.
class ImapDialogue
{
public:
    ImapDialogue(CTimedSocket& socket, stZamMonitor* mon) : m_socket(socket), m_mon(mon) {}

    int bytes() const { return m_bytes; }
    const std::string& line() const { return m_line; }

    bool send(const std::string& command)
    {
        m_tag = ImapString::tag(m_counter++);
        return m_socket.sendline((m_tag + " " + command + "\r\n").c_str());
    }

    // LOGIN with both arguments as quoted strings, or as literals when they cannot be quoted
    // (each literal waits for the server's "+" first). False when a send failed; a refusal of
    // a literal is left as the reply for wait().
    bool sendLogin(const std::string& user, const std::string& password)
    {
        m_tag = ImapString::tag(m_counter++);
        std::string pending = m_tag + " LOGIN";
        for (const std::string* arg : {&user, &password}) {
            pending += ' ';
            if (ImapString::fitsQuoted(*arg)) {
                pending += ImapString::quoted(*arg);
                continue;
            }
            pending += ImapString::literalPrefix(*arg) + "\r\n";
            if (!m_socket.sendline(pending.c_str()))
                return false;
            if (!waitForContinuation())
                return true;
            pending = *arg;
        }
        pending += "\r\n";
        return m_socket.sendline(pending.c_str());
    }

    // Reads lines up to the answer to the last command: its tagged line, or an untagged BYE
    // (the server is closing). Other untagged lines are data or notes and are skipped. 0 with
    // the answer in line(); -1 when no line could be read, setting the reason when asked.
    int wait(const char* reasonText, bool setReason)
    {
        if (m_held) {
            m_held = false;
            return 0;
        }
        zamLogMonitorPlugin_QStr(m_mon, QStringLiteral("wait"));
        for (;;) {
            if (!readMailLine(m_socket, m_line) || m_line.empty())
                return noAnswer(reasonText, setReason);
            m_bytes += static_cast<int>(m_line.size());
            if (isAnswer())
                return 0;
        }
    }

    // The status word of the answer in line() ("OK", "NO", ...).
    std::string status() const { return MailReply::parseImapLine(m_line).status; }

    // Sets the reason for a status that is not the expected one; the socket then keeps it.
    void unexpected(bool setReason)
    {
        if (!setReason)
            return;
        setMonFailReason(m_mon, MailReply::imapStatusReason(MailReply::imapSkipTag(m_line)).c_str());
        m_socket.failReason().freeze(true);
    }

    int noAnswer(const char* reasonText, bool setReason)
    {
        if (setReason) {
            setMonFailReason(m_mon, reasonText);
            m_socket.failReason().freeze(true);
        }
        return -1;
    }

private:
    bool isAnswer() const
    {
        const MailReply::ImapLine parsed = MailReply::parseImapLine(m_line);
        if (parsed.untagged)
            return parsed.status == "BYE";
        return parsed.tag == m_tag;
    }

    // True on "+"; false when the server answered the command instead (kept for wait()) or
    // nothing came (wait() then reads on and fails).
    bool waitForContinuation()
    {
        for (;;) {
            if (!readMailLine(m_socket, m_line) || m_line.empty())
                return false;
            m_bytes += static_cast<int>(m_line.size());
            if (MailReply::parseImapLine(m_line).continuation)
                return true;
            if (isAnswer()) {
                m_held = true;
                return false;
            }
        }
    }

    CTimedSocket& m_socket;
    stZamMonitor* m_mon;
    unsigned m_counter = 0;
    std::string m_tag;
    std::string m_line;
    int m_bytes = 0;
    bool m_held = false;  // an answer read while sending, not yet taken by wait()
};

} // namespace

int poll_imap(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    MailServerSettings s;
    for (uint32_t i = 0; mon->settings.entries && i < mon->settings.count; ++i) {
        if (s.take(mon, mon->settings.entries[i], "check port ok") == MailServerSettings::PortOutOfRange)
            return setMonFailure(mon);
    }
    if (!s.complete()) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("Incorrect monitor parameters"));
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
    ImapDialogue imap(socket, mon);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("connect to '%1:%2' as '%3'")
                                      .arg(address.toString())
                                      .arg(s.port)
                                      .arg(QString::fromStdString(s.user)));

    int result = 0;
    bool failed = false;  // the failure path: failed connect, send, wait or TLS start
    [&] {
        if (!socket.connect()) {
            failed = true;
            return;
        }
        std::string greeting;
        if (!readMailLine(socket, greeting) || greeting.empty()) {
            if (!socket.failReason().hasText())
                setMonFailReason(mon, "Failed to get server greeting: (no details)");
            failed = true;
            return;
        }
        const MailReply::ImapLine hello = MailReply::parseImapLine(greeting);
        bool loginDue = s.authentication;
        if (hello.status == "PREAUTH") {
            loginDue = false;
        } else if (hello.status != "OK") {
            setMonFailReason(mon, MailReply::imapStatusReason(hello.afterTag).c_str());
            socket.failReason().freeze(true);
            result = 1;
            loginDue = false;
        }
        const bool tls = secureType == CTimedSocket::SecureTlsIfAvailable || secureType == CTimedSocket::SecureTlsRequired;
        if (result == 0 && tls) {
            if (!imap.send("STARTTLS") || imap.wait("STARTTLS command failed", true) < 0) {
                zamLogMonitorPlugin_QStr(mon,
                                         QStringLiteral("bad response or STARTTLS was rejected and TLS is required"));
                failed = true;
                return;
            }
            if (imap.status() == "OK") {
                if (!socket.negotiateSSL()) {
                    zamLogMonitorPlugin_QStr(
                        mon, QStringLiteral("bad response or STARTTLS was rejected and TLS is required"));
                    failed = true;
                    return;
                }
                zamLogMonitorPlugin_QStr(mon, QStringLiteral("STARTTLS ok"));
            } else if (secureType == CTimedSocket::SecureTlsRequired) {
                imap.unexpected(true);
                zamLogMonitorPlugin_QStr(mon,
                                         QStringLiteral("bad response or STARTTLS was rejected and TLS is required"));
                result = 1;
                loginDue = false;
            }
            // TLS only if available: a refusal goes on unencrypted
        }
        if (loginDue) {
            if (!imap.sendLogin(s.user, s.password) || imap.wait("Timeout exceeded after sending credentials", true) < 0) {
                failed = true;
                return;
            }
            if (imap.status() != "OK") {
                imap.unexpected(true);
                result = 1;
                if (s.user.empty() || s.password.empty()) {
                    const std::string current = mon->failReason;
                    setMonFailReasonFmt(mon, "%s %s", current.c_str(), "User name or password are empty.");
                }
            }
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("authentication ok"));
        if (!imap.send("LOGOUT")) {
            failed = true;
            return;
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("LOGOUT sent"));
        const char* logoutReason = "Timeout exceeded after sending logout command";
        if (imap.wait(logoutReason, result == 0) < 0) {
            failed = true;
            return;
        }
        const MailReply::ImapLine first = MailReply::parseImapLine(imap.line());
        if (!(first.untagged && first.status == "BYE")) {
            imap.unexpected(result == 0);
            result = 1;
            return;
        }
        if (imap.wait(logoutReason, result == 0) < 0) {
            failed = true;
            return;
        }
        if (imap.status() != "OK") {
            imap.unexpected(result == 0);
            result = 1;
        }
    }();

    if (failed) {
        s.setPortHint(mon, "IMAP", 993, 143);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("connect error"));
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
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("connect ok"));
    const int lifetime = std::max(socket.connectionLifetime(), 1);
    mon->perfValue = lifetime;
    mon->resultValue = lifetime;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(lifetime));
    if (mon->mode == 1)
        return imap.bytes() > 0 ? 0 : 1;
    return result;
}
