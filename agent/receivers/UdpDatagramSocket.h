#pragma once
#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

class QSocketNotifier;

// A UDP socket for receivers that take datagrams in bursts: bound on every local address
// (IPv6 with mapped IPv4, or IPv4 alone) without sharing its port, read many datagrams per
// system call (recvmmsg) into buffers it keeps, each sender written once per run of datagrams
// from it. A QUdpSocket reads one datagram per call and asks for the next one's size first,
// three system calls a datagram.
// Threads: built, bound, read and closed on one thread (a receiver's connector thread); its
// notifier fires there.
// Ownership: owns the descriptor and its notifier; the read buffers live as long as it does.
class UdpDatagramSocket : public QObject
{
    Q_OBJECT
public:
    // Datagrams taken per system call.
    static constexpr int kBatch = 32;
    // The largest UDP payload, and a byte to spare.
    static constexpr int kMaxDatagram = 65536;

    explicit UdpDatagramSocket(QObject* parent = nullptr);
    ~UdpDatagramSocket() override;

    // False on failure, with error() set as QAbstractSocket sets it for the same cause.
    bool bind(quint16 port);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    QAbstractSocket::SocketError error() const { return m_error; }
    quint16 localPort() const;

    // Reads up to max datagrams that are already pending, without waiting. For each, fn gets
    // the bytes as they lie in the socket's buffers (valid during the call only; never null,
    // size 0 for an empty datagram) and the sender's address text (IPv4-mapped addresses
    // written as IPv4). Answers the count read.
    int readPending(int max, const std::function<void(const char* bytes, int size, const QString& sender)>& fn);

    // One system call's worth: reads up to max (at most kBatch) pending datagrams into the
    // socket's buffers, without waiting; answers how many (0 when none, or on failure). They
    // stay readable through bytes, size and sender until the next receive.
    int receive(int max);
    const char* bytes(int i) const { return m_buffers.data() + size_t(i) * kMaxDatagram; }
    int size(int i) const { return m_sizes[size_t(i)]; }
    // The sender's address text (IPv4-mapped addresses written as IPv4); datagram i's is
    // valid until the next call.
    const QString& sender(int i) { return senderText(m_senders[size_t(i)]); }

signals:
    void readyRead();

private:
    const QString& senderText(const sockaddr_storage& from);

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QAbstractSocket::SocketError m_error = QAbstractSocket::UnknownSocketError;
    std::vector<char> m_buffers;
    std::vector<sockaddr_storage> m_senders;
    std::vector<int> m_sizes;
    // A sender's address as compared: family, address bytes, IPv6 scope (no padding between).
    struct SenderKey
    {
        quint32 family;
        quint32 scope;
        unsigned char address[16];
    };
    SenderKey m_lastSenderKey{};
    QString m_lastSenderText;
};
