#include "CTcpAgentConnection.h"

#include <QTcpSocket>
#include <QTimer>

CTcpAgentConnection::CTcpAgentConnection(QObject* parent) : CAgentConnection(parent) {}

CTcpAgentConnection::~CTcpAgentConnection()
{
    m_destroying = true;
    if (m_socket)
        onDisconnected();
    m_handler = nullptr;
}

bool CTcpAgentConnection::checkPeer(const QString&) const { return true; }

void CTcpAgentConnection::connectSocketSignals()
{
    connect(m_socket, SIGNAL(disconnected()), this, SLOT(onDisconnected()));
    connect(m_socket, SIGNAL(error(QAbstractSocket::SocketError)), this, SLOT(onError()));
    connect(m_socket, SIGNAL(readyRead()), this, SLOT(onDataReceived()));
}

void CTcpAgentConnection::doConnect(const SAgentConnectionSettings& settings, const QString& preError)
{
    m_socket = new QTcpSocket(this);
    connect(m_socket, SIGNAL(connected()), this, SLOT(onConnected()));
    connectSocketSignals();
    log(QStringLiteral("connecting by tcp to %1:%2").arg(settings.host).arg(settings.port));
    if (!preError.isEmpty()) {
        setError(preError);
        return;
    }
    // Names are resolved as for TLS, so one host setting means the same for both transports.
    m_socket->connectToHost(settings.host, quint16(settings.port), QIODevice::ReadWrite);
}

void CTcpAgentConnection::doAccept(QObject* socket, const QString& preError)
{
    log(QStringLiteral("accepted tcp connection"));
    auto* tcp = qobject_cast<QTcpSocket*>(socket);
    if (!tcp) {
        delete socket;
        setError(QStringLiteral("_sock is not an instance of QTcpSocket"));
        return;
    }
    m_socket = tcp;
    m_socket->setParent(this);
    connectSocketSignals();
    if (!preError.isEmpty()) {
        setError(preError);
        return;
    }
    QTimer::singleShot(0, this, SLOT(onConnected()));
}

void CTcpAgentConnection::onConnected()
{
    // A connection that already failed is never reported as established.
    if (!m_socket || !m_error.isEmpty())
        return;
    // Established: no longer counts against the accepting server's pending limit.
    releasePendingSlot();
    // Frames go in request and answer turns: with Nagle's wait, an answer written while an
    // earlier small frame still waits for the peer's delayed acknowledgement sits up to 40 ms.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    log(QStringLiteral("connection established"));
    if (m_handler)
        m_handler->connectionEstablished();
}

void CTcpAgentConnection::onDisconnected()
{
    if (m_closeReported)
        return;
    m_closeReported = true;
    log(QStringLiteral("connection closed"));
    if (m_handler)
        m_handler->connectionClosed();
    releaseSocket();
}

void CTcpAgentConnection::onError()
{
    if (!m_socket)
        return;
    markStreamFailed();
    setError(m_socket->errorString());
}

void CTcpAgentConnection::onDataReceived()
{
    if (!m_socket)
        return;
    const QByteArray data = m_socket->readAll();
    if (m_handler && !data.isEmpty())
        m_handler->dataArrived(data.constData(), unsigned(data.size()));
}
