#pragma once
// Blocking TCP client for line protocols: IPv4 connect within a time budget, optional TLS (at
// once, or later for STARTTLS), text lines out, text lines and numeric status replies in.
// Every wait is bounded by the remaining budget (never more than 1 s at a time, so a stop
// request is seen) and ends early when the host's still-alive test says stop. The descriptor
// stays non-blocking for its whole life, so TLS handshakes, reads and writes are bounded too.
// Failures answer false and leave a text in the reason buffer (the caller's, cut to its size).
// One object per poll, on the poll's thread; no locks.

#include "CFailReason.h"
#include "CLineBuffer.h"
#include "CTimeWatcher.h"
#include "zam_plugin_api.h"

#include <QByteArray>
#include <QHostAddress>
#include <string>

class CTimedSocketPlugin;
typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_method_st SSL_METHOD;

class CTimedSocket
{
public:
    enum SecureType {
        SecureNone = 0,
        SecureTlsIfAvailable = 1,  // the protocol above asks for STARTTLS and may go on without
        SecureTlsRequired = 2,     // the protocol above asks for STARTTLS and needs it
        SecureSsl = 3,             // TLS at once after connecting
    };
    static int intToSecConnType(int value);

    CTimedSocket(const QHostAddress& address, int port, int secureType);
    CTimedSocket(const QHostAddress& address, int port, int secureType, int pollType, int totalTimeoutMs,
                 int connectTimeoutMs, ZamStillAliveCallback stillAlive, void* context, char* reasonBuffer,
                 unsigned reasonSize);
    virtual ~CTimedSocket();
    CTimedSocket(const CTimedSocket&) = delete;
    CTimedSocket& operator=(const CTimedSocket&) = delete;

    void updateParameters(int pollType, int totalTimeoutMs, int connectTimeoutMs, ZamStillAliveCallback stillAlive,
                          void* context, char* reasonBuffer, unsigned reasonSize);
    void setIgnoreSslErrors(bool ignore) { m_ignoreSslErrors = ignore; }
    void setUseTLSv10(bool only) { m_tls10Only = only; }
    // Server name for SNI and, when certificates are checked, for the host-name check; without
    // one the certificate must name the peer's address.
    void setPeerName(const QByteArray& name) { m_peerName = name; }
    void setObserver(CTimedSocketPlugin* observer) { m_observer = observer; }

    bool connect();
    bool negotiateSSL();
    // Sends the text as it stands (no line end is added).
    bool sendline(const char* text);
    bool sendline_f(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // Next line into line(), without "\n" and one "\r" before it. Peeking waits 1 ms at most
    // and, when no line is there, answers false without a reason and keeps what was buffered.
    // Whenever a read ends without a line, the bytes collected so far become line().
    bool getline(bool peek = false);
    // Reads lines until one starts with a digit and stores its number; with multiline the line
    // must be "ddd" followed by the end, a blank or "\r" ("250-" continuation lines are read on).
    bool getstatus(int* code, bool multiline);
    bool disconnect();

    // One send or receive (TLS when on), waiting within the budget for the descriptor to be
    // ready: bytes moved, 0 when the peer closed (receive), -1 on failure or time-out.
    int sendData(const char* bytes, int length);
    int recvData(char* buffer, int size);
    void cleanupSSL();

    const char* line() const { return m_line.c_str(); }
    int lineLength() const { return static_cast<int>(m_line.size()); }
    bool isConnected() const { return m_flags & FlagConnected; }
    bool isSecure() const { return m_ssl != nullptr; }
    int secureType() const { return m_secureType; }
    int pollType() const { return m_pollType; }
    // Milliseconds from the start of connecting to the end of the connection (at least 1).
    int connectionLifetime() const { return m_lifetime; }
    const char* reason() const { return m_reason.text(); }
    CFailReason& failReason() { return m_reason; }
    CTimeWatcher& watcher() { return m_watcher; }
    int descriptor() const { return m_fd; }
    const QHostAddress& address() const { return m_address; }
    int port() const { return m_port; }

    // Still-alive answer: true when the poll is to stop now.
    bool stopRequested() const;

private:
    enum Flags { FlagConnected = 0x1 };
    enum WaitResult { WaitReady, WaitTimedOut, WaitAborted, WaitFailed };

    // Waits for the descriptor within the remaining budget, in steps of at most 10 s.
    WaitResult waitFor(bool forWrite);
    int rawSend(const char* bytes, int length, int* error);
    int rawRecv(char* buffer, int size, int* error);
    bool readLine(bool peek);
    void closeDescriptor();
    void recordLifetime();
    void keepPartialLine();

    CTimedSocketPlugin* m_observer = nullptr;
    int m_secureType = SecureNone;
    const SSL_METHOD* m_sslMethod = nullptr;
    SSL_CTX* m_sslCtx = nullptr;
    SSL* m_ssl = nullptr;
    int m_pollType = 0;
    int m_totalTimeout = 10000;
    int m_connectTimeout = 10000;
    ZamStillAliveCallback m_stillAlive = nullptr;
    void* m_stillAliveContext = nullptr;
    QHostAddress m_address;
    int m_port = 0;
    CTimeWatcher m_watcher;
    CFailReason m_reason;
    unsigned m_flags = 0;
    int m_lifetime = 0;
    bool m_ignoreSslErrors = true;
    bool m_tls10Only = false;
    QByteArray m_peerName;
    int m_fd = -1;
    CLineBuffer m_input;
    std::string m_line;
};
