#include "CSnmpRedirBase.h"

#include "common/AgentSettings.h"

#include <QDebug>
#include <QUdpSocket>

CSnmpRedirBase::CSnmpRedirBase(qint32 relayId, bool fixedPeer, QObject* parent)
    : QObject(parent), m_relayId(relayId), m_fixedPeer(fixedPeer)
{
    bindSocket(proxyPortSetting());
}

CSnmpRedirBase::CSnmpRedirBase(qint32 relayId, bool fixedPeer, quint16 port, QObject* parent)
    : QObject(parent), m_relayId(relayId), m_fixedPeer(fixedPeer)
{
    bindSocket(port);
}

CSnmpRedirBase::~CSnmpRedirBase()
{
    dropSocket();
}

int CSnmpRedirBase::proxyPortSetting()
{
    const int port = readSettingPort(QStringLiteral("SNMP/UDPProxyPort"), kDefaultProxyPort);
    return port >= 1 && port <= 65535 ? port : -1;
}

void CSnmpRedirBase::bindSocket(int port)
{
    if (port < 0) {
        qWarning().noquote() << QStringLiteral("snmp relay %1: the proxy port setting is not a port").arg(m_relayId);
        m_endCode = EndBindFailed;
        return;
    }
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::Any, quint16(port), QAbstractSocket::DontShareAddress)) {
        qWarning().noquote() << QStringLiteral("snmp relay %1: cannot bind udp port %2: %3")
                                    .arg(m_relayId)
                                    .arg(port)
                                    .arg(m_socket->errorString());
        m_endCode = EndBindFailed;
        dropSocket();
    }
}

void CSnmpRedirBase::dropSocket()
{
    delete m_socket;
    m_socket = nullptr;
}

void CSnmpRedirBase::setEndCode(int code)
{
    if (m_endCode == EndNone)
        m_endCode = code;
}

quint16 CSnmpRedirBase::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

bool CSnmpRedirBase::hasPendingDatagram() const
{
    return m_socket && m_socket->hasPendingDatagrams();
}

bool CSnmpRedirBase::readPeerDatagram(QByteArray& datagram)
{
    datagram.clear();
    if (!hasPendingDatagram())
        return false;
    const qint64 size = m_socket->pendingDatagramSize();
    QByteArray bytes(int(qMax<qint64>(size, 0)), Qt::Uninitialized);
    QHostAddress sender;
    quint16 senderPort = 0;
    const qint64 got = m_socket->readDatagram(bytes.data(), bytes.size(), &sender, &senderPort);
    if (got < 0)
        return false;
    if (m_fixedPeer || !m_awaitingFirst) {
        if (!m_peerAddress.hasValue() || senderPort != m_peerPort
            || !sender.isEqual(m_peerAddress.value(), QHostAddress::TolerantConversion))
            return false;
    } else {
        m_peerAddress.set(sender);
        m_peerPort = senderPort;
        m_awaitingFirst = false;
    }
    bytes.truncate(int(got));
    datagram = bytes;
    return true;
}
