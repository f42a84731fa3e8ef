#include "CSshSession.h"

#include "CSshClient.h"

CSshSession::~CSshSession() { shutdown(); }

bool CSshSession::create()
{
    m_session = libssh2_session_init_ex(nullptr, nullptr, nullptr, m_client);
    return m_session != nullptr;
}

bool CSshSession::init(int socket)
{
    libssh2_session_set_blocking(m_session, 0);
    libssh2_keepalive_config(m_session, 1, 30);
    int rc;
    while ((rc = libssh2_session_handshake(m_session, socket)) == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(false))
            return false;
    }
    handshakeDone = rc == 0;
    if (!handshakeDone)
        m_client->parseLibError();
    return handshakeDone;
}

bool CSshSession::shutdown()
{
    if (m_session == nullptr)
        return true;
    int rc;
    while ((rc = libssh2_session_disconnect_ex(m_session, SSH_DISCONNECT_BY_APPLICATION, "normal shutdown", ""))
           == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(true))
            break;
    }
    disconnectDone = rc == 0;
    while ((rc = libssh2_session_free(m_session)) == LIBSSH2_ERROR_EAGAIN) {
        if (!m_client->wait(true))
            break;
    }
    freeDone = rc == 0;
    // a free that could not finish still releases nothing twice: the handle is gone for us
    m_session = nullptr;
    return disconnectDone && freeDone;
}
