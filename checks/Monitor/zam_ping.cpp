// Ping monitor type: ICMP echo requests over a raw IPv4 socket, three attempts, the round-trip
// time of the first valid reply. Only an echo reply (type 0, code 0, sound checksum) with this
// poll's identifier, sequence, time stamp and payload counts: on loopback the raw socket also
// sees our own echo request, which must never pass for the answer. Runs on the calling task
// thread; the identifier counter is the only shared state (atomic).

#include "CTimeWatcher.h"
#include "zam_icmp_echo.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_resolve_ipv4.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kAttempts = 3;
constexpr size_t kReceiveSize = 2080;
constexpr int kWaitStepMs = 1000;  // the host's stop request is seen within this time

std::atomic<uint32_t> g_identifier{static_cast<uint32_t>(::getpid()) * 7919u};

uint16_t nextIdentifier()
{
    for (;;) {
        const uint16_t id = static_cast<uint16_t>(g_identifier.fetch_add(1) + 1);
        if (id != 0)
            return id;
    }
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int openIcmpSocket()
{
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // let the kernel drop everything but echo replies (the check below still looks)
        icmp_filter filter{};
        filter.data = ~(1u << ICMP_ECHOREPLY);
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
    return fd;
}

// Holds the raw descriptor; release() closes it with its trace lines.
class SocketGuard
{
public:
    SocketGuard(int fd, stZamMonitor* mon) : m_fd(fd), m_mon(mon) {}
    ~SocketGuard() { release(); }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    int fd() const { return m_fd; }
    void reset(int fd)
    {
        release();
        m_fd = fd;
    }
    void release()
    {
        if (m_fd < 0)
            return;
        zamLogMonitorPlugin_QStr(m_mon, QStringLiteral("closing socket"));
        ::close(m_fd);
        m_fd = -1;
        zamLogMonitorPlugin_QStr(m_mon, QStringLiteral("socket closed"));
    }

private:
    int m_fd;
    stZamMonitor* m_mon;
};

} // namespace

int SendEchoRequest(stZamMonitor* mon, int fd, const sockaddr_in& destination, int size, uint32_t* sentTime,
                    uint16_t identifier, uint16_t sequence)
{
    std::vector<unsigned char> packet(static_cast<size_t>(8 + size));
    *sentTime = CTimeWatcher::nowMillisec();
    buildEchoRequest(packet.data(), size, destination.sin_addr.s_addr, identifier, sequence, *sentTime);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("sending request with id=%1 time=%2 ticks").arg(identifier).arg(*sentTime));
    const ssize_t n = ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                               sizeof destination);
    if (n < 0) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("sendto failed: %1").arg(errorText(errno)));
        return 1;
    }
    return 0;
}

int poll_ping(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    int packetSize = 32;
    bool reverse = false;
    for (uint32_t i = 0; mon->settings.entries && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        if (!e.name)
            continue;
        if (e.id == 'i' && std::strcmp(e.name, "Packet Size, bytes") == 0)
            packetSize = static_cast<int>(e.valueInt);
        else if (e.id == 'y' && std::strcmp(e.name, "Reverse") == 0)
            reverse = e.valueInt != 0;
    }

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("dns resolution"));
    QHostAddress address;
    if (!resolveMonitorIPv4(mon, address))
        return reverse ? setMonReverseSuccess(mon) : setMonFailure(mon);

    mon->resultValue = 0;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("opening raw socket"));
    SocketGuard socket(openIcmpSocket(), mon);
    if (socket.fd() < 0) {
        setMonFailReason(mon, QStringLiteral("Error while creating ICMP socket %1").arg(errorText(errno)).toUtf8().constData());
        return setMonFailure(mon);
    }
    if (packetSize < 32 || packetSize > 1024) {
        setMonFailReasonFmt(mon, "ICMP packet size is outside the range [32..1024]: %d", packetSize);
        return setMonFailure(mon);
    }
    const int size = (packetSize + 1) & ~1;

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = htonl(address.toIPv4Address());
    const int timeout = mon->timeout;
    const uint16_t identifier = nextIdentifier();
    std::vector<unsigned char> buffer(kReceiveSize);
    bool endedByTimeCheck = false;

    for (uint16_t attempt = 1; attempt <= kAttempts; ++attempt) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("sending request #%1").arg(attempt));
        uint32_t sentTime = 0;
        if (SendEchoRequest(mon, socket.fd(), destination, size, &sentTime, identifier, attempt) != 0) {
            const int error = errno;
            if (reverse)
                return setMonReverseSuccess(mon);
            setMonFailReason(mon, QStringLiteral("ICMP send error: %1").arg(errorText(error)).toUtf8().constData());
            return setMonFailure(mon);
        }
        bool lastWaitTimedOut = false;
        for (;;) {
            uint32_t since = CTimeWatcher::nowMillisec() - sentTime;
            if (since == 0)
                since = 1;
            const int64_t remaining = static_cast<int64_t>(timeout) - since;
            if (remaining < 1) {
                if (lastWaitTimedOut) {
                    zamLogMonitorPlugin_QStr(mon, attempt < kAttempts ? QStringLiteral("select() timed out")
                                                                      : QStringLiteral("last select() timed out"));
                    endedByTimeCheck = false;
                } else {
                    endedByTimeCheck = true;
                }
                break;
            }
            if (monitorStillAlive(mon)) {
                setMonFailReason(mon, "aborted by service");
                return setMonFailure(mon);
            }
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("waiting for reply"));
            pollfd p{socket.fd(), POLLIN, 0};
            const int n = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(remaining, kWaitStepMs)));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                const int error = errno;
                if (reverse)
                    return setMonReverseSuccess(mon);
                setMonFailReason(mon, QStringLiteral("ICMP receive error: %1").arg(errorText(error)).toUtf8().constData());
                zamLogMonitorPlugin_QStr(mon, QStringLiteral("did not get response"));
                return setMonFailure(mon);
            }
            if (n == 0) {
                lastWaitTimedOut = true;
                continue;
            }
            lastWaitTimedOut = false;
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("receiving reply"));
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = ::recvfrom(socket.fd(), buffer.data(), buffer.size(), 0,
                                           reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0) {
                const int error = errno;
                if (error == EINTR || error == EAGAIN)
                    continue;
                zamLogMonitorPlugin_QStr(mon, QStringLiteral("recvfrom failed: %1").arg(errorText(error)));
                if (error == EMSGSIZE) {
                    zamLogMonitorPlugin_QStr(mon, QStringLiteral("message was too big, reopening raw socket"));
                    socket.reset(openIcmpSocket());
                    if (socket.fd() < 0) {
                        setMonFailReason(
                            mon, QStringLiteral("Error creating ICMP socket: %1").arg(errorText(errno)).toUtf8().constData());
                        return setMonFailure(mon);
                    }
                    continue;
                }
                if (reverse)
                    return setMonReverseSuccess(mon);
                setMonFailReason(mon, QStringLiteral("ICMP receive error: %1").arg(errorText(error)).toUtf8().constData());
                return setMonFailure(mon);
            }
            const QString why = checkEchoReply(buffer.data(), static_cast<size_t>(got), size,
                                               destination.sin_addr.s_addr, identifier, attempt, sentTime);
            uint32_t rtt = CTimeWatcher::nowMillisec() - sentTime;
            if (rtt == 0)
                rtt = 1;
            mon->perfValue = rtt;
            if (!why.isEmpty()) {
                zamLogMonitorPlugin_QStr(mon, why);
                continue;
            }
            socket.release();
            if (reverse) {
                setMonFailReason(mon, "poll succeeded for reverse monitor");
                return setMonFailure(mon);
            }
            mon->resultCode = -2;
            mon->resultValue = static_cast<int>(rtt);
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("got reply in %1 msec").arg(rtt));
            return 0;
        }
    }

    if (endedByTimeCheck)
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("no matching reply"));
    socket.release();
    if (reverse)
        return setMonReverseSuccess(mon);
    mon->perfValue = static_cast<int64_t>(timeout) + 1;
    if (mon->mode == 1) {
        if (endedByTimeCheck)
            mon->resultCode = 2;
        return 1;
    }
    mon->resultCode = -2;
    mon->resultValue = timeout + 1;
    return 0;
}
