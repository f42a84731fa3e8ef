#pragma once
// One SSH server connection: connect, handshake, host-key test, authentication, then one
// remote command per poll (a script optionally fed to its standard input), its output read and
// turned into the monitor's result; or, in connect-only mode, the connection time. libssh2 runs
// non-blocking and every wait is one poll() on the socket bounded by the poll's budget and the
// still-alive test. Owned by the pool; used by one poll at a time on its thread; no locks.

#include "CSshChannel.h"
#include "CSshClientAuth.h"
#include "CSshSession.h"
#include "CTimedSocket.h"

#include <QByteArray>
#include <QHostAddress>

#include <cstdarg>

#include <memory>

class CSshClient
{
public:
    enum EExecScript { ExecStandard = 0, ExecNagios = 1, ExecConnectOnly = 2 };

    CSshClient(const QHostAddress& address, int port);
    ~CSshClient();
    CSshClient(const CSshClient&) = delete;
    CSshClient& operator=(const CSshClient&) = delete;

    void setMonitor(stZamMonitor* mon);
    // Forgets the monitor of the last poll (its record does not outlive the poll).
    void detach();
    void setTestHostKey(bool test, const QByteArray& fingerprint);
    void setAuth(const CSshClientAuth& auth);
    void setScriptAndFile(EExecScript mode, const QByteArray& command, const QByteArray& script);
    void setDivideBy(double divisor) { m_divisor = divisor; }
    void setMeasure(const QByteArray& unit) { m_measure = unit; }

    // One poll: 0 success, 1 failure with the monitor's reason set.
    int exec();
    bool shutdown();
    // Keep-alive probe: 0 sent (or to be sent once the socket drains), non-zero when the
    // session is gone.
    int sendKeepAlive();

    bool isConnected() const { return m_connected; }
    bool hasSession() const { return m_session && m_session->handle() != nullptr; }
    void markNotConnected() { m_connected = false; }
    QByteArray rawOutput() const { return m_rawOutput; }

    // For the session and channel steps.
    bool wait(bool extended);
    void parseLibError();
    void appendLibErrorMsg(const QByteArray& text);
    LIBSSH2_SESSION* sessionHandle() const { return m_session ? m_session->handle() : nullptr; }
    void log(const QString& text) const;
    const QByteArray& password() const { return m_auth.password; }

private:
    bool establishSession();
    bool checkHostKey();
    bool authenticate();
    bool authByPubKey();
    bool authByPass();
    bool authByKbd();
    // Repeats a libssh2 call while it asks to try again and the wait allows; its last answer,
    // or EAGAIN when the wait gave up.
    template <class Call>
    int retry(Call call)
    {
        int rc;
        while ((rc = call()) == LIBSSH2_ERROR_EAGAIN) {
            if (!wait(false))
                break;
        }
        return rc;
    }
    int connectOnly();
    int runCommand();
    // The monitor's reason (with the collected library text behind it) and its failure;
    // fail answers the poll's 1, failed a step's false.
    int fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool failed(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void setReason(const char* format, va_list args);

    CTimedSocket m_socket;
    std::unique_ptr<CSshSession> m_session;
    std::unique_ptr<CSshChannel> m_channel;
    stZamMonitor* m_mon = nullptr; // bound for the current poll only
    bool m_connected = false;
    bool m_testHostKey = false;
    QByteArray m_fingerprint;
    EExecScript m_mode = ExecConnectOnly;
    QByteArray m_command;
    QByteArray m_script;
    QByteArray m_measure;
    double m_divisor = 1.0;
    CSshClientAuth m_auth;
    int m_methods = 0; // 1 password, 2 keyboard-interactive, 4 publickey
    bool m_methodsReceived = false;
    bool m_authenticated = false;
    QByteArray m_libError;
    QByteArray m_rawOutput;
    // End of the one grace period that closing steps share (monotonic ms; 0 unset).
    uint64_t m_closeDeadline = 0;
    char m_reasonScratch[ZAM_FAIL_REASON_SIZE] = {};
};
