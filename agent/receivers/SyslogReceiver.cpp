#include "SyslogReceiver.h"

#include <QDebug>
#include <QUdpSocket>

namespace {
// Largest UDP payload over IPv4 and IPv6 without jumbograms, and a byte to spare.
constexpr int kMaxDatagram = 65536;
}

SyslogReceiver::SyslogReceiver(QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &SyslogReceiver::readyRead);
    m_clock.start();
}

SyslogReceiver::~SyslogReceiver()
{
    m_socket->close();
    quint64 count = 0;
    if (m_parseLog.flush(count))
        qWarning().noquote() << QStringLiteral("syslog receiver: %1 more datagrams could not be parsed").arg(count);
}

bool SyslogReceiver::listen(int port)
{
    if (port < 0 || port > 65535) {
        emit error(QStringLiteral("Receiver initialization failed: port %1 is out of range").arg(port));
        return false;
    }
    if (m_socket->bind(QHostAddress::Any, static_cast<quint16>(port), QAbstractSocket::DontShareAddress))
        return true;
    if (m_socket->error() == QAbstractSocket::AddressInUseError)
        emit error(QStringLiteral("Receiver initialization failed: port %1 is busy").arg(port));
    else
        emit error(QStringLiteral("Receiver initialization failed: code %1").arg(static_cast<int>(m_socket->error())));
    return false;
}

void SyslogReceiver::close()
{
    m_socket->close();
}

quint16 SyslogReceiver::localPort() const
{
    return m_socket->localPort();
}

const QString& SyslogReceiver::senderText(const QHostAddress& address)
{
    if (address != m_lastSender || m_lastSenderText.isEmpty()) {
        m_lastSender = address;
        bool isV4 = false;
        const quint32 v4 = address.toIPv4Address(&isV4);
        m_lastSenderText = isV4 ? QHostAddress(v4).toString() : address.toString();
    }
    return m_lastSenderText;
}

void SyslogReceiver::readyRead()
{
    if (m_buffer.size() != kMaxDatagram)
        m_buffer.resize(kMaxDatagram);
    // Every pending datagram up to a bound: one signal per datagram would leave the socket's
    // buffer to overflow under load; the bound keeps the thread's other events flowing.
    for (int i = 0; i < kMaxDatagramsPerRead && m_socket->hasPendingDatagrams(); ++i) {
        QHostAddress from;
        // Read into a buffer of the largest size, so no pending-size query (which can answer
        // -1) decides how much is read.
        const qint64 n = m_socket->readDatagram(m_buffer.data(), kMaxDatagram, &from);
        if (n < 0)
            break;
        const QByteArray datagram(m_buffer.constData(), static_cast<int>(n));
        SyslogLine* line = new SyslogLine;
        SyslogCallbackSharedDataPointer shared(line);
        line->valid = line->parse(datagram, senderText(from));
        if (line->valid)
            emit dataReceived(shared);
        else
            countParseError(*line);
    }
}

void SyslogReceiver::countParseError(const SyslogLine& line)
{
    quint64 count = 0;
    if (!m_parseLog.note(m_clock.elapsed(), count))
        return;
    qWarning().noquote() << QStringLiteral("syslog receiver: %1 datagrams could not be parsed, the last from %2: %3")
                                .arg(count)
                                .arg(line.sender, line.parseStatus);
}
