#pragma once
// One command's channel: open, exec, standard input, reading both output streams into fixed
// 4096-byte buffers (later bytes are drained and dropped), close and exit status. Owned by its
// client; used on the poll's thread only.

#include <QByteArray>
#include <libssh2.h>

class CSshClient;

class CSshChannel
{
public:
    static constexpr int kBufferSize = 4096;

    explicit CSshChannel(CSshClient* client) : m_client(client) {}
    ~CSshChannel();

    bool init();
    bool exec(const QByteArray& command);
    bool writeFile(const QByteArray& text);
    // Reads both streams to their end, closes, waits for the close and reads the exit status.
    bool close();
    // Closes when not yet closed and frees; the handle is forgotten.
    bool shutdown();

    bool closed() const { return m_closed; }
    bool exitStatusReceived = false;
    int exitStatus = 0;
    bool outFinished = false;
    bool errFinished = false;
    // NUL-terminated texts of the two streams (at most 4095 bytes each).
    const char* outText() const { return m_out; }
    const char* errText() const { return m_err; }
    qint64 outReceived = 0;
    qint64 errReceived = 0;

private:
    // One read of a stream: 1 data, 0 end, -1 try again, -2 error.
    int readStream(int stream, char* buffer, qint64& received);

    CSshClient* m_client; // not owned
    LIBSSH2_CHANNEL* m_channel = nullptr;
    bool m_closed = false;
    bool m_freed = false;
    char m_out[kBufferSize] = {};
    char m_err[kBufferSize] = {};
};
