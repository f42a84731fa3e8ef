#include "SyslogReceiver.h"

#include "UdpDatagramSocket.h"

#include <QDebug>

#include <ctime>

SyslogReceiver::SyslogReceiver(QObject* parent)
    : QObject(parent)
    , m_socket(new UdpDatagramSocket(this))
{
    connect(m_socket, &UdpDatagramSocket::readyRead, this, &SyslogReceiver::readyRead);
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
    if (m_socket->bind(static_cast<quint16>(port)))
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

void SyslogReceiver::readyRead()
{
    // Every pending datagram up to a bound: one signal per datagram would leave the socket's
    // buffer to overflow under load; the bound keeps the thread's other events flowing.
    const auto handle = [this](const QByteArray& datagram, const QString& sender) {
        if (m_wanted && !m_wanted(sender))
            return;
        SyslogLine* line = new SyslogLine;
        SyslogCallbackSharedDataPointer shared(line);
        line->valid = line->parse(datagram, sender);
        if (line->valid)
            emit dataReceived(shared);
        else
            countParseError(*line);
    };
    // While lines keep coming, a short pause between reads lets them gather: a thread woken
    // for each datagram of a steady stream spends more on waking than on the lines. The pauses
    // end after a millisecond, far sooner than the socket's buffer fills, and the lines go on
    // at once; an idle socket costs no pause.
    int total = 0;
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        const int got = m_socket->readPending(kMaxDatagramsPerRead - total, handle);
        total += got;
        if (got == 0 || total >= kMaxDatagramsPerRead)
            break;
        if (got >= UdpDatagramSocket::kBatch)
            continue;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if ((now.tv_sec - start.tv_sec) * 1000000000L + (now.tv_nsec - start.tv_nsec) > kGatherLimitNs)
            break;
        const timespec pause{0, kGatherPauseNs};
        ::nanosleep(&pause, nullptr);
    }
    if (total > 0)
        emit readFinished();
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
