#pragma once
#include "CTcpAgentConnection.h"

#include <QList>
#include <QSslError>

class QTimer;

// TLS connection over CSecureSocket. Trust is decided after encryption only, by comparing the
// peer's certificate with the configured service certificate. Threads and ownership as
// CAgentConnection; the handshake timer is a child object.
class CSslAgentConnection : public CTcpAgentConnection
{
    Q_OBJECT
public:
    explicit CSslAgentConnection(QObject* parent = nullptr);
    ~CSslAgentConnection() override;

    // True when the lower-case hexadecimal MD5 of the peer certificate's PEM text equals the id.
    bool checkPeer(const QString& connectionId) const override;
    bool isPlainTcp() const override { return false; }
    bool isSsl() const override { return true; }
    virtual bool validateServiceCertificate(const QString& path, QString& error);

protected:
    void doConnect(const SAgentConnectionSettings& settings, const QString& preError) override;
    void doAccept(QObject* socket, const QString& preError) override;
    QString closingText() const override { return QStringLiteral("closing ssl connection"); }

protected slots:
    void onSslConnected();
    void onEncrypted();
    void onSslErrors(QList<QSslError> _errors);
    void onHandshakeTimeout();

private:
    void watchEncryption();

    QTimer* m_handshakeTimer = nullptr;
};
