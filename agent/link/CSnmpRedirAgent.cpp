#include "CSnmpRedirAgent.h"

#include "AgentRelayMessages.h"
#include "RelayPeerText.h"

#include <QDebug>
#include <QUdpSocket>

namespace {
// Datagrams handled per readyRead, so that a flood cannot hold the session's thread.
constexpr int kMaxDatagramsPerWake = 256;
}

CSnmpRedirAgent::CSnmpRedirAgent(qint32 relayId, MessageSink sink, const QByteArray& peerText, QObject* parent)
    : CSnmpRedirBase(relayId, true, parent), m_sink(std::move(sink))
{
    open(peerText);
}

CSnmpRedirAgent::CSnmpRedirAgent(qint32 relayId, MessageSink sink, const QByteArray& peerText, quint16 port,
                                 QObject* parent)
    : CSnmpRedirBase(relayId, true, port, parent), m_sink(std::move(sink))
{
    open(peerText);
}

CSnmpRedirAgent::~CSnmpRedirAgent()
{
    if (m_sink)
        m_sink(CAgentMessagePtr(new CSnmpResp(m_relayId, 1, m_endCode)));
    dropSocket();
}

// A peer that is no "host:port" or a port outside 1..65535 leaves the relay without a socket:
// the service is told it did not open. A host name is resolved by the owner (peerResolved).
void CSnmpRedirAgent::open(const QByteArray& peerText)
{
    if (!m_socket)
        return;
    QString host;
    quint16 port = 0;
    if (!parseRelayPeerText(peerText, host, port)) {
        qWarning().noquote() << QStringLiteral("snmp relay %1: bad peer '%2'")
                                    .arg(m_relayId)
                                    .arg(QString::fromUtf8(peerText.left(256)));
        dropSocket();
        return;
    }
    m_peerPort = port;
    // An address literal (IPv6 included: the socket is dual-stack) needs no lookup.
    const QHostAddress address(host);
    if (address.isNull())
        m_hostToResolve = host;
    else
        openTo(address);
}

void CSnmpRedirAgent::peerResolved(const QHostAddress& address, const QString& error)
{
    if (!m_socket || m_hostToResolve.isEmpty())
        return;
    const QString host = m_hostToResolve;
    m_hostToResolve.clear();
    if (address.isNull()) {
        qWarning().noquote() << QStringLiteral("snmp relay %1: cannot resolve '%2' %3")
                                    .arg(m_relayId)
                                    .arg(host.left(256), error);
        dropSocket();
        return;
    }
    openTo(address);
}

void CSnmpRedirAgent::openTo(const QHostAddress& address)
{
    m_peerAddress.set(address);
    connect(m_socket, &QUdpSocket::readyRead, this, &CSnmpRedirAgent::onReadyRead);
    if (m_sink)
        m_sink(CAgentMessagePtr(new CSnmpResp(m_relayId, 0, 0)));
}

bool CSnmpRedirAgent::sendToPeer(qint32 relayId, const QByteArray& datagram)
{
    if (!m_socket || relayId != m_relayId || !m_peerAddress.hasValue())
        return false;
    return m_socket->writeDatagram(datagram, m_peerAddress.value(), m_peerPort) == datagram.size();
}

// Datagrams from anyone but the peer are dropped; the rest go to the service in order.
void CSnmpRedirAgent::onReadyRead()
{
    QByteArray datagram;
    for (int i = 0; i < kMaxDatagramsPerWake && hasPendingDatagram(); ++i) {
        if (readPeerDatagram(datagram) && m_sink)
            m_sink(CAgentMessagePtr(new CSnmpData(m_relayId, datagram)));
    }
}
