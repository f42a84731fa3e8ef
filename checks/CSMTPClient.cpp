#include "CSMTPClient.h"

#include "Base64.h"
#include "MailLineReader.h"
#include "MailReply.h"
#include "SmtpMessageText.h"
#include "WebUtils.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Stores a copy of text in target unless it is null; false for a byte below 32.
bool storeLine(const char* text, std::string& target, bool& has)
{
    if (!text)
        return true;
    if (!SmtpMessageText::isPrintable(text))
        return false;
    target = text;
    has = true;
    return true;
}

} // namespace

CSMTPClient::CSMTPClient(const QHostAddress& address, int port, int secureType, int totalTimeoutMs,
                         int connectTimeoutMs, ZamStillAliveCallback stillAlive, void* context, char* reasonBuffer,
                         unsigned reasonSize, CTimedSocketPlugin* observer)
    : m_socket(address, port, secureType, 0, totalTimeoutMs, connectTimeoutMs, stillAlive, context, nullptr, 0),
      m_reason(reasonBuffer, reasonSize)
{
    if (observer)
        m_socket.setObserver(observer);
}

CSMTPClient::~CSMTPClient() = default;

void CSMTPClient::setMonitor(stZamMonitor* mon)
{
    m_monitor = mon;
    m_action = nullptr;
    int total = 0;
    int connect = 0;
    socketTimeBudget(mon, &total, &connect);
    m_socket.updateParameters(mon->mode, total, connect, mon->stillAlive, mon->stillAliveContext, nullptr, 0);
}

void CSMTPClient::setAction(stZamAction* act, int timeoutMs)
{
    m_action = act;
    m_monitor = nullptr;
    m_socket.updateParameters(0, timeoutMs, timeoutMs, act->stillAlive, act->stillAliveContext, nullptr, 0);
}

void CSMTPClient::log(const QString& text) const
{
    if (m_monitor)
        zamLogMonitorPlugin_QStr(m_monitor, text);
    else if (m_action)
        zamLogActionPlugin_QStr(m_action, text);
}

bool CSMTPClient::is_printable(const char* text) { return SmtpMessageText::isPrintable(text); }
bool CSMTPClient::is_utf8(const char* text) { return SmtpMessageText::isUtf8(text); }
bool CSMTPClient::is_printable_body(const char* bytes, size_t length)
{
    return SmtpMessageText::isPrintableBody(bytes, length);
}

bool CSMTPClient::setCredentials(const char* user, const char* password)
{
    log(QStringLiteral("set credentials"));
    // the password is checked too: it is a protocol argument like the user name
    if ((user && !is_printable(user)) || (password && !is_printable(password)))
        return false;
    storeLine(user, m_user, m_hasUser);
    storeLine(password, m_password, m_hasPassword);
    return true;
}

bool CSMTPClient::setContentType(const char* text)
{
    log(QStringLiteral("set content type"));
    bool has = false;
    return storeLine(text, m_contentType, has);
}

bool CSMTPClient::setFrom(const char* text)
{
    log(QStringLiteral("set from"));
    return storeLine(text, m_from, m_hasFrom);
}

bool CSMTPClient::setReplyTo(const char* text)
{
    log(QStringLiteral("set replyto"));
    return storeLine(text, m_replyTo, m_hasReplyTo);
}

bool CSMTPClient::setTo(const char* list)
{
    log(QStringLiteral("set to"));
    return storeLine(list, m_to, m_hasTo);
}

bool CSMTPClient::setCC(const char* list)
{
    log(QStringLiteral("set cc"));
    return storeLine(list, m_cc, m_hasCC);
}

bool CSMTPClient::setSubject(const char* text)
{
    log(QStringLiteral("set subject"));
    if (!text || !*text) {
        m_subject.clear();
        log(QStringLiteral("set subject ok"));
        return true;
    }
    if (!SmtpMessageText::encodeSubject(text, &m_subject))
        return false;
    log(QStringLiteral("set subject ok"));
    return true;
}

bool CSMTPClient::setBody(const char* text, bool)
{
    log(QStringLiteral("set body"));
    if (!text)
        return true;
    const std::string body(text);
    if (!is_printable_body(body.data(), body.size()))
        return false;
    m_body = SmtpMessageText::normalizeLineEnds(body);
    m_hasBody = true;
    log(QStringLiteral("set body ok"));
    return true;
}

bool CSMTPClient::setBody_f(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0) {
        va_end(args);
        return false;
    }
    std::vector<char> text(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, args);
    va_end(args);
    return setBody(text.data(), true);
}

void CSMTPClient::setIgnoreSslErrors(bool ignore)
{
    log(QStringLiteral("set ignore ssl errors"));
    m_socket.setIgnoreSslErrors(ignore);
    log(QStringLiteral("set ignore ssl errors ok"));
}

void CSMTPClient::setUseTLSv10(bool only)
{
    log(QStringLiteral("set use tls v1.0"));
    m_socket.setUseTLSv10(only);
    log(QStringLiteral("set use tls v1.0 ok"));
}

QByteArray CSMTPClient::heloName() const
{
    const QByteArray local = WebUtils::getLocalhostName(false).toUtf8();
    if (!local.isEmpty())
        return local;
    return m_serverHost.isEmpty() ? QByteArrayLiteral("localhost") : m_serverHost;
}

bool CSMTPClient::readReply(int* code, bool multiline, std::string* lastLine)
{
    std::string line;
    for (;;) {
        if (!readMailLine(m_socket, line))
            return false;
        if (line.empty() || line[0] < '0' || line[0] > '9')
            continue;
        const MailReply::SmtpLine parsed = MailReply::parseSmtpLine(line);
        if (multiline && parsed.valid && !parsed.last)
            continue;
        *code = parsed.valid ? parsed.code : static_cast<int>(std::strtol(line.c_str(), nullptr, 10));
        if (lastLine)
            *lastLine = line;
        return true;
    }
}

bool CSMTPClient::failConnect()
{
    m_reason.freeze(true);
    disconnectFromServer();
    m_reason.freeze(false);
    return false;
}

bool CSMTPClient::sendEHLO()
{
    const QByteArray name = heloName();
    log(QStringLiteral("send EHLO from '%1'").arg(QString::fromUtf8(name)));
    if (!m_socket.sendline_f("EHLO %s\r\n", name.constData())) {
        m_reason.setReason("Failed to send the EHLO command: %s.", m_socket.reason());
        return false;
    }
    // what this reply offers is all that counts (it may change after STARTTLS)
    m_authPlain = true;
    m_authLogin = true;
    bool offeredPlain = false;
    bool offeredLogin = false;
    std::string line;
    for (;;) {
        if (!readMailLine(m_socket, line)) {
            m_reason.setReason("Failed to get server status after the EHLO command: %s.", m_socket.reason());
            return false;
        }
        if (line.empty() || line[0] < '0' || line[0] > '9')
            continue;
        const MailReply::SmtpLine parsed = MailReply::parseSmtpLine(line);
        bool plain = false;
        bool login = false;
        if (MailReply::smtpAuthMechanisms(parsed, &plain, &login)) {
            // PLAIN when offered; otherwise LOGIN is still tried, so that credentials the server
            // cannot take end in its refusal rather than in an unchecked success
            offeredPlain = offeredPlain || plain;
            offeredLogin = offeredLogin || login;
            m_authPlain = offeredPlain;
            m_authLogin = !offeredPlain || offeredLogin;
        }
        if (parsed.valid && !parsed.last)
            continue;
        const int code = parsed.valid ? parsed.code : static_cast<int>(std::strtol(line.c_str(), nullptr, 10));
        if (code != 250) {
            m_reason.setReason("Server returned %d after the EHLO command (expected 250).", code);
            return false;
        }
        return true;
    }
}

bool CSMTPClient::sendHELO()
{
    const QByteArray name = heloName();
    log(QStringLiteral("send HELO to '%1'").arg(QString::fromUtf8(name)));
    if (!m_socket.sendline_f("HELO %s\r\n", name.constData())) {
        m_reason.setReason("Failed to send the HELO command: %s.", m_socket.reason());
        return false;
    }
    int code = 0;
    if (!readReply(&code, true)) {
        m_reason.setReason("Failed to get server status after HELO command: %s.", m_socket.reason());
        return false;
    }
    if (code != 250) {
        m_reason.setReason("Server returned %d after HELO command (expected 250).", code);
        return false;
    }
    log(QStringLiteral("send HELO ok"));
    return true;
}

// Secure types 1 and 2: EHLO, STARTTLS and EHLO again over TLS. Type 1 goes on without TLS when
// the server refuses it.
bool CSMTPClient::startTls()
{
    const int type = m_socket.secureType();
    if (!sendEHLO()) {
        if (type == CTimedSocket::SecureTlsRequired || !m_socket.isConnected())
            return false;
        m_reason.clear();
        return sendHELO();
    }
    log(QStringLiteral("send STARTTLS"));
    if (!m_socket.sendline("STARTTLS\r\n")) {
        m_reason.setReason("Failed to send the STARTTLS command: %s.", m_socket.reason());
        return false;
    }
    int code = 0;
    if (!readReply(&code, true)) {
        m_reason.setReason("Failed to get server status after STARTTLS command: %s.", m_socket.reason());
        return false;
    }
    if (code == 220) {
        if (!m_socket.negotiateSSL()) {
            m_reason.setReason("%s", m_socket.reason());
            return false;
        }
        if (!sendEHLO())
            return false;
    } else if (type == CTimedSocket::SecureTlsRequired) {
        m_reason.setReason("Server returned %d after the STARTTLS command.", code);
        return false;
    }
    log(QStringLiteral("send STARTTLS ok"));
    return true;
}

bool CSMTPClient::connectToServer()
{
    if (m_socket.isConnected()) {
        m_reason.freeze(true);
        disconnectFromServer();
        m_reason.freeze(false);
    }
    m_authFailure.clear();
    m_authFailed = false;
    m_authPlain = true;
    m_authLogin = true;

    log(QStringLiteral("connect to '%1' as '%2'")
            .arg(QString::fromUtf8(m_serverHost), QString::fromStdString(m_user)));
    if (!m_socket.connect()) {
        m_reason.setReason("Could not connect to the SMTP server. %s", m_socket.reason());
        return false;
    }
    int code = 0;
    if (!readReply(&code, true)) {
        m_reason.setReason("Failed to get server status after connecting: %s.", m_socket.reason());
        return failConnect();
    }
    if (code != 220) {
        m_reason.setReason("Server returned %d after connecting (expected 220).", code);
        return failConnect();
    }
    const int type = m_socket.secureType();
    if (type == CTimedSocket::SecureTlsIfAvailable || type == CTimedSocket::SecureTlsRequired) {
        if (!startTls())
            return failConnect();
    } else if (!sendEHLO()) {
        if (!m_socket.isConnected())
            return failConnect();
        m_reason.clear();
        if (!sendHELO())
            return failConnect();
    }
    if (m_hasUser && m_hasPassword && !m_user.empty() && !authenticate())
        return failConnect();
    log(QStringLiteral("connect ok"));
    return true;
}

bool CSMTPClient::authenticate()
{
    int code = 0;
    std::string line;
    if (m_authPlain) {
        log(QStringLiteral("use auth plain"));
        std::string token(1, '\0');
        token += m_user;
        token += '\0';
        token += m_password;
        if (!m_socket.sendline("AUTH PLAIN\r\n")) {
            m_reason.setReason("Failed to send AUTH PLAIN command: %s.", m_socket.reason());
            return false;
        }
        if (!readReply(&code, true, &line)) {
            m_reason.setReason("Failed to get server status after AUTH PLAIN command: %s.", m_socket.reason());
            return false;
        }
        if (code != 334)
            return refuseAuthentication(code, line);
        if (!m_socket.sendline((base64Encode(token) + "\r\n").c_str())) {
            m_reason.setReason("Failed to send credentials: %s.", m_socket.reason());
            return false;
        }
    } else if (m_authLogin) {
        log(QStringLiteral("use auth login"));
        if (!m_socket.sendline("AUTH LOGIN\r\n")) {
            m_reason.setReason("Failed to send AUTH LOGIN command: %s.", m_socket.reason());
            return false;
        }
        if (!readReply(&code, true, &line)) {
            m_reason.setReason("Failed to get server status after AUTH LOGIN command: %s.", m_socket.reason());
            return false;
        }
        if (code != 334)
            return refuseAuthentication(code, line);
        if (!m_socket.sendline((base64Encode(m_user) + "\r\n").c_str())) {
            m_reason.setReason("Failed to send username: %s.", m_socket.reason());
            return false;
        }
        if (!readReply(&code, true, &line)) {
            m_reason.setReason("Failed to get server status after username sent: %s.", m_socket.reason());
            return false;
        }
        if (code != 334) {
            m_reason.setReason("Failed after sending username: %s.", line.c_str());
            return false;
        }
        if (!m_socket.sendline((base64Encode(m_password) + "\r\n").c_str())) {
            m_reason.setReason("Failed to send password: %s.", m_socket.reason());
            return false;
        }
    } else {
        return true;
    }
    if (!readReply(&code, true, &line)) {
        m_reason.setReason("Failed to get server status after sending credentials: %s.", m_socket.reason());
        return false;
    }
    if (code != 235)
        return refuseAuthentication(code, line);
    return true;
}

// A refused login: the server's line is kept for the caller (503 too: the server did not take
// the credentials, which is a failed login, not a success), then RSET.
bool CSMTPClient::refuseAuthentication(int code, const std::string& line)
{
    m_authFailure = line.empty() ? std::to_string(code) : line;
    m_authFailed = true;
    if (!m_socket.sendline("RSET\r\n")) {
        m_reason.setReason("Failed to send RSET command: %s.", m_socket.reason());
        return false;
    }
    int rsetCode = 0;
    if (!readReply(&rsetCode, true)) {
        m_reason.setReason("Failed to get server status after RSET command: %s.", m_socket.reason());
        return false;
    }
    if (rsetCode != 250) {
        m_reason.setReason("Server returned %d after RSET command (expected 250).", rsetCode);
        return false;
    }
    return true;
}

bool CSMTPClient::sendMail(const char* xMailerLine)
{
    log(QStringLiteral("send mail"));
    if (!m_socket.isConnected()) {
        m_reason.setReason("Not connected to the server.");
        return false;
    }
    if (!m_hasFrom || !m_hasReplyTo || !m_hasTo || !m_hasBody) {
        m_reason.setReason("E-mail sender or recipient or body is not set.");
        return false;
    }
    if (SmtpMessageText::emailAddress(m_replyTo).empty()) {
        m_reason.setReason("The REPLY TO address is invalid.");
        return false;
    }
    const std::string from = SmtpMessageText::emailAddress(m_from);
    if (from.empty()) {
        m_reason.setReason("The FROM address is invalid.");
        return false;
    }
    const int fromLength = static_cast<int>(from.size());
    int code = 0;
    if (!m_socket.sendline_f("MAIL FROM: <%s>\r\n", from.c_str())) {
        m_reason.setReason("Failed to send 'MAIL FROM: <%.*s>': %s.", fromLength, from.c_str(), m_socket.reason());
        return false;
    }
    if (!readReply(&code, true)) {
        m_reason.setReason("Failed to get server status after 'MAIL FROM: <%.*s>' command: %s.", fromLength,
                           from.c_str(), m_socket.reason());
        return false;
    }
    if (code != 250 && code != 251) {
        m_reason.setReason("Server returned %d after 'MAIL FROM: <%.*s>' (expected 250 or 251).", code, fromLength,
                           from.c_str());
        return false;
    }
    const std::vector<std::string> to = SmtpMessageText::emailAddressList(m_to);
    if (to.empty()) {
        m_reason.setReason("TO address is invalid.");
        return false;
    }
    std::vector<std::string> recipients = to;
    if (m_hasCC) {
        const std::vector<std::string> cc = SmtpMessageText::emailAddressList(m_cc);
        recipients.insert(recipients.end(), cc.begin(), cc.end());
    }
    for (const std::string& rcpt : recipients) {
        const int length = static_cast<int>(rcpt.size());
        if (!m_socket.sendline_f("RCPT TO: <%s>\r\n", rcpt.c_str())) {
            m_reason.setReason("Failed to send 'RCPT TO: <%.*s>': %s.", length, rcpt.c_str(), m_socket.reason());
            return false;
        }
        if (!readReply(&code, true)) {
            m_reason.setReason("Failed to get server status after 'RCPT TO: <%.*s>' command: %s.", length,
                               rcpt.c_str(), m_socket.reason());
            return false;
        }
        if (code != 250 && code != 251) {
            m_reason.setReason("Server returned %d after 'RCPT TO: <%.*s>' (expected 250 or 251).", code, length,
                               rcpt.c_str());
            return false;
        }
    }
    if (!m_socket.sendline("DATA\r\n")) {
        m_reason.setReason("Failed to send 'DATA': %s.", m_socket.reason());
        return false;
    }
    if (!readReply(&code, true)) {
        m_reason.setReason("Failed to get server status after 'DATA' command: %s.", m_socket.reason());
        return false;
    }
    if (code != 354) {
        m_reason.setReason("Server returned %d after 'DATA' (expected 354).", code);
        return false;
    }

    std::string message;
    message.reserve(m_body.size() + 1024);
    message += "Date: " + SmtpMessageText::rfc5322Date(std::time(nullptr)) + "\r\n";
    message += "Mime-Version: 1.0\r\n";
    message += "Content-Type: " + m_contentType + "\r\n";
    message += "From: " + m_from + "\r\n";
    message += "To: " + m_to + "\r\n";
    message += "Reply-To: " + m_replyTo + "\r\n";
    if (m_hasCC)
        message += "CC: " + m_cc + "\r\n";
    if (!m_subject.empty())
        message += "Subject: " + m_subject + "\r\n";
    if (xMailerLine && *xMailerLine)
        message += xMailerLine;
    message += "Message-ID: " + SmtpMessageText::messageId(from) + "\r\n";
    message += "\r\n";
    message += SmtpMessageText::dotStuff(m_body);
    message += "\r\n.\r\n";
    if (!m_socket.sendline(message.c_str())) {
        m_reason.setReason("Failed to send MIME headers and message body: %s.", m_socket.reason());
        return false;
    }
    if (!readReply(&code, true)) {
        m_reason.setReason("Failed to get server status after sending MIME headers and message body: %s.",
                           m_socket.reason());
        return false;
    }
    if (code != 250) {
        m_reason.setReason("Server returned %d after sending MIME headers and message body (expected 250).", code);
        return false;
    }
    log(QStringLiteral("send mail ok"));
    return true;
}

bool CSMTPClient::disconnectFromServer()
{
    log(QStringLiteral("disconnect"));
    bool ok = true;
    if (!m_socket.sendline("QUIT\r\n")) {
        m_reason.setReason("Failed to send the QUIT command: %s.", m_socket.reason());
        ok = false;
    } else {
        std::string line;
        if (!readMailLine(m_socket, line)) {
            m_reason.setReason("Failed to get server status after the QUIT command: %s.", m_socket.reason());
            ok = false;
        }
    }
    if (!m_socket.disconnect()) {
        m_reason.setReason("Could not disconnect from SMTP server. %s", m_socket.reason());
        return false;
    }
    if (ok)
        log(QStringLiteral("disconnect ok"));
    return ok;
}

bool CSMTPClient::sendMailOnce(const char* xMailerLine)
{
    if (!connectToServer())
        return false;
    if (!sendMail(xMailerLine)) {
        m_reason.freeze(true);
        disconnectFromServer();
        m_reason.freeze(false);
        return false;
    }
    return disconnectFromServer();
}
