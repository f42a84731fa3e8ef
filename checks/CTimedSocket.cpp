#include "CTimedSocket.h"

#include "CTimedSocketPlugin.h"
#include "SigpipeGuard.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kMaxWaitStepMs = 1000;  // a stop request is seen within this time
constexpr int kSendPiece = 1024;
constexpr int kRecvPiece = 4096;

// Before every read or write on the TLS channel: a poll that is to stop does no more I/O.
long stillAliveBioCallback(BIO* bio, int oper, const char*, size_t, int, long, int ret, size_t*)
{
    if (oper & BIO_CB_RETURN)
        return ret;
    const int op = oper & ~BIO_CB_RETURN;
    if (op != BIO_CB_READ && op != BIO_CB_WRITE)
        return ret;
    const auto* socket = static_cast<const CTimedSocket*>(static_cast<void*>(BIO_get_callback_arg(bio)));
    if (socket && socket->stopRequested())
        return -1;
    return ret;
}

std::string firstSslErrorText()
{
    const unsigned long error = ERR_peek_error();
    const char* text = error ? ERR_reason_error_string(error) : nullptr;
    std::string out = text && *text ? text : "no reason";
    ERR_clear_error();
    return out;
}

} // namespace

int CTimedSocket::intToSecConnType(int value)
{
    return value == SecureTlsIfAvailable || value == SecureTlsRequired || value == SecureSsl ? value : SecureNone;
}

CTimedSocket::CTimedSocket(const QHostAddress& address, int port, int secureType)
    : m_secureType(intToSecConnType(secureType)), m_address(address), m_port(port), m_watcher(10000)
{
}

CTimedSocket::CTimedSocket(const QHostAddress& address, int port, int secureType, int pollType, int totalTimeoutMs,
                           int connectTimeoutMs, ZamStillAliveCallback stillAlive, void* context, char* reasonBuffer,
                           unsigned reasonSize)
    : m_secureType(intToSecConnType(secureType)), m_address(address), m_port(port), m_watcher(totalTimeoutMs),
      m_reason(reasonBuffer, reasonSize)
{
    m_pollType = pollType;
    m_totalTimeout = totalTimeoutMs;
    m_connectTimeout = connectTimeoutMs;
    m_stillAlive = stillAlive;
    m_stillAliveContext = context;
}

CTimedSocket::~CTimedSocket()
{
    if (isConnected())
        disconnect();
    cleanupSSL();
    closeDescriptor();
}

void CTimedSocket::updateParameters(int pollType, int totalTimeoutMs, int connectTimeoutMs,
                                    ZamStillAliveCallback stillAlive, void* context, char* reasonBuffer,
                                    unsigned reasonSize)
{
    m_pollType = pollType;
    m_totalTimeout = totalTimeoutMs;
    m_connectTimeout = connectTimeoutMs;
    m_watcher.setTimeout(totalTimeoutMs);
    m_stillAlive = stillAlive;
    m_stillAliveContext = context;
    m_reason.reset(reasonBuffer, reasonSize);
}

bool CTimedSocket::stopRequested() const
{
    return m_stillAlive && m_stillAlive(m_stillAliveContext) != 0;
}

void CTimedSocket::closeDescriptor()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CTimedSocket::recordLifetime()
{
    m_lifetime = static_cast<int>(m_watcher.elapsedMillisec());
}

CTimedSocket::WaitResult CTimedSocket::waitFor(bool forWrite)
{
    for (;;) {
        if (stopRequested())
            return WaitAborted;
        uint32_t wait = m_watcher.remainingTimeMillisec();
        if (wait == 0)
            return WaitTimedOut;
        if (wait > kMaxWaitStepMs)
            wait = kMaxWaitStepMs;
        pollfd p{m_fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        const int n = ::poll(&p, 1, static_cast<int>(wait));
        if (n > 0)
            return WaitReady;  // errors and hang-ups show up in the following call
        if (n < 0 && errno != EINTR)
            return WaitFailed;
    }
}

bool CTimedSocket::connect()
{
    if (isConnected())
        disconnect();
    cleanupSSL();
    closeDescriptor();
    m_input.clear();
    if (m_address.isNull() || m_address.protocol() != QAbstractSocket::IPv4Protocol) {
        m_reason.setReason("server IP address is undefined");
        return false;
    }
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_reason.setReason("Failed to create a socket");
        return false;
    }
    const QByteArray addressText = m_address.toString().toUtf8();
    if (m_observer)
        m_observer->connectStarting(addressText.constData(), m_port);
    m_watcher.start(m_totalTimeout);

    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(m_port));
    sa.sin_addr.s_addr = htonl(m_address.toIPv4Address());
    const int rc = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (rc != 0 && errno != EINPROGRESS && errno != EAGAIN) {
        recordLifetime();
        closeDescriptor();
        m_reason.setReason("Failed to connect to %s:%d over TCP/IP", addressText.constData(), m_port);
        return false;
    }
    if (rc != 0) {
        // The connect phase may use only its own limit when that is the smaller one.
        const bool ownLimit = m_connectTimeout > 0 && m_connectTimeout < m_totalTimeout;
        const uint32_t reserve = ownLimit ? static_cast<uint32_t>(m_totalTimeout - m_connectTimeout) : 0;
        for (;;) {
            if (stopRequested()) {
                recordLifetime();
                closeDescriptor();
                m_reason.setReason("connect operation aborted");
                return false;
            }
            uint32_t r = m_watcher.remainingTimeMillisec();
            if (ownLimit) {
                if (r <= reserve) {
                    recordLifetime();
                    closeDescriptor();
                    m_reason.setReason("connection timed out");
                    return false;
                }
                r -= reserve;
            }
            if (r == 0) {
                recordLifetime();
                closeDescriptor();
                m_reason.setReason("Timeout exceeded while connecting");
                return false;
            }
            if (r > kMaxWaitStepMs)
                r = kMaxWaitStepMs;
            pollfd p{m_fd, POLLOUT, 0};
            const int n = ::poll(&p, 1, static_cast<int>(r));
            if (n == 0 || (n < 0 && errno == EINTR))
                continue;
            int soError = 0;
            socklen_t len = sizeof soError;
            if (n < 0 || getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
                recordLifetime();
                closeDescriptor();
                m_reason.setReason("Failed to connect to %s:%d over TCP/IP", addressText.constData(), m_port);
                return false;
            }
            break;
        }
    }
    if (m_observer)
        m_observer->connected();
    if (m_secureType == SecureSsl && !negotiateSSL())
        return false;  // the descriptor stays open, not connected; the destructor closes it
    m_flags |= FlagConnected;
    return true;
}

bool CTimedSocket::negotiateSSL()
{
    if (m_observer)
        m_observer->tlsStarting();
    auto fail = [this](const char* fmt, const char* arg) {
        if (arg)
            m_reason.setReason(fmt, arg);
        else
            m_reason.setReason("%s", fmt);
        cleanupSSL();
        if (m_observer)
            m_observer->tlsFailed();
        return false;
    };
    if (m_fd < 0)
        return fail("Socket is not ready.", nullptr);
    cleanupSSL();
    ERR_clear_error();
    m_sslMethod = TLS_client_method();
    m_sslCtx = SSL_CTX_new(m_sslMethod);
    if (!m_sslCtx)
        return fail("Can not create SSL context.", nullptr);
    if (m_tls10Only) {
        SSL_CTX_set_min_proto_version(m_sslCtx, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(m_sslCtx, TLS1_VERSION);
    }
    // Old servers must stay reachable when their certificates are not checked anyway.
    if (m_ignoreSslErrors || m_tls10Only)
        SSL_CTX_set_security_level(m_sslCtx, 0);
    if (m_ignoreSslErrors) {
        SSL_CTX_set_verify(m_sslCtx, SSL_VERIFY_NONE, nullptr);
    } else {
        SSL_CTX_set_verify(m_sslCtx, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_default_verify_paths(m_sslCtx);
    }
    m_ssl = SSL_new(m_sslCtx);
    if (!m_ssl)
        return fail("Can not create SSL data.", nullptr);
    SSL_set_fd(m_ssl, m_fd);
    if (!m_peerName.isEmpty())
        SSL_set_tlsext_host_name(m_ssl, m_peerName.constData());
    if (!m_ignoreSslErrors) {
        if (!m_peerName.isEmpty())
            SSL_set1_host(m_ssl, m_peerName.constData());
        else
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), m_address.toString().toLatin1().constData());
    }
    BIO* bio = SSL_get_rbio(m_ssl);
    if (bio) {
        BIO_set_callback_arg(bio, static_cast<char*>(static_cast<void*>(this)));
        BIO_set_callback_ex(bio, stillAliveBioCallback);
    }

    SigpipeGuard noSigpipe;
    for (;;) {
        const int rc = SSL_connect(m_ssl);
        if (rc == 1)
            break;
        const int error = SSL_get_error(m_ssl, rc);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            const WaitResult w = waitFor(error == SSL_ERROR_WANT_WRITE);
            if (w == WaitReady)
                continue;
            ERR_clear_error();
            return fail("Cannot start SSL negotiation: %s.",
                        w == WaitAborted ? "operation aborted" : w == WaitTimedOut ? "timed out" : "wait failed");
        }
        if (stopRequested()) {
            ERR_clear_error();
            return fail("Cannot start SSL negotiation: %s.", "operation aborted");
        }
        const std::string text = firstSslErrorText();
        return fail("Cannot start SSL negotiation: %s.", text.c_str());
    }
    if (m_observer)
        m_observer->tlsSucceeded();
    return true;
}

void CTimedSocket::cleanupSSL()
{
    if (m_ssl) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_sslCtx) {
        SSL_CTX_free(m_sslCtx);
        m_sslCtx = nullptr;
    }
    m_sslMethod = nullptr;
    ERR_clear_error();
}

int CTimedSocket::rawSend(const char* bytes, int length, int* error)
{
    *error = 0;
    for (;;) {
        int n;
        if (m_ssl) {
            SigpipeGuard noSigpipe;
            ERR_clear_error();
            n = SSL_write(m_ssl, bytes, length);
            if (n > 0)
                return n;
            const int e = SSL_get_error(m_ssl, n);
            if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) {
                const WaitResult w = waitFor(e == SSL_ERROR_WANT_WRITE);
                if (w == WaitReady)
                    continue;
                *error = w == WaitAborted ? ECANCELED : w == WaitTimedOut ? ETIMEDOUT : EIO;
                return -1;
            }
            *error = e == SSL_ERROR_ZERO_RETURN ? ESHUTDOWN : (e == SSL_ERROR_SYSCALL && errno ? errno : EIO);
            ERR_clear_error();
            return -1;
        }
        n = static_cast<int>(::send(m_fd, bytes, static_cast<size_t>(length), MSG_NOSIGNAL));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const WaitResult w = waitFor(true);
            if (w == WaitReady)
                continue;
            *error = w == WaitAborted ? ECANCELED : w == WaitTimedOut ? ETIMEDOUT : EIO;
            return -1;
        }
        *error = errno;
        return -1;
    }
}

// One receive once data is there: bytes, 0 peer closed, -1 with error (EAGAIN: nothing yet).
int CTimedSocket::rawRecv(char* buffer, int size, int* error)
{
    *error = 0;
    if (m_ssl) {
        SigpipeGuard noSigpipe;
        ERR_clear_error();
        const int n = SSL_read(m_ssl, buffer, size);
        if (n > 0)
            return n;
        const int e = SSL_get_error(m_ssl, n);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            *error = EAGAIN;
            return -1;
        }
        if (e == SSL_ERROR_ZERO_RETURN)
            return 0;
        if (e == SSL_ERROR_SYSCALL && errno == 0) {
            ERR_clear_error();
            return 0;  // closed without a TLS goodbye
        }
        *error = e == SSL_ERROR_SYSCALL ? errno : EIO;
        if (*error == EAGAIN)
            *error = EIO;
        ERR_clear_error();
        return -1;
    }
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(size), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        *error = errno == EWOULDBLOCK ? EAGAIN : errno;
        return -1;
    }
}

int CTimedSocket::sendData(const char* bytes, int length)
{
    if (m_fd < 0 || !bytes || length < 0)
        return -1;
    if (m_observer) {
        m_watcher.beginHook();
        m_observer->sendStarting();
        m_watcher.endHook();
    }
    int error = 0;
    const int n = rawSend(bytes, length, &error);
    if (m_observer && n > 0)
        m_observer->dataSent(bytes, n);
    errno = error;
    return n;
}

int CTimedSocket::recvData(char* buffer, int size)
{
    if (m_fd < 0 || !buffer || size <= 0)
        return -1;
    if (m_observer) {
        m_watcher.beginHook();
        m_observer->receiveStarting();
        m_watcher.endHook();
    }
    for (;;) {
        if (!(m_ssl && SSL_pending(m_ssl) > 0)) {
            const WaitResult w = waitFor(false);
            if (w != WaitReady) {
                errno = w == WaitAborted ? ECANCELED : w == WaitTimedOut ? ETIMEDOUT : EIO;
                return -1;
            }
        }
        int error = 0;
        const int n = rawRecv(buffer, size, &error);
        if (n < 0 && error == EAGAIN)
            continue;
        if (m_observer && n > 0)
            m_observer->dataReceived(buffer, n);
        errno = error;
        return n;
    }
}

bool CTimedSocket::sendline(const char* text)
{
    if (!isConnected()) {
        m_reason.setReason("not connected");
        return false;
    }
    if (!text)
        return true;
    const size_t total = std::strlen(text);
    size_t sent = 0;
    while (sent < total) {
        if (stopRequested()) {
            m_reason.setReason("send operation aborted");
            return false;
        }
        if (m_watcher.remainingTimeMillisec() == 0) {
            m_reason.setReason("send() timed out");
            return false;
        }
        const int piece = static_cast<int>(std::min<size_t>(kSendPiece, total - sent));
        const int n = sendData(text + sent, piece);
        if (n < 0) {
            const int error = errno;
            if (error == ECANCELED) {
                m_reason.setReason("send operation aborted");
            } else if (error == ETIMEDOUT) {
                m_reason.setReason("send() timed out");
            } else {
                if (error == ECONNRESET || error == ESHUTDOWN || error == EPIPE) {
                    m_flags &= ~FlagConnected;
                    recordLifetime();
                }
                m_reason.setReason("Data are not sent completely");
            }
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool CTimedSocket::sendline_f(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0) {
        va_end(args);
        m_reason.setReason("Data are not sent completely");
        return false;
    }
    std::vector<char> text(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, args);
    va_end(args);
    return sendline(text.data());
}

void CTimedSocket::keepPartialLine()
{
    m_input.takeAll(m_line);
}

bool CTimedSocket::getline(bool peek)
{
    if (m_input.takeLine(m_line))
        return true;
    if (!isConnected()) {
        m_reason.setReason("not connected");
        keepPartialLine();
        return false;
    }
    return readLine(peek);
}

bool CTimedSocket::readLine(bool peek)
{
    char piece[kRecvPiece];
    for (;;) {
        if (stopRequested()) {
            m_reason.setReason("recv operation aborted");
            keepPartialLine();
            return false;
        }
        uint32_t r = m_watcher.remainingTimeMillisec();
        if (r == 0) {
            m_reason.setReason("recv() timed out");
            keepPartialLine();
            return false;
        }
        if (r > kMaxWaitStepMs)
            r = kMaxWaitStepMs;
        if (!(m_ssl && SSL_pending(m_ssl) > 0)) {
            pollfd p{m_fd, POLLIN, 0};
            const int n = ::poll(&p, 1, peek ? 1 : static_cast<int>(r));
            if (n == 0) {
                if (peek)
                    return false;
                continue;
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_reason.setReason("recv() failed; ERROR %d", errno);
                keepPartialLine();
                return false;
            }
        }
        if (m_observer) {
            m_watcher.beginHook();
            m_observer->receiveStarting();
            m_watcher.endHook();
        }
        int error = 0;
        const int n = rawRecv(piece, sizeof piece, &error);
        if (n > 0) {
            if (m_observer)
                m_observer->dataReceived(piece, n);
            m_input.append(piece, static_cast<size_t>(n));
            if (m_input.takeLine(m_line))
                return true;
            continue;
        }
        if (n == 0) {
            keepPartialLine();  // the peer closed: no reason, the partial answer stays readable
            return false;
        }
        if (error == EAGAIN) {
            if (peek)
                return false;
            continue;
        }
        if (error == ECONNRESET || error == ESHUTDOWN) {
            m_flags &= ~FlagConnected;
            recordLifetime();
            m_reason.setReason("connection %s by other party while receiving data",
                               error == ESHUTDOWN ? "closed" : "reset");
        } else {
            m_reason.setReason("recv() failed; ERROR %d", error);
        }
        keepPartialLine();
        return false;
    }
}

bool CTimedSocket::getstatus(int* code, bool multiline)
{
    for (;;) {
        if (!getline(false))
            return false;
        const char* text = m_line.c_str();
        if (!(text[0] >= '0' && text[0] <= '9'))
            continue;
        const int value = static_cast<int>(std::strtol(text, nullptr, 10));
        if (code)
            *code = value;
        if (!multiline)
            return true;
        const bool digits3 = m_line.size() >= 3 && text[1] >= '0' && text[1] <= '9' && text[2] >= '0' && text[2] <= '9';
        if (digits3 && (text[3] == '\0' || text[3] == ' ' || text[3] == '\r'))
            return true;
    }
}

bool CTimedSocket::disconnect()
{
    if (m_observer)
        m_observer->disconnectStarting();
    if (!isConnected()) {
        cleanupSSL();
        closeDescriptor();
        m_input.clear();
        return true;
    }
    m_flags &= ~FlagConnected;
    if (m_ssl) {
        SigpipeGuard noSigpipe;
        SSL_shutdown(m_ssl);  // one try: the descriptor is non-blocking, nothing waits here
        cleanupSSL();
    }
    bool ok = true;
    if (m_fd >= 0 && ::close(m_fd) != 0 && errno != EINTR) {
        m_reason.setReason("Failed to close the socket");
        ok = false;
    }
    m_fd = -1;
    m_input.clear();
    m_line.clear();
    recordLifetime();
    if (m_observer)
        m_observer->disconnected();
    return ok;
}
