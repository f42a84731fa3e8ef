#include "SyslogReceiver.h"

#include "UdpDatagramSocket.h"

#include <ctime>

SyslogReceiver::SyslogReceiver(QObject* parent)
    : QObject(parent)
    , m_socket(new UdpDatagramSocket(this))
{
    connect(m_socket, &UdpDatagramSocket::readyRead, this, &SyslogReceiver::readyRead);
}

SyslogReceiver::~SyslogReceiver()
{
    m_socket->close();
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
    QExplicitlySharedDataPointer<DatagramBatch> batch;
    // Reads what is pending, up to max, into the batch: the bytes go from the socket's buffers
    // straight into it.
    const auto keep = [this, &batch](const char* bytes, int size, const QString& sender) {
        if (m_wanted && !m_wanted(sender))
            return;
        if (!batch) {
            batch = new DatagramBatch;
            batch->reserveBytes(m_lastBatchBytes);
        }
        batch->append(bytes, size, sender);
    };
    const auto readPending = [this, &keep](int max) { return m_socket->readPending(max, keep); };
    // While lines keep coming, a pause between reads lets them gather: a thread woken for each
    // datagram of a steady stream spends more on waking than on the lines. The pause follows
    // the stream so that about kGatherTarget datagrams gather in it, and stays far shorter
    // than the socket's buffer lasts; the pauses of one call end after a millisecond and the
    // lines go on at once. An idle socket costs no pause.
    int total = 0;
    bool paused = false;
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        const int got = readPending(kMaxDatagramsPerRead - total);
        total += got;
        // a read takes all that is pending: after a pause, what came during it
        if (paused && got > 0)
            m_pauseNs = qBound(kMinGatherPauseNs, m_pauseNs * kGatherTarget / got, kMaxGatherPauseNs);
        paused = false;
        if (got == 0 || total >= kMaxDatagramsPerRead)
            break;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if ((now.tv_sec - start.tv_sec) * 1000000000L + (now.tv_nsec - start.tv_nsec) > kGatherLimitNs)
            break;
        const timespec pause{0, m_pauseNs};
        ::nanosleep(&pause, nullptr);
        paused = true;
    }
    if (!batch)
        return;
    m_lastBatchBytes = qMin(batch->byteCount(), kMaxReservedBytes);
    emit datagramsReceived(DatagramBatchPtr(batch.data()));
}
