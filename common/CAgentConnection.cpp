#include "CAgentConnection.h"

#include "AgentLinkLog.h"
#include "CSslAgentConnection.h"
#include "CTcpAgentConnection.h"

#include <QTcpSocket>
#include <time.h>

namespace {
qint64 rawMonotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
}

CAgentConnection::CAgentConnection(QObject* parent) : QObject(parent) {}

CAgentConnection::~CAgentConnection()
{
    m_destroying = true;
    m_handler = nullptr;
    releaseSocket();
}

void CAgentConnection::log(const QString& text) const
{
    agentLinkLog(agentLinkLogLine("connection", this, text));
}

bool CAgentConnection::isUnconnected() const
{
    return !m_socket || m_socket->state() == QAbstractSocket::UnconnectedState || descriptorGone();
}

// Qt reports a peer's close (and other stream errors) while the socket still says
// "connected", but its descriptor is already closed: a write then would make Qt build a
// notifier on -1. After the socket's error signal the stream carries nothing more.
bool CAgentConnection::descriptorGone() const
{
    if (!m_socket || m_streamFailed)
        return true;
    const QAbstractSocket::SocketState state = m_socket->state();
    const bool needsDescriptor =
        state == QAbstractSocket::ConnectedState || state == QAbstractSocket::ClosingState;
    return needsDescriptor && !m_socket->isValid();
}

void CAgentConnection::setError(const QString& text)
{
    if (!m_error.isEmpty())
        return;
    m_error = text;
    log(QStringLiteral("connection error: %1").arg(m_error));
    if (m_handler)
        m_handler->connectionError(m_error);
    else
        close();
}

void CAgentConnection::connectToPeer(const SAgentConnectionSettings& settings, const QString& preError)
{
    m_settings = settings;
    if (!m_handler)
        setError(QStringLiteral("Event handler not set"));
    else if (m_socket)
        setError(QStringLiteral("Already connected"));
    else
        doConnect(settings, preError);
}

void CAgentConnection::acceptPeer(QObject* socket, const SAgentConnectionSettings& settings, const QString& preError)
{
    m_settings = settings;
    if (!m_handler || m_socket) {
        // The offered socket is not taken over; it must not leak its descriptor.
        delete socket;
        setError(m_handler ? QStringLiteral("Already connected") : QStringLiteral("Event handler not set"));
        return;
    }
    doAccept(socket, preError);
}

QHostAddress CAgentConnection::peerAddress() const
{
    return m_socket ? m_socket->peerAddress() : QHostAddress(QStringLiteral("0.0.0.0"));
}

void CAgentConnection::send(const char* data, unsigned int length)
{
    if (!m_handler) {
        setError(QStringLiteral("Event handler not set"));
        return;
    }
    if (!m_socket || descriptorGone()) {
        setError(QStringLiteral("Can't send data: not connected"));
        return;
    }
    quint64 done = 0;
    while (done < length) {
        const qint64 written = m_socket->write(data + done, qint64(length - done));
        if (written < 0) {
            setError(QStringLiteral("Can't write data"));
            break;
        }
        done += quint64(written);
    }
    // Writing happens in the event loop; force it out at most once a second.
    const qint64 now = rawMonotonicMs();
    if (m_socket && now - m_lastFlushMs > 999) {
        m_lastFlushMs = now;
        m_socket->flush();
    }
}

void CAgentConnection::close()
{
    if (m_closed)
        return;
    m_closed = true;
    log(closingText());
    if (m_socket && !descriptorGone())
        m_socket->disconnectFromHost();
}

void CAgentConnection::releaseSocket()
{
    releasePendingSlot();
    if (!m_socket)
        return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->blockSignals(true);
    socket->setParent(nullptr);
    socket->abort();
    // Outside the destructor we may be inside one of the socket's own signals.
    if (m_destroying)
        delete socket;
    else
        socket->deleteLater();
}

CAgentConnection* createAgentConnection(const SAgentConnectionSettings& settings,
                                        IAgentConnectionEvent* handler, const QString& preError)
{
    CAgentConnection* connection = settings.transport != 0
        ? static_cast<CAgentConnection*>(new CSslAgentConnection())
        : static_cast<CAgentConnection*>(new CTcpAgentConnection());
    connection->setEventHandler(handler);
    connection->connectToPeer(settings, preError);
    return connection;
}
