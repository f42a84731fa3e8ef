#include "CSshChannel.h"

#include "CSshClient.h"

#include <cstring>

namespace {
constexpr unsigned kWindowSize = 2097152;
constexpr unsigned kPacketSize = 32768;
} // namespace

CSshChannel::~CSshChannel() { shutdown(); }

bool CSshChannel::init()
{
    LIBSSH2_SESSION* session = m_client->sessionHandle();
    if (session == nullptr)
        return false;
    while ((m_channel = libssh2_channel_open_ex(session, "session", sizeof("session") - 1, kWindowSize, kPacketSize, nullptr, 0))
           == nullptr) {
        if (libssh2_session_last_errno(session) != LIBSSH2_ERROR_EAGAIN || !m_client->wait(false)) {
            m_client->parseLibError();
            return false;
        }
    }
    return true;
}

bool CSshChannel::exec(const QByteArray& command)
{
    int rc;
    while ((rc = libssh2_channel_process_startup(m_channel, "exec", sizeof("exec") - 1, command.constData(),
                                                  static_cast<unsigned>(command.size())))
           == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(false))
            return false;
    }
    if (rc != 0)
        m_client->parseLibError();
    return rc == 0;
}

bool CSshChannel::writeFile(const QByteArray& text)
{
    qint64 written = 0;
    while (written < text.size()) {
        const ssize_t rc = libssh2_channel_write_ex(m_channel, 0, text.constData() + written, static_cast<size_t>(text.size() - written));
        if (rc == LIBSSH2_ERROR_EAGAIN) {
            if (!m_client->wait(false))
                return false;
            continue;
        }
        if (rc < 0) {
            m_client->parseLibError();
            return false;
        }
        written += rc;
    }
    int rc;
    while ((rc = libssh2_channel_send_eof(m_channel)) == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(false))
            return false;
    }
    while ((rc = libssh2_channel_flush_ex(m_channel, 0)) == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(false))
            return false;
    }
    if (rc < 0)
        m_client->parseLibError();
    return rc >= 0;
}

int CSshChannel::readStream(int stream, char* buffer, qint64& received)
{
    char scratch[256];
    const qint64 room = kBufferSize - 1 - received;
    char* target = room > 0 ? buffer + received : scratch;
    const size_t size = room > 0 ? static_cast<size_t>(room) : sizeof scratch;
    const ssize_t rc = libssh2_channel_read_ex(m_channel, stream, target, size);
    if (rc == LIBSSH2_ERROR_EAGAIN)
        return -1;
    if (rc < 0) {
        m_client->parseLibError();
        return -2;
    }
    if (rc == 0)
        return 0;
    if (room > 0)
        buffer[received + rc] = '\0';
    received += rc;
    return 1;
}

bool CSshChannel::close()
{
    outFinished = errFinished = false;
    m_closed = false;
    exitStatusReceived = false;
    bool readError = false;
    while (!libssh2_channel_eof(m_channel)) {
        const int out = outFinished ? 0 : readStream(0, m_out, outReceived);
        if (out == 0)
            outFinished = true;
        const int err = errFinished ? 0 : readStream(1, m_err, errReceived);
        if (err == 0)
            errFinished = true;
        if (out == -2 || err == -2) {
            readError = true;
            break;
        }
        if (outFinished && errFinished)
            break;
        if (out == -1 && err == -1 && !m_client->wait(true))
            break;
        if (out == -1 && errFinished && !m_client->wait(true))
            break;
        if (err == -1 && outFinished && !m_client->wait(true))
            break;
    }
    if (!readError && libssh2_channel_eof(m_channel)) {
        // what arrived with the end of file is still in libssh2's buffers
        while (!outFinished && readStream(0, m_out, outReceived) == 1) {
        }
        while (!errFinished && readStream(1, m_err, errReceived) == 1) {
        }
        outFinished = errFinished = true;
    }
    int rc;
    while ((rc = libssh2_channel_close(m_channel)) == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(true))
            break;
    }
    const bool closeOk = rc == 0;
    if (closeOk) {
        while ((rc = libssh2_channel_wait_closed(m_channel)) == LIBSSH2_ERROR_EAGAIN) {
            if (!m_client->wait(true))
                break;
        }
        if (rc == 0) {
            exitStatus = libssh2_channel_get_exit_status(m_channel);
            exitStatusReceived = true;
        }
    } else {
        m_client->parseLibError();
    }
    m_closed = true;
    return closeOk && exitStatusReceived;
}

bool CSshChannel::shutdown()
{
    if (m_channel == nullptr)
        return true;
    bool ok = true;
    if (!m_closed) {
        int rc;
        while ((rc = libssh2_channel_close(m_channel)) == LIBSSH2_ERROR_EAGAIN) {
            if (!m_client->wait(true))
                break;
        }
        ok = rc == 0;
        m_closed = true;
    }
    if (!m_freed) {
        int rc;
        while ((rc = libssh2_channel_free(m_channel)) == LIBSSH2_ERROR_EAGAIN) {
            if (!m_client->wait(true))
                break;
        }
        ok = ok && rc == 0;
        m_freed = true;
    }
    m_channel = nullptr;
    return ok;
}
