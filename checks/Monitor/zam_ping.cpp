// Ping monitor type: ICMP echo requests over a raw IPv4 socket, three attempts, the round-trip
// time of the first valid reply. Only an echo reply (type 0, code 0, sound checksum) with this
// poll's identifier, sequence, time stamp and payload counts: on loopback the raw socket also
// sees our own echo request, which must never pass for the answer. Runs on the calling task
// thread; the identifier counter is the only shared state (atomic).

#include "CHostInfo.h"
#include "CTimeWatcher.h"
#include "WaitForReply.h"
#include "zam_icmp_echo.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <linux/icmp.h>
#include <optional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kAttempts = 3;
constexpr size_t kReceiveSize = 2080;

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

namespace {

struct PingSettings {
    int packetSize = 32;
    int reverse = 0;
};

PingSettings readPingSettings(const stZamMonitor* mon)
{
    PingSettings s;
    const PluginOption options[] = {
        {'i', "Packet Size, bytes", 1, &s.packetSize, nullptr, nullptr},
        {'y', "Reverse", 2, &s.reverse, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    pluginParseSettings(&mon->settings, options, &found);
    return s;
}

// The reason is `format` with the system's text of error for its %1.
int failWithError(stZamMonitor* mon, const char* format, int error)
{
    setMonFailReason(mon, QString::fromLatin1(format).arg(errorText(error)).toUtf8().constData());
    return setMonFailure(mon);
}

// One poll's requests: the socket, where they go and how they look.
struct EchoExchange {
    stZamMonitor* mon;
    SocketGuard& socket;
    sockaddr_in destination;
    int size;
    uint16_t identifier;
    bool reverse;
    std::vector<unsigned char> buffer;
};

// What one request came to: a valid reply, a wait that ran out, time spent on packets that were
// not the reply, or a final outcome already written into the record (rc).
struct Attempt {
    enum Kind { Reply, WaitTimedOut, TimeSpent, Final } kind;
    uint32_t rtt = 0;
    int rc = 0;
};

Attempt finalAttempt(int rc)
{
    return {Attempt::Final, 0, rc};
}

// A receive error: EINTR and EAGAIN try again (empty answer), an oversized message reopens
// the socket, anything else ends the poll.
std::optional<Attempt> onReceiveError(EchoExchange& x, int error)
{
    if (error == EINTR || error == EAGAIN)
        return std::nullopt;
    zamLogMonitorPlugin_QStr(x.mon, QStringLiteral("recvfrom failed: %1").arg(errorText(error)));
    if (error == EMSGSIZE) {
        zamLogMonitorPlugin_QStr(x.mon, QStringLiteral("message was too big, reopening raw socket"));
        x.socket.reset(openIcmpSocket());
        if (x.socket.fd() < 0)
            return finalAttempt(failWithError(x.mon, "Error creating ICMP socket: %1", errno));
        return std::nullopt;
    }
    if (x.reverse)
        return finalAttempt(setMonReverseSuccess(x.mon));
    return finalAttempt(failWithError(x.mon, "ICMP receive error: %1", error));
}

Attempt awaitEchoReply(EchoExchange& x, uint16_t attempt, uint32_t sentTime)
{
    stZamMonitor* mon = x.mon;
    for (;;) {
        const uint32_t since = std::max<uint32_t>(CTimeWatcher::nowMillisec() - sentTime, 1);
        const int64_t remaining = static_cast<int64_t>(mon->timeout) - since;
        if (remaining < 1)
            return {Attempt::TimeSpent};
        switch (waitForReply(mon, x.socket.fd(), static_cast<uint32_t>(remaining))) {
        case ReplyWait::TimedOut:
            zamLogMonitorPlugin_QStr(mon, attempt < kAttempts ? QStringLiteral("select() timed out")
                                                              : QStringLiteral("last select() timed out"));
            return {Attempt::WaitTimedOut};
        case ReplyWait::Aborted:
            setMonFailReason(mon, "aborted by service");
            return finalAttempt(setMonFailure(mon));
        case ReplyWait::Failed: {
            const int error = errno;
            if (x.reverse)
                return finalAttempt(setMonReverseSuccess(mon));
            failWithError(mon, "ICMP receive error: %1", error);
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("did not get response"));
            return finalAttempt(ZAM_FAILED);
        }
        case ReplyWait::Readable:
            break;
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("receiving reply"));
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(x.socket.fd(), x.buffer.data(), x.buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (const std::optional<Attempt> end = onReceiveError(x, errno))
                return *end;
            continue;
        }
        const QString why = checkEchoReply(x.buffer.data(), static_cast<size_t>(got), x.size,
                                           x.destination.sin_addr.s_addr, x.identifier, attempt, sentTime);
        const uint32_t rtt = std::max<uint32_t>(CTimeWatcher::nowMillisec() - sentTime, 1);
        mon->perfValue = rtt;
        if (why.isEmpty())
            return {Attempt::Reply, rtt};
        zamLogMonitorPlugin_QStr(mon, why);
    }
}

int replied(EchoExchange& x, uint32_t rtt)
{
    x.socket.release();
    if (x.reverse) {
        setMonFailReason(x.mon, "poll succeeded for reverse monitor");
        return setMonFailure(x.mon);
    }
    x.mon->resultCode = ZAM_RESULT_CODE_NONE;
    x.mon->resultValue = static_cast<int>(rtt);
    zamLogMonitorPlugin_QStr(x.mon, QStringLiteral("got reply in %1 msec").arg(rtt));
    return ZAM_OK;
}

// No reply to any request. Mode 1 fails the poll (a network error when the time went on
// packets that were not the reply); otherwise the value is the time-out plus one.
int noReply(EchoExchange& x, bool timeSpent)
{
    stZamMonitor* mon = x.mon;
    if (timeSpent)
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("no matching reply"));
    x.socket.release();
    if (x.reverse)
        return setMonReverseSuccess(mon);
    mon->perfValue = static_cast<int64_t>(mon->timeout) + 1;
    if (mon->mode == 1) {
        if (timeSpent)
            mon->resultCode = ZAM_RESULT_CODE_NETWORK_ERROR;
        return ZAM_FAILED;
    }
    mon->resultCode = ZAM_RESULT_CODE_NONE;
    mon->resultValue = mon->timeout + 1;
    return ZAM_OK;
}

} // namespace

int poll_ping(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    const PingSettings settings = readPingSettings(mon);
    const bool reverse = settings.reverse != 0;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("dns resolution"));
    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
        return reverse ? setMonReverseSuccess(mon) : setMonFailure(mon);

    mon->resultValue = 0;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("opening raw socket"));
    SocketGuard socket(openIcmpSocket(), mon);
    if (socket.fd() < 0)
        return failWithError(mon, "Error while creating ICMP socket %1", errno);
    if (settings.packetSize < 32 || settings.packetSize > 1024) {
        setMonFailReasonFmt(mon, "ICMP packet size is outside the range [32..1024]: %d", settings.packetSize);
        return setMonFailure(mon);
    }
    EchoExchange x{mon, socket, {}, (settings.packetSize + 1) & ~1, nextIdentifier(), reverse,
                   std::vector<unsigned char>(kReceiveSize)};
    x.destination.sin_family = AF_INET;
    x.destination.sin_addr.s_addr = htonl(address.toIPv4Address());

    bool timeSpent = false;
    for (uint16_t attempt = 1; attempt <= kAttempts; ++attempt) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("sending request #%1").arg(attempt));
        uint32_t sentTime = 0;
        if (SendEchoRequest(mon, socket.fd(), x.destination, x.size, &sentTime, x.identifier, attempt) != 0) {
            const int error = errno;
            return reverse ? setMonReverseSuccess(mon) : failWithError(mon, "ICMP send error: %1", error);
        }
        const Attempt a = awaitEchoReply(x, attempt, sentTime);
        if (a.kind == Attempt::Final)
            return a.rc;
        if (a.kind == Attempt::Reply)
            return replied(x, a.rtt);
        timeSpent = a.kind == Attempt::TimeSpent;
    }
    return noReply(x, timeSpent);
}
