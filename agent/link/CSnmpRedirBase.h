#pragma once

#include "common/Optional.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

class QUdpSocket;

// One relay of SNMP datagrams between the service and a UDP peer: the local UDP socket
// (bound on all addresses to the proxy port) and the peer it accepts datagrams from.
// Threads: lives on the thread that created it (the session's thread), whose event loop
// serves the socket; not thread-safe. Ownership: owns its socket.
class CSnmpRedirBase : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultProxyPort = 3457;
    enum EndCode { EndClosed = 1, EndNone = 2, EndLinkClosed = 3, EndReplaced = 4, EndBindFailed = 6 };

    // Binds to the port of "SNMP/UDPProxyPort" (default 3457).
    CSnmpRedirBase(qint32 relayId, bool fixedPeer, QObject* parent = nullptr);
    // Binds to the given port; 0 takes any free port.
    CSnmpRedirBase(qint32 relayId, bool fixedPeer, quint16 port, QObject* parent = nullptr);
    ~CSnmpRedirBase() override;

    // The proxy port setting; a value outside 1..65535 gives -1.
    static int proxyPortSetting();

    qint32 relayId() const { return m_relayId; }
    int endCode() const { return m_endCode; }
    // Taken only while no end code has been set.
    void setEndCode(int code);
    bool hasSocket() const { return m_socket != nullptr; }
    quint16 localPort() const;

protected:
    // The next pending datagram when it comes from the peer (or, without a fixed peer, from
    // the first sender). False when none is pending, the read failed or the sender differs.
    bool readPeerDatagram(QByteArray& datagram);
    bool hasPendingDatagram() const;
    void dropSocket();
    void bindSocket(int port);

    const qint32 m_relayId;
    const bool m_fixedPeer;
    bool m_awaitingFirst = true;
    QUdpSocket* m_socket = nullptr;
    Optional<QHostAddress> m_peerAddress;
    quint16 m_peerPort = 0;
    int m_endCode = EndNone;
};
