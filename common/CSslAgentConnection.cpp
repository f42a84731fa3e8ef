#include "CSslAgentConnection.h"

#include "CSecureSocket.h"
#include "SslFileLoaders.h"

#include <QCryptographicHash>
#include <QMutex>
#include <QScopedPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTimer>
#include <QWaitCondition>

CSslAgentConnection::CSslAgentConnection(QObject* parent) : CTcpAgentConnection(parent)
{
    m_handshakeTimer = new QTimer(this);
    m_handshakeTimer->setSingleShot(true);
    connect(m_handshakeTimer, SIGNAL(timeout()), this, SLOT(onHandshakeTimeout()));
}

CSslAgentConnection::~CSslAgentConnection() = default;

bool CSslAgentConnection::checkPeer(const QString& connectionId) const
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (!ssl)
        return false;
    const QByteArray pem = ssl->peerCertificate().toPem();
    const QString id = QString::fromLatin1(QCryptographicHash::hash(pem, QCryptographicHash::Md5).toHex());
    return id == connectionId;
}

void CSslAgentConnection::doConnect(const SAgentConnectionSettings& settings, const QString& preError)
{
    log(QStringLiteral("using ssl cert %1, priv key %2").arg(settings.certificatePath, settings.privateKeyPath));
    QString error;
    QScopedPointer<QSslCertificate> certificate(loadCertificate(settings.certificatePath, error));
    if (!certificate) {
        setError(error);
        return;
    }
    QScopedPointer<QSslKey> key(loadPrivateKey(settings.privateKeyPath, settings.keyPassPhrase, error));
    if (!key) {
        setError(error);
        return;
    }
    if (!keyMatchesCertificate(*certificate, *key)) {
        setError(keyMismatchText(settings.privateKeyPath, settings.certificatePath));
        return;
    }
    auto* socket = new CSecureSocket();
    socket->setParent(this);
    socket->setLocalCertificate(*certificate);
    socket->setPrivateKey(*key);
    m_socket = socket;
    connect(m_socket, SIGNAL(connected()), this, SLOT(onSslConnected()));
    connectSocketSignals();
    // No data is taken before the stream is encrypted and the service accepted.
    disconnect(m_socket, SIGNAL(readyRead()), this, SLOT(onDataReceived()));
    log(QStringLiteral("connecting by ssl to %1:%2").arg(settings.host).arg(settings.port));
    if (!preError.isEmpty()) {
        setError(preError);
        return;
    }
    socket->connectToHost(settings.host, quint16(settings.port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void CSslAgentConnection::watchEncryption()
{
    connect(m_socket, SIGNAL(encrypted()), this, SLOT(onEncrypted()));
    connect(m_socket, SIGNAL(sslErrors(QList<QSslError>)), this, SLOT(onSslErrors(QList<QSslError>)));
    if (m_settings.handshakeTimeoutMs > 0)
        m_handshakeTimer->start(m_settings.handshakeTimeoutMs);
}

void CSslAgentConnection::onSslConnected()
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (!ssl)
        return;
    log(QStringLiteral("ssl connection established"));
    if (ssl->isEncrypted()) {
        QTimer::singleShot(0, this, SLOT(onEncrypted()));
        return;
    }
    watchEncryption();
    {
        // The service expects a pause between the TCP connect and the client hello.
        QMutex mutex;
        QWaitCondition never;
        QMutexLocker lock(&mutex);
        never.wait(&mutex, 1000);
    }
    if (m_socket != ssl)
        return;
    log(QStringLiteral("encrypting connection on client"));
    ssl->startClientEncryption();
}

void CSslAgentConnection::doAccept(QObject* socket, const QString& preError)
{
    log(QStringLiteral("accepted ssl connection"));
    auto* ssl = qobject_cast<QSslSocket*>(socket);
    if (!ssl) {
        delete socket;
        setError(QStringLiteral("_sock is not an instance of QSslSocket"));
        return;
    }
    m_socket = ssl;
    m_socket->setParent(this);
    connectSocketSignals();
    disconnect(m_socket, SIGNAL(readyRead()), this, SLOT(onDataReceived()));
    if (!preError.isEmpty()) {
        setError(preError);
        return;
    }
    if (ssl->isEncrypted()) {
        QTimer::singleShot(0, this, SLOT(onEncrypted()));
        return;
    }
    // Ask the service for its certificate: the pin check needs one to compare.
    ssl->setPeerVerifyMode(QSslSocket::QueryPeer);
    watchEncryption();
    log(QStringLiteral("encrypting connection on server"));
    ssl->startServerEncryption();
}

void CSslAgentConnection::onSslErrors(QList<QSslError>)
{
    // Trust is decided by validateServiceCertificate once the stream is encrypted.
    if (auto* ssl = qobject_cast<QSslSocket*>(m_socket))
        ssl->ignoreSslErrors();
}

void CSslAgentConnection::onHandshakeTimeout()
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (!ssl || ssl->isEncrypted())
        return;
    setError(QStringLiteral("ssl handshake timed out"));
    onDisconnected();
}

void CSslAgentConnection::onEncrypted()
{
    m_handshakeTimer->stop();
    log(QStringLiteral("connection encrypted"));
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (!ssl || !m_error.isEmpty())
        return;
    QString error;
    bool accepted = true;
    if (m_settings.readFromSettings)
        accepted = validateServiceCertificate(m_settings.serviceCertificatePath, error);
    if (!accepted && m_settings.allowUntrustedService) {
        if (m_handler)
            m_handler->connectionLog(error);
        accepted = true;
    }
    if (!accepted) {
        setError(error);
        onDisconnected();
        return;
    }
    connect(m_socket, SIGNAL(readyRead()), this, SLOT(onDataReceived()));
    onConnected();
    // Bytes that arrived with the handshake are not announced again by readyRead.
    if (m_socket && m_socket->bytesAvailable() > 0)
        onDataReceived();
}

bool CSslAgentConnection::validateServiceCertificate(const QString& path, QString& error)
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (!ssl)
        return false;
    QString loadError;
    QScopedPointer<QSslCertificate> expected(loadCertificate(path, loadError));
    if (!expected) {
        error = QStringLiteral("can't validate service certificate: ") + loadError;
        return false;
    }
    if (ssl->peerCertificate() == *expected)
        return true;
    error = QStringLiteral("wrong certificate");
    return false;
}
