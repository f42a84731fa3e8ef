#pragma once
// A control-port client for tests on 127.0.0.1, driven by the test thread's event loop, and
// a standalone control server (no root) on a port of its own.
#include "support/EventLoopWait.h"

#include "common/NotificationBase.h"
#include "common/NotificationFixedSize.h"
#include "common/NotificationIntStr.h"
#include "link/CControlServer.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>

#include <memory>

class ControlPortClient
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return m_socket.waitForConnected(10000);
    }
    void send(const NotificationBase& n) { sendRaw(NotificationBase::frameBytes(n)); }
    void sendRaw(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Texts of the notifications received so far ("fixed size 2 7 8 0", ...).
    QStringList received()
    {
        pump();
        return m_received;
    }
    bool waitForCount(int count, int timeoutMs = 10000)
    {
        return waitUntil([&] { return received().size() >= count; }, timeoutMs);
    }
    bool waitForDisconnected(int timeoutMs = 10000)
    {
        return waitUntil([&] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void close() { m_socket.disconnectFromHost(); }

private:
    void pump()
    {
        for (;;) {
            bool error = false;
            bool skipped = false;
            const NotificationPtr n = NotificationBase::readFrom(&m_socket, error, &skipped);
            if (n)
                m_received << n->toString();
            else if (error)
                m_received << QStringLiteral("read error");
            if (!n && !skipped)
                return;
        }
    }

    QTcpSocket m_socket;
    QStringList m_received;
};

inline QString fs(qint32 code, qint32 v1, qint32 v2, qint32 v3)
{
    return NotificationFixedSize(code, v1, v2, v3).toString();
}

inline NotificationPtr fsPtr(qint32 code, qint32 v1, qint32 v2, qint32 v3)
{
    return NotificationPtr(new NotificationFixedSize(code, v1, v2, v3));
}

// A control server outside the root: the test opens the gates the root would open.
class StandaloneControlServer
{
public:
    // clock: what the network side ages waiting notifications by (null: the real one).
    explicit StandaloneControlServer(int port = 0, bool openStartGate = true, const CScheduleClock* clock = nullptr)
        : m_server(new CControlServer(nullptr, QStringLiteral("control server"), 2, port))
    {
        m_server->setClock(clock);
        m_server->start();
        if (openStartGate)
            m_server->releaseStartGate();
    }
    ~StandaloneControlServer() { stop(); }

    CControlServer* operator->() const { return m_server.get(); }
    bool waitListening() const
    {
        return waitUntil([&] { return m_server->serverPort() != 0; });
    }
    // True when the component thread has ended within the time.
    bool stop(int timeoutMs = 30000)
    {
        if (!m_server)
            return true;
        m_server->stop();
        m_server->releaseStartGate();
        m_server->releaseEndGate();
        const bool ended = m_server->wait(timeoutMs);
        if (ended)
            m_server.reset();
        else
            (void)m_server.release();   // still running: never delete it
        return ended;
    }

private:
    std::unique_ptr<CControlServer> m_server;
};
