#pragma once
// Pieces shared by the relay tests: a UDP echo peer on loopback and a recorder of the
// messages a relay sends towards the service.
#include "link/AgentRelayMessages.h"
#include "link/CAgentMessage.h"

#include <QHostAddress>
#include <QStringList>
#include <QUdpSocket>

// Echoes every datagram back to its sender; served by the test thread's event loop.
class UdpEchoPeer
{
public:
    explicit UdpEchoPeer(const QHostAddress& address = QHostAddress::LocalHost)
    {
        m_socket.bind(address, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                QByteArray d(int(m_socket.pendingDatagramSize()), Qt::Uninitialized);
                QHostAddress from;
                quint16 port = 0;
                const qint64 n = m_socket.readDatagram(d.data(), d.size(), &from, &port);
                if (n < 0)
                    continue;
                ++received;
                m_socket.writeDatagram(d.left(int(n)), from, port);
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    int received = 0;

private:
    QUdpSocket m_socket;
};

// "18:id,type,reason" or "19:id:payload" per message, in order.
struct RelayMessageLog
{
    QStringList lines;
    QList<QByteArray> data;

    void operator()(const CAgentMessagePtr& m)
    {
        if (m->type() == CSnmpResp::Type) {
            auto* r = static_cast<CSnmpResp*>(m.data());
            lines.append(QStringLiteral("18:%1,%2,%3").arg(r->relayId).arg(r->relayType).arg(r->reason));
        } else if (m->type() == CSnmpData::Type) {
            auto* d = static_cast<CSnmpData*>(m.data());
            lines.append(QStringLiteral("19:%1").arg(d->relayId));
            data.append(d->data);
        } else {
            lines.append(QStringLiteral("type %1").arg(m->type()));
        }
    }
};
