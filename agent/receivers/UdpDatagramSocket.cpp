#include "UdpDatagramSocket.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>

namespace {

QAbstractSocket::SocketError socketCreateError(int code)
{
    switch (code) {
    case EPROTONOSUPPORT:
    case EAFNOSUPPORT:
    case EINVAL:
        return QAbstractSocket::UnsupportedSocketOperationError;
    case ENFILE:
    case EMFILE:
    case ENOBUFS:
    case ENOMEM:
        return QAbstractSocket::SocketResourceError;
    case EACCES:
        return QAbstractSocket::SocketAccessError;
    default:
        return QAbstractSocket::UnknownSocketError;
    }
}

QAbstractSocket::SocketError bindError(int code)
{
    switch (code) {
    case EADDRINUSE:
        return QAbstractSocket::AddressInUseError;
    case EACCES:
        return QAbstractSocket::SocketAccessError;
    case EINVAL:
        return QAbstractSocket::UnsupportedSocketOperationError;
    case EADDRNOTAVAIL:
        return QAbstractSocket::SocketAddressNotAvailableError;
    default:
        return QAbstractSocket::UnknownSocketError;
    }
}

} // namespace

UdpDatagramSocket::UdpDatagramSocket(QObject* parent) : QObject(parent) {}

UdpDatagramSocket::~UdpDatagramSocket()
{
    close();
}

bool UdpDatagramSocket::bind(quint16 port)
{
    close();
    m_error = QAbstractSocket::UnknownSocketError;
    int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int result = -1;
    if (fd >= 0) {
        const int off = 0;
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        sockaddr_in6 any{};
        any.sin6_family = AF_INET6;
        any.sin6_port = htons(port);
        any.sin6_addr = in6addr_any;
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any);
    } else if (errno == EAFNOSUPPORT) {
        // a kernel without IPv6
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd >= 0) {
            sockaddr_in any{};
            any.sin_family = AF_INET;
            any.sin_port = htons(port);
            any.sin_addr.s_addr = htonl(INADDR_ANY);
            result = ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any);
        }
    }
    if (fd < 0) {
        m_error = socketCreateError(errno);
        return false;
    }
    if (result != 0) {
        m_error = bindError(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    if (m_buffers.empty()) {
        m_buffers.resize(size_t(kBatch) * kMaxDatagram);
        m_senders.resize(kBatch);
        m_sizes.resize(kBatch);
    }
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdpDatagramSocket::readyRead);
    return true;
}

void UdpDatagramSocket::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

quint16 UdpDatagramSocket::localPort() const
{
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    if (local.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(local).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(local).sin_port);
}

const QString& UdpDatagramSocket::senderText(const sockaddr_storage& from)
{
    // the address without its port: one sender sends from many ports
    SenderKey key{};
    key.family = from.ss_family;
    if (from.ss_family == AF_INET6) {
        const auto& a6 = reinterpret_cast<const sockaddr_in6&>(from);
        std::memcpy(key.address, &a6.sin6_addr, sizeof a6.sin6_addr);
        key.scope = a6.sin6_scope_id;
    } else if (from.ss_family == AF_INET) {
        const auto& a4 = reinterpret_cast<const sockaddr_in&>(from);
        std::memcpy(key.address, &a4.sin_addr, sizeof a4.sin_addr);
    } else {
        m_lastSenderKey = SenderKey{};
        m_lastSenderText.clear();
        return m_lastSenderText;
    }
    if (std::memcmp(&key, &m_lastSenderKey, sizeof key) == 0 && !m_lastSenderText.isEmpty())
        return m_lastSenderText;
    m_lastSenderKey = key;
    QHostAddress address(reinterpret_cast<const sockaddr*>(&from));
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        m_lastSenderText = QHostAddress(v4).toString();
    } else {
        const quint32 scope = reinterpret_cast<const sockaddr_in6&>(from).sin6_scope_id;
        if (scope != 0) {
            const QString name = QNetworkInterface::interfaceNameFromIndex(static_cast<int>(scope));
            address.setScopeId(name.isEmpty() ? QString::number(scope) : name);
        }
        m_lastSenderText = address.toString();
    }
    return m_lastSenderText;
}

int UdpDatagramSocket::receive(int max)
{
    const int want = qMin(kBatch, max);
    if (m_fd < 0 || want <= 0)
        return 0;
    mmsghdr headers[kBatch];
    iovec vectors[kBatch];
    for (int i = 0; i < want; ++i) {
        vectors[i].iov_base = m_buffers.data() + size_t(i) * kMaxDatagram;
        vectors[i].iov_len = kMaxDatagram;
        std::memset(&headers[i], 0, sizeof headers[i]);
        headers[i].msg_hdr.msg_iov = &vectors[i];
        headers[i].msg_hdr.msg_iovlen = 1;
        headers[i].msg_hdr.msg_name = &m_senders[size_t(i)];
        headers[i].msg_hdr.msg_namelen = sizeof(sockaddr_storage);
    }
    int got;
    do {
        got = ::recvmmsg(m_fd, headers, static_cast<unsigned>(want), MSG_DONTWAIT, nullptr);
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return 0;
    for (int i = 0; i < got; ++i)
        m_sizes[size_t(i)] = static_cast<int>(headers[i].msg_len);
    return got;
}

int UdpDatagramSocket::readPending(int max, const std::function<void(const char*, int, const QString&)>& fn)
{
    int total = 0;
    while (m_fd >= 0 && total < max) {
        const int want = qMin(kBatch, max - total);
        const int got = receive(want);
        if (got <= 0)
            break;
        for (int i = 0; i < got && m_fd >= 0; ++i)
            fn(bytes(i), size(i), sender(i));
        total += got;
        if (got < want)
            break;
    }
    return total;
}
