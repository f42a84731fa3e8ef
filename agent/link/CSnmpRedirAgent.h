#pragma once

#include "CAgentMessage.h"
#include "CSnmpRedirBase.h"

#include <functional>

// The agent's relay: a fixed peer named by the service's "host:port" text. Datagrams from that
// peer go to the service as CSnmpData; its state changes go as CSnmpResp, through the sink
// (the owning session's immediate send). An address opens the relay at once; a name leaves it
// waiting for peerResolved(), because the session's thread must not wait for a resolver.
// Threads and ownership as the base; the sink is called on the relay's thread and must
// outlive the relay.
class CSnmpRedirAgent : public CSnmpRedirBase
{
    Q_OBJECT
public:
    using MessageSink = std::function<void(const CAgentMessagePtr&)>;

    // Binds to the proxy port setting.
    CSnmpRedirAgent(qint32 relayId, MessageSink sink, const QByteArray& peerText, QObject* parent = nullptr);
    // Binds to the given port (0: any free port).
    CSnmpRedirAgent(qint32 relayId, MessageSink sink, const QByteArray& peerText, quint16 port,
                    QObject* parent = nullptr);
    // Reports the end to the service: CSnmpResp (id, 1, end code).
    ~CSnmpRedirAgent() override;

    // Sends one datagram to the peer when the id is this relay's and the relay is open.
    bool sendToPeer(qint32 relayId, const QByteArray& datagram);
    // The name still to be resolved before the relay opens; empty once it has a peer or failed.
    QString hostToResolve() const { return m_hostToResolve; }
    // The lookup's answer: a null address (error says why) drops the socket, else the relay
    // opens and tells the service.
    void peerResolved(const QHostAddress& address, const QString& error);
    // Resolved peer, for observers.
    QHostAddress peerAddress() const { return m_peerAddress.valueOr(QHostAddress()); }
    quint16 peerPort() const { return m_peerPort; }

private slots:
    void onReadyRead();

private:
    void open(const QByteArray& peerText);
    void openTo(const QHostAddress& address);

    MessageSink m_sink;
    QString m_hostToResolve;
};
