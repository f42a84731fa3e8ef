#include "CSshClient.h"

#include "CExecProgram.h"
#include "CTimeWatcher.h"
#include "zam_compose.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <QString>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

namespace {

constexpr int kCloseGraceMs = 5000;
constexpr uint64_t kWaitSliceMs = 250;

uint64_t monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// "; " between texts, one trailing mark of ".,:;!?" dropped first.
void appendJoined(QByteArray& to, const QByteArray& text)
{
    if (!to.isEmpty()) {
        if (QByteArray(".,:;!?").contains(to.back()))
            to.chop(1);
        to += "; ";
    }
    to += text;
}

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { libssh2_init(0); });
}

// Answers a request with exactly one prompt with the client's password.
void kbdCb(const char*, int, const char*, int, int numPrompts, const LIBSSH2_USERAUTH_KBDINT_PROMPT*,
           LIBSSH2_USERAUTH_KBDINT_RESPONSE* responses, void** abstract)
{
    if (numPrompts != 1 || abstract == nullptr || *abstract == nullptr)
        return;
    const QByteArray& password = static_cast<CSshClient*>(*abstract)->password();
    // libssh2 frees the answer with its own allocator, which is free()
    responses[0].text = static_cast<char*>(malloc(static_cast<size_t>(password.size()) + 1));
    if (responses[0].text == nullptr)
        return;
    memcpy(responses[0].text, password.constData(), static_cast<size_t>(password.size()));
    responses[0].text[password.size()] = '\0';
    responses[0].length = static_cast<unsigned>(password.size());
}

} // namespace

CSshClient::CSshClient(const QHostAddress& address, int port) : m_socket(address, port, CTimedSocket::SecureNone)
{
    initLibrary();
}

CSshClient::~CSshClient() { shutdown(); }

void CSshClient::setMonitor(stZamMonitor* mon)
{
    m_mon = mon;
    const int total = std::max(mon->timeout, 2000);
    const int connect = mon->mode == 1 ? 2000 : total;
    m_socket.updateParameters(mon->mode, total, connect, mon->stillAlive, mon->stillAliveContext, m_reasonScratch,
                              sizeof m_reasonScratch);
    m_measure.clear();
}

void CSshClient::detach()
{
    m_mon = nullptr;
    m_socket.updateParameters(0, 10000, 10000, nullptr, nullptr, m_reasonScratch, sizeof m_reasonScratch);
}

void CSshClient::setTestHostKey(bool test, const QByteArray& fingerprint)
{
    m_testHostKey = test;
    m_fingerprint = fingerprint;
}

void CSshClient::setAuth(const CSshClientAuth& auth)
{
    m_auth.set(auth);
    log(QStringLiteral("auth set"));
}

void CSshClient::setScriptAndFile(EExecScript mode, const QByteArray& command, const QByteArray& script)
{
    m_mode = mode;
    m_command = command;
    m_script = script;
}

void CSshClient::log(const QString& text) const
{
    if (m_mon != nullptr)
        zamLogMonitorPlugin_QStr(m_mon, text);
}

void CSshClient::appendLibErrorMsg(const QByteArray& text)
{
    if (text.isEmpty())
        return;
    appendJoined(m_libError, text);
    log(QString::fromUtf8(text));
}

void CSshClient::parseLibError()
{
    LIBSSH2_SESSION* session = sessionHandle();
    if (session == nullptr)
        return;
    char* message = nullptr;
    int length = 0;
    libssh2_session_last_error(session, &message, &length, 0);
    if (message != nullptr && length > 0)
        appendLibErrorMsg(QByteArray(message, length));
}

bool CSshClient::wait(bool extended)
{
    log(QStringLiteral("wait"));
    if (m_mon != nullptr && m_mon->stillAlive != nullptr && m_mon->stillAlive(m_mon->stillAliveContext) != 0) {
        appendLibErrorMsg("stopped by service");
        return false;
    }
    uint64_t remaining = m_socket.watcher().remainingTimeMillisec();
    if (extended) {
        // closing steps share one grace period, however many of them wait
        const uint64_t now = monotonicMs();
        if (m_closeDeadline == 0)
            m_closeDeadline = now + std::max<uint64_t>(remaining == 0xFFFFFFFFu ? kCloseGraceMs : remaining, kCloseGraceMs);
        remaining = m_closeDeadline > now ? m_closeDeadline - now : 0;
    }
    LIBSSH2_SESSION* session = sessionHandle();
    const int directions = session != nullptr ? libssh2_session_block_directions(session) : 0;
    if ((directions & (LIBSSH2_SESSION_BLOCK_INBOUND | LIBSSH2_SESSION_BLOCK_OUTBOUND)) == 0)
        return true;
    pollfd fd{m_socket.descriptor(), 0, 0};
    if (directions & LIBSSH2_SESSION_BLOCK_INBOUND)
        fd.events |= POLLIN;
    if (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND)
        fd.events |= POLLOUT;
    // in slices, so a stop from the service is seen within one of them
    const uint64_t until = monotonicMs() + remaining;
    int rc = 0;
    for (;;) {
        const uint64_t now = monotonicMs();
        const int slice = static_cast<int>(std::min<uint64_t>(until > now ? until - now : 0, kWaitSliceMs));
        rc = ::poll(&fd, 1, slice);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc != 0 || monotonicMs() >= until)
            break;
        if (m_mon != nullptr && m_mon->stillAlive != nullptr && m_mon->stillAlive(m_mon->stillAliveContext) != 0) {
            appendLibErrorMsg("stopped by service");
            return false;
        }
    }
    if (rc > 0) {
        log(QStringLiteral("wait ok"));
        return true;
    }
    if (rc == 0) {
        appendLibErrorMsg("Timeout was reached");
        return false;
    }
    appendLibErrorMsg(QByteArray("Socket error: ").append(strerror(errno)));
    return false;
}

int CSshClient::fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    setReason(format, args);
    va_end(args);
    return 1;
}

bool CSshClient::failed(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    setReason(format, args);
    va_end(args);
    return false;
}

void CSshClient::setReason(const char* format, va_list args)
{
    if (m_mon == nullptr)
        return;
    char text[ZAM_FAIL_REASON_SIZE];
    vsnprintf(text, sizeof text, format, args);
    QByteArray reason(text);
    if (!m_libError.isEmpty()) {
        if (!reason.isEmpty())
            reason += ": ";
        reason += m_libError;
    }
    setMonFailReason(m_mon, reason.left(ZAM_FAIL_REASON_SIZE - 1).constData());
    log(QString::fromUtf8(reason));
    setMonFailure(m_mon);
}

bool CSshClient::shutdown()
{
    // a client closed within a poll keeps that poll's one grace; otherwise it gets its own
    if (m_mon == nullptr)
        m_closeDeadline = 0;
    bool ok = true;
    if (m_channel) {
        ok = m_channel->shutdown() && ok;
        m_channel.reset();
    }
    if (m_session) {
        ok = m_session->shutdown() && ok;
        m_session.reset();
    }
    if (m_socket.isConnected())
        ok = m_socket.disconnect() && ok;
    m_connected = false;
    return ok;
}

int CSshClient::sendKeepAlive()
{
    if (!m_connected)
        return 1;
    if (sessionHandle() == nullptr) {
        m_connected = false;
        return 1;
    }
    // a server that closed the connection leaves a readable end of file (or an error); the
    // keep-alive alone would go into the socket buffer and pass
    pollfd fd{m_socket.descriptor(), POLLIN | POLLRDHUP, 0};
    if (::poll(&fd, 1, 0) > 0) {
        char byte;
        const bool gone = (fd.revents & (POLLERR | POLLHUP | POLLRDHUP | POLLNVAL)) != 0;
        const ssize_t peeked = (fd.revents & POLLIN) != 0 ? ::recv(fd.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) : 1;
        if (gone || peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            m_connected = false;
            return 1;
        }
    }
    int next = 0;
    const int rc = libssh2_keepalive_send(sessionHandle(), &next);
    // a full socket buffer is no sign of a dead peer
    return rc == LIBSSH2_ERROR_EAGAIN ? 0 : rc;
}

bool CSshClient::establishSession()
{
    log(QStringLiteral("connect to '%1:%2' as '%3'")
            .arg(m_socket.address().toString())
            .arg(m_socket.port())
            .arg(QString::fromUtf8(m_auth.user)));
    if (!m_socket.connect())
        return failed("Failed to connect to SSH server: %s", m_socket.reason());
    log(QStringLiteral("connect ok"));
    // SSH exchanges many small packets; waiting for delayed acknowledgements costs 40 ms each
    const int noDelay = 1;
    setsockopt(m_socket.descriptor(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    log(QStringLiteral("establish session"));
    m_session = std::make_unique<CSshSession>(this);
    if (!m_session->create())
        return failed("Failed to create SSH session");
    log(QStringLiteral("establish session ok"));
    log(QStringLiteral("start session"));
    if (!m_session->init(m_socket.descriptor()))
        return failed("Failed to establish SSH session");
    log(QStringLiteral("start session ok"));
    if (m_mon != nullptr && m_mon->mode == 1)
        return true; // discovery: connection time only
    if (m_testHostKey && !checkHostKey())
        return false;
    log(QStringLiteral("check auth methods"));
    const char* list = nullptr;
    while ((list = libssh2_userauth_list(sessionHandle(), m_auth.user.constData(), static_cast<unsigned>(m_auth.user.size())))
           == nullptr) {
        if (libssh2_session_last_errno(sessionHandle()) != LIBSSH2_ERROR_EAGAIN || !wait(false)) {
            parseLibError();
            return failed("Failed to get supported authentication types");
        }
    }
    m_methods = 0;
    if (strstr(list, "password"))
        m_methods |= 1;
    if (strstr(list, "keyboard-interactive"))
        m_methods |= 2;
    if (strstr(list, "publickey"))
        m_methods |= 4;
    m_methodsReceived = true;
    log(QStringLiteral("check auth methods ok"));
    return authenticate();
}

bool CSshClient::checkHostKey()
{
    log(QStringLiteral("get fingerprint"));
    const char* hash = libssh2_hostkey_hash(sessionHandle(), LIBSSH2_HOSTKEY_HASH_MD5);
    if (hash == nullptr)
        return failed("Failed to get host key fingerprint");
    QByteArray computed;
    for (int i = 0; i < 16; ++i) {
        if (i > 0)
            computed += ':';
        computed += QByteArray::number(static_cast<unsigned char>(hash[i]), 16).rightJustified(2, '0');
    }
    if (m_fingerprint.toLower() != computed) {
        m_libError.clear();
        return failed("Host key fingerprint does not match: %s", computed.constData());
    }
    log(QStringLiteral("get fingerprint ok"));
    return true;
}

bool CSshClient::authByPubKey()
{
    log(QStringLiteral("authenticate as user: '%1', public key: '%2'")
            .arg(QString::fromUtf8(m_auth.user), QString::fromUtf8(m_auth.publicKeyPath)));
    const int rc = retry([this] {
        return libssh2_userauth_publickey_fromfile_ex(sessionHandle(), m_auth.user.constData(), static_cast<unsigned>(m_auth.user.size()),
                                                      m_auth.publicKeyPath.constData(), m_auth.privateKeyPath.constData(),
                                                      m_auth.passphrase.constData());
    });
    if (rc == LIBSSH2_ERROR_EAGAIN)
        return false;
    if (rc != 0)
        parseLibError();
    return rc == 0;
}

bool CSshClient::authByPass()
{
    log(QStringLiteral("authenticate as user: '%1'").arg(QString::fromUtf8(m_auth.user)));
    const int rc = retry([this] {
        return libssh2_userauth_password_ex(sessionHandle(), m_auth.user.constData(), static_cast<unsigned>(m_auth.user.size()),
                                            m_auth.password.constData(), static_cast<unsigned>(m_auth.password.size()), nullptr);
    });
    if (rc == LIBSSH2_ERROR_EAGAIN)
        return false;
    if (rc != 0)
        parseLibError();
    else
        log(QStringLiteral("authenticate ok"));
    return rc == 0;
}

bool CSshClient::authByKbd()
{
    log(QStringLiteral("authenticate by Kbd"));
    const int rc = retry([this] {
        return libssh2_userauth_keyboard_interactive_ex(sessionHandle(), m_auth.user.constData(),
                                                        static_cast<unsigned>(m_auth.user.size()), kbdCb);
    });
    if (rc == LIBSSH2_ERROR_EAGAIN)
        return false;
    if (rc != 0)
        parseLibError();
    else
        log(QStringLiteral("authenticate ok"));
    return rc == 0;
}

bool CSshClient::authenticate()
{
    log(QStringLiteral("authenticate"));
    m_authenticated = false;
    QByteArray collected;
    m_libError.clear();
    auto attempt = [&](bool ok, const char* text) {
        if (!ok) {
            QByteArray line(text);
            if (!m_libError.isEmpty())
                line += ": " + m_libError;
            appendJoined(collected, line);
        }
        m_libError.clear();
        return ok;
    };
    const int method = m_auth.method;
    if (method == CSshClientAuth::ByPublicKey || method == CSshClientAuth::ByPublicKeyOrPassword) {
        if (!(m_methods & 4))
            collected = "Public key authentication is not supported";
        else
            m_authenticated = attempt(authByPubKey(), "Authentication by public key failed");
    }
    if (!m_authenticated && (method == CSshClientAuth::ByPassword || method == CSshClientAuth::ByPublicKeyOrPassword)) {
        if (m_methods & 1)
            m_authenticated = attempt(authByPass(), "Authentication by password failed");
        if (!m_authenticated && (m_methods & 2))
            m_authenticated = attempt(authByKbd(), "Authentication by keyboard-interactive failed");
        if (!(m_methods & 3))
            collected = "Authentication by password is not supported";
    } else if (method != CSshClientAuth::ByPublicKey && method != CSshClientAuth::ByPublicKeyOrPassword) {
        collected = "Bad authentication type";
    }
    if (!m_authenticated) {
        if (collected.isEmpty())
            collected = "Authentication failed";
        return failed("%s", collected.constData());
    }
    log(QStringLiteral("authenticate ok"));
    return true;
}

int CSshClient::exec()
{
    log(QStringLiteral("execute"));
    m_rawOutput.clear();
    m_closeDeadline = 0;
    if (!m_connected) {
        m_libError.clear();
        if (!establishSession())
            return 1;
        m_connected = true;
    } else {
        // a pooled session: the whole budget again for this poll
        m_libError.clear();
        m_socket.watcher().start();
    }
    return m_mode == ExecConnectOnly ? connectOnly() : runCommand();
}

int CSshClient::connectOnly()
{
    if (m_session && !m_session->shutdown())
        return fail("Failed to shutdown SSH session");
    m_session.reset();
    m_connected = false;
    if (!m_socket.disconnect()) {
        m_libError.clear();
        return fail("Failed to disconnect from SSH server: %s", m_socket.reason());
    }
    if (m_mon != nullptr) {
        const uint32_t elapsed = std::max<uint32_t>(1, CTimeWatcher::nowMillisec() - m_socket.watcher().startTime());
        m_mon->resultValue = static_cast<int>(elapsed);
        m_mon->perfValue = static_cast<int64_t>(elapsed / m_divisor);
        compose_MEASURE_UNIT(m_mon, " msec");
        log(QStringLiteral("response time: %1 msec").arg(elapsed));
    }
    return 0;
}

int CSshClient::runCommand()
{
    log(QStringLiteral("request shell"));
    m_channel = std::make_unique<CSshChannel>(this);
    if (!m_channel->init())
        return fail("Failed to open session channel");
    log(QStringLiteral("request shell ok"));
    log(QStringLiteral("execute command"));
    if (!m_channel->exec(m_command))
        return fail("Failed to execute script");
    log(QStringLiteral("execute command ok"));
    if (!m_script.isEmpty()) {
        log(QStringLiteral("prepare script for remote host"));
        if (!m_channel->writeFile(m_script))
            return fail("Failed to write to script's stdin");
        log(QStringLiteral("prepare script for remote host ok"));
    }
    log(QStringLiteral("close channel"));
    if (!m_channel->closed() && !m_channel->close() && !m_channel->exitStatusReceived)
        return fail("Failed to close session channel");
    log(QStringLiteral("close channel ok"));
    log(QStringLiteral("get exit code"));
    if (!m_channel->exitStatusReceived)
        return fail("Failed to get exit status");
    log(QStringLiteral("get exit code ok"));
    const int status = m_channel->exitStatus;
    if (status != 0) {
        const bool warning = status == 1 && m_mode == ExecNagios;
        int rc;
        if (!m_channel->errFinished)
            rc = fail("Execution failed with exit status %d. Failed to read error.", status);
        else if (m_channel->errText()[0] != '\0')
            rc = fail("Execution failed with exit status %d: %s", status, m_channel->errText());
        else if (!m_channel->outFinished)
            rc = fail("Execution failed with exit status %d. Failed to read error.", status);
        else if (m_channel->outText()[0] != '\0')
            rc = fail("Execution failed with exit status %d: %s", status, m_channel->outText());
        else
            rc = fail("Execution failed with exit status %d.", status);
        if (!warning)
            return rc;
        m_mon->resultCode = 1;
    }
    log(QStringLiteral("read script output"));
    if (!m_channel->outFinished)
        return fail("Failed to read script output");
    log(QStringLiteral("read script output ok"));
    if (m_mon == nullptr)
        return 0;
    log(QStringLiteral("get performance"));
    if (m_mon->mode == 2) {
        m_rawOutput = QByteArray(m_channel->outText());
        m_channel->shutdown();
        m_channel.reset();
        return 0;
    }
    QString display;
    m_mon->perfValue = CExecProgram::getPerfValue_utf8(QByteArray(m_channel->outText()), m_mode == ExecNagios ? 1 : 0, m_divisor, &display);
    compose_UTF8_DISPLAY_VALUE(m_mon, display.toUtf8().constData());
    validateStrResponse(m_mon, 1, display);
    validateStrResponse(m_mon, 0, display);
    if (!m_measure.isEmpty())
        compose_INT64_PERFVAL_MEASURE_UNIT(m_mon, m_mon->perfValue, m_measure.constData());
    m_channel->shutdown();
    m_channel.reset();
    log(QStringLiteral("get performance ok"));
    return 0;
}
