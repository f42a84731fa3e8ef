#pragma once
// The libssh2 session of one client: non-blocking handshake, disconnect and free, each step
// repeated while libssh2 asks to try again and the client's wait allows. Owned by its client;
// used on the poll's thread only.

#include <libssh2.h>

class CSshClient;

class CSshSession
{
public:
    explicit CSshSession(CSshClient* client) : m_client(client) {}
    ~CSshSession();

    // Creates the session (the client as its abstract pointer); false when libssh2 cannot.
    bool create();
    // Non-blocking mode, keep-alive every 30 s, handshake on the socket.
    bool init(int socket);
    // Disconnect ("normal shutdown") and free; the handle is forgotten either way.
    bool shutdown();

    LIBSSH2_SESSION* handle() const { return m_session; }
    bool handshakeDone = false;
    bool disconnectDone = false;
    bool freeDone = false;

private:
    CSshClient* m_client; // not owned
    LIBSSH2_SESSION* m_session = nullptr;
};
