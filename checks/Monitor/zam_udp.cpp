// UDP monitor type: one datagram from hexadecimal text to the host's port and, when asked, the
// identical echo back. The socket is connected, so an ICMP port-unreachable answer reaches us
// as ECONNREFUSED and only the target's datagrams are received. Runs on the calling task
// thread; nothing is kept between polls.

#include "CHostInfo.h"
#include "CTimeWatcher.h"
#include "HexBuffer.h"
#include "WaitForReply.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <string>
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

constexpr size_t kMaxDatagram = 65536;

int networkFailure(stZamMonitor* mon, const char* fmt, const char* text)
{
    setMonFailReasonFmt(mon, fmt, text);
    mon->resultCode = ZAM_RESULT_CODE_NETWORK_ERROR;
    return ZAM_FAILED;
}

struct UdpSettings {
    int port = 0;
    std::string hexText;
    int expectEcho = 0;
};

// The three settings, all required; false with the failure written into the record.
bool readUdpSettings(stZamMonitor* mon, UdpSettings& s, HexBuffer& data)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    enum { HavePort = 1, HaveData = 2, HaveEcho = 4 };
    const PluginOption options[] = {
        {'i', "Port", HavePort, &s.port, nullptr, nullptr},
        {'s', "Data in Hex", HaveData, nullptr, &s.hexText, nullptr},
        {'y', "Expect Echo Response", HaveEcho, &s.expectEcho, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    pluginParseSettings(&mon->settings, options, &found);
    if (found & HavePort) {
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
        if (static_cast<uint32_t>(s.port) > 65535u) {
            setMonFailReason(mon, "Port is out of range");
            setMonFailure(mon);
            return false;
        }
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));
    }
    if (found != (HavePort | HaveData | HaveEcho)) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        setMonFailure(mon);
        return false;
    }
    if (!data.convert(s.hexText.c_str())) {
        setMonFailReason(mon, "Invalid data format; not a hex string");
        setMonFailure(mon);
        return false;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    return true;
}

bool bindAnyPort(int fd)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool fromTarget(const sockaddr_in& from, const sockaddr_in& target)
{
    return from.sin_family == AF_INET &&
           (from.sin_addr.s_addr == 0 || target.sin_addr.s_addr == 0 || from.sin_addr.s_addr == target.sin_addr.s_addr) &&
           (from.sin_port == 0 || target.sin_port == 0 || from.sin_port == target.sin_port);
}

// Waits for the echo of data. Answers nullopt when it came back whole or the time ran out
// (*echoed tells which), or the poll's final result with the failure written into the record.
std::optional<int> awaitEcho(stZamMonitor* mon, int fd, const CTimeWatcher& watcher, const HexBuffer& data,
                             const sockaddr_in& target, bool* echoed)
{
    std::vector<unsigned char> reply(std::max(kMaxDatagram, data.size() + 1));
    for (;;) {
        switch (waitForReply(mon, fd, watcher.remainingTimeMillisec())) {
        case ReplyWait::TimedOut:
            return std::nullopt;
        case ReplyWait::Aborted:
            setMonFailReason(mon, "aborted by service");
            return setMonFailure(mon);
        case ReplyWait::Failed:
            return networkFailure(mon, "select() failed: %s", std::strerror(errno));
        case ReplyWait::Readable:
            break;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                                       &fromLength);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            if (errno == ECONNREFUSED || errno == ECONNRESET) {
                setMonFailReasonFmt(mon, "sendto() failed; Port %d is unreachable", ntohs(target.sin_port));
                mon->resultCode = ZAM_RESULT_CODE_NETWORK_ERROR;
                return ZAM_FAILED;
            }
            return networkFailure(mon, "recvfrom() failed: %s", std::strerror(errno));
        }
        if (!fromTarget(from, target))
            continue;
        if (static_cast<size_t>(got) != data.size() || std::memcmp(reply.data(), data.data(), data.size()) != 0) {
            setMonFailReason(mon, "echo mismatch");
            return setMonFailure(mon);
        }
        *echoed = true;
        return std::nullopt;
    }
}

} // namespace

int poll_udp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    UdpSettings settings;
    HexBuffer data;
    if (!readUdpSettings(mon, settings, data))
        return ZAM_FAILED;
    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
        return setMonFailure(mon);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        setMonFailReason(mon, "Failed to create a socket");
        return setMonFailure(mon);
    }
    CSocketGuard guard(fd, mon);
    if (!bindAnyPort(fd)) {
        setMonFailReason(mon, "Cannot bind the listening port");
        return setMonFailure(mon);
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(settings.port));
    target.sin_addr.s_addr = htonl(address.toIPv4Address());

    CTimeWatcher watcher(mon->timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 ||
        ::send(fd, data.data(), data.size(), MSG_NOSIGNAL) < 0)
        return networkFailure(mon, "sendto() failed: %s", std::strerror(errno));
    bool echoed = settings.expectEcho == 0;
    if (!echoed) {
        if (const std::optional<int> rc = awaitEcho(mon, fd, watcher, data, target, &echoed))
            return *rc;
    }
    if (!echoed) {
        mon->perfValue = static_cast<int64_t>(mon->timeout) + 1;
        mon->resultValue = mon->timeout + 1;
        return setMonSuccess(mon);
    }
    const int elapsed = static_cast<int>(watcher.elapsedMillisec());
    mon->perfValue = elapsed;
    mon->resultValue = elapsed;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1").arg(elapsed));
    return setMonSuccess(mon);
}
