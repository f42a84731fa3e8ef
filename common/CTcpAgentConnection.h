#pragma once
#include "CAgentConnection.h"

// Plain TCP connection. Threads and ownership as CAgentConnection.
class CTcpAgentConnection : public CAgentConnection
{
    Q_OBJECT
public:
    explicit CTcpAgentConnection(QObject* parent = nullptr);
    ~CTcpAgentConnection() override;

    bool checkPeer(const QString& connectionId) const override;
    bool isPlainTcp() const override { return true; }
    bool isSsl() const override { return false; }

protected:
    void doConnect(const SAgentConnectionSettings& settings, const QString& preError) override;
    void doAccept(QObject* socket, const QString& preError) override;
    QString closingText() const override { return QStringLiteral("closing tcp connection"); }
    void connectSocketSignals();

protected slots:
    void onConnected();
    void onDisconnected();
    void onError();
    void onDataReceived();
};
