#pragma once
// SMTP client of the checks: greeting, EHLO or HELO, STARTTLS, AUTH PLAIN or AUTH LOGIN, and one
// plain-text message with its MIME headers, over a CTimedSocket within the socket's time budget.
// Header fields and credentials with control characters are refused when they are set, and the
// body goes out dot-stuffed, so no setting can add SMTP commands or end the message early.
// Failure texts go to the caller's reason buffer (normally the monitor's), each socket failure
// with the socket's own text behind it. One object per poll, on the poll's thread; no locks.

#include "CFailReason.h"
#include "CTimedSocket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <string>

class CTimedSocketPlugin;
struct stZamMonitor;
struct stZamAction;

class CSMTPClient
{
public:
    CSMTPClient(const QHostAddress& address, int port, int secureType, int totalTimeoutMs, int connectTimeoutMs,
                ZamStillAliveCallback stillAlive, void* context, char* reasonBuffer, unsigned reasonSize,
                CTimedSocketPlugin* observer = nullptr);
    virtual ~CSMTPClient();
    CSMTPClient(const CSMTPClient&) = delete;
    CSMTPClient& operator=(const CSMTPClient&) = delete;

    // Logs for the monitor and takes its poll type, still-alive test and time budget.
    void setMonitor(stZamMonitor* mon);
    void setAction(stZamAction* act, int timeoutMs);
    // Used in the log line and as the EHLO name of last resort.
    void setServerHostName(const QByteArray& name) { m_serverHost = name; }

    // Setters answer false for a text with a byte below 32; a null text changes nothing.
    bool setCredentials(const char* user, const char* password);
    bool setContentType(const char* text);
    bool setFrom(const char* text);
    bool setReplyTo(const char* text);
    bool setTo(const char* list);
    bool setCC(const char* list);
    bool setSubject(const char* text);
    // False for a control byte other than tab, LF and CR; line ends become CR LF.
    bool setBody(const char* text, bool alwaysCopy = false);
    bool setBody_f(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void setIgnoreSslErrors(bool ignore);
    void setUseTLSv10(bool only);

    // True once connected (and authenticated, or refused with authFailure() set).
    bool connectToServer();
    // xMailerLine goes out as it stands (with its own "\r\n"); null or empty: none.
    bool sendMail(const char* xMailerLine);
    bool disconnectFromServer();
    bool sendMailOnce(const char* xMailerLine);

    // The server's reply line when it refused the credentials, else null.
    const char* authFailure() const { return m_authFailed ? m_authFailure.c_str() : nullptr; }
    bool isConnected() const { return m_socket.isConnected(); }
    int connectionLifetime() const { return m_socket.connectionLifetime(); }
    CFailReason& failReason() { return m_reason; }
    const char* reason() const { return m_reason.text(); }

    void log(const QString& text) const;

    static bool is_printable(const char* text);
    static bool is_utf8(const char* text);
    static bool is_printable_body(const char* bytes, size_t length);

private:
    // Reads one reply: lines not starting with a digit are skipped; with multiline, "ddd-" lines
    // are read on and the reply ends at the first other line (a bare "250" included).
    bool readReply(int* code, bool multiline, std::string* lastLine = nullptr);
    bool sendEHLO();
    bool sendHELO();
    bool startTls();
    bool authenticate();
    bool refuseAuthentication(int code, const std::string& line);
    // Ends a failed connect: the reason stays as it is, the connection is closed.
    bool failConnect();
    QByteArray heloName() const;

    CTimedSocket m_socket;
    CFailReason m_reason;
    QByteArray m_serverHost;
    std::string m_user, m_password, m_contentType, m_from, m_replyTo, m_to, m_cc, m_subject, m_body;
    bool m_hasUser = false, m_hasPassword = false, m_hasFrom = false, m_hasReplyTo = false, m_hasTo = false,
         m_hasCC = false, m_hasBody = false;
    std::string m_authFailure;
    bool m_authFailed = false;
    bool m_authPlain = true;
    bool m_authLogin = true;
    stZamMonitor* m_monitor = nullptr;
    stZamAction* m_action = nullptr;
};
