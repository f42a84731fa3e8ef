// UDP monitor type: one datagram from hexadecimal text to the host's port and, when asked, the
// identical echo back. The socket is connected, so an ICMP port-unreachable answer reaches us
// as ECONNREFUSED and only the target's datagrams are received. Runs on the calling task
// thread; nothing is kept between polls.

#include "CTimeWatcher.h"
#include "HexBuffer.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_resolve_ipv4.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// Closes the datagram socket on every way out of the poll.
class CSocketGuard
{
public:
    CSocketGuard(int fd, stZamMonitor* mon) : m_fd(fd), m_mon(mon) {}
    ~CSocketGuard()
    {
        if (m_fd < 0)
            return;
        zamLogMonitorPlugin_QStr(m_mon, QStringLiteral("closing socket"));
        ::close(m_fd);
        zamLogMonitorPlugin_QStr(m_mon, QStringLiteral("socket closed"));
    }
    CSocketGuard(const CSocketGuard&) = delete;
    CSocketGuard& operator=(const CSocketGuard&) = delete;

private:
    int m_fd;
    stZamMonitor* m_mon;
};

constexpr uint32_t kWaitStepMs = 1000;  // the host's stop request is seen within this time
constexpr size_t kMaxDatagram = 65536;

int networkFailure(stZamMonitor* mon, const char* fmt, const char* text)
{
    setMonFailReasonFmt(mon, fmt, text);
    mon->resultCode = 2;
    return 1;
}

} // namespace

int poll_udp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    enum { HavePort = 1, HaveData = 2, HaveEcho = 4 };
    int found = 0;
    int port = 0;
    const char* hexText = "";
    bool expectEcho = false;
    for (uint32_t i = 0; mon->settings.entries && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        if (e.id == 'i') {
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
            if (static_cast<uint32_t>(e.valueInt) > 65535u) {
                setMonFailReason(mon, "Port is out of range");
                return setMonFailure(mon);
            }
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));
            port = static_cast<int>(static_cast<uint32_t>(e.valueInt));
            found |= HavePort;
        } else if (e.id == 's' && e.name && std::strcmp(e.name, "Data in Hex") == 0) {
            hexText = e.valueText ? e.valueText : "";
            found |= HaveData;
        } else if (e.id == 'y') {
            expectEcho = e.valueInt != 0;
            found |= HaveEcho;
        }
    }
    if (found != (HavePort | HaveData | HaveEcho)) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        return setMonFailure(mon);
    }
    HexBuffer data;
    if (!data.convert(hexText)) {
        setMonFailReason(mon, "Invalid data format; not a hex string");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    QHostAddress address;
    if (!resolveMonitorIPv4(mon, address))
        return setMonFailure(mon);

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        setMonFailReason(mon, "Failed to create a socket");
        return setMonFailure(mon);
    }
    CSocketGuard guard(fd, mon);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        setMonFailReason(mon, "Cannot bind the listening port");
        return setMonFailure(mon);
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    target.sin_addr.s_addr = htonl(address.toIPv4Address());

    CTimeWatcher watcher(mon->timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 ||
        ::send(fd, data.data(), data.size(), MSG_NOSIGNAL) < 0)
        return networkFailure(mon, "sendto() failed: %s", std::strerror(errno));

    int elapsed = 0;
    bool echoed = !expectEcho;
    if (expectEcho) {
        std::vector<unsigned char> reply(std::max(kMaxDatagram, data.size() + 1));
        for (;;) {
            const uint32_t remaining = watcher.remainingTimeMillisec();
            if (remaining == 0)
                break;
            if (monitorStillAlive(mon)) {
                setMonFailReason(mon, "aborted by service");
                return setMonFailure(mon);
            }
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("waiting for reply"));
            pollfd p{fd, POLLIN, 0};
            const int n = ::poll(&p, 1, static_cast<int>(std::min(remaining, kWaitStepMs)));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return networkFailure(mon, "select() failed: %s", std::strerror(errno));
            }
            if (n == 0)
                continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = ::recvfrom(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                                           &fromLength);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                if (errno == ECONNREFUSED || errno == ECONNRESET) {
                    setMonFailReasonFmt(mon, "sendto() failed; Port %d is unreachable", port);
                    mon->resultCode = 2;
                    return 1;
                }
                return networkFailure(mon, "recvfrom() failed: %s", std::strerror(errno));
            }
            const bool fromTarget = from.sin_family == AF_INET &&
                                    (from.sin_addr.s_addr == 0 || target.sin_addr.s_addr == 0 ||
                                     from.sin_addr.s_addr == target.sin_addr.s_addr) &&
                                    (from.sin_port == 0 || target.sin_port == 0 || from.sin_port == target.sin_port);
            if (!fromTarget)
                continue;
            if (static_cast<size_t>(got) != data.size() || std::memcmp(reply.data(), data.data(), data.size()) != 0) {
                setMonFailReason(mon, "echo mismatch");
                return setMonFailure(mon);
            }
            echoed = true;
            break;
        }
    }
    if (!echoed) {
        mon->perfValue = static_cast<int64_t>(mon->timeout) + 1;
        mon->resultValue = mon->timeout + 1;
        return setMonSuccess(mon);
    }
    elapsed = static_cast<int>(watcher.elapsedMillisec());
    mon->perfValue = elapsed;
    mon->resultValue = elapsed;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1").arg(elapsed));
    return setMonSuccess(mon);
}
