// DNS monitor type: one query (NS of the root, A, MX or SOA) through c-ares, to the system's
// resolvers or to the monitored host as server, its values shown and checked against the two
// expected-response rules. Runs on the polling thread with a c-ares channel of its own; nothing
// is kept between polls.

#include "AresQueryResult.h"
#include "CHostInfo.h"
#include "DnsAnswer.h"
#include "DnsResponseRule.h"
#include "zam_compose.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <ares.h>
#include <arpa/inet.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <mutex>
#include <string>

namespace {

// Longest single wait, so that a stop request of the service is seen soon.
constexpr int kMaxWaitMs = 200;

int failWith(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    return setMonFailure(mon);
}

struct ChannelGuard {
    ares_channel channel = nullptr;
    ~ChannelGuard()
    {
        if (channel)
            ares_destroy(channel);
    }
};

enum class Stop { None, Aborted, TimedOut, WaitError };

// Runs the channel until the query is answered, its tries are spent, the budget is gone or the
// service asks to stop. Each wait ends at c-ares's own next time-out, so a lost datagram is
// sent again, and never later than the budget.
Stop runQuery(stZamMonitor* mon, ares_channel channel, const AresQueryResult& result,
              std::chrono::steady_clock::time_point start, long long budgetMs)
{
    while (!result.done()) {
        if (monitorStillAlive(mon)) {
            ares_cancel(channel);
            return Stop::Aborted;
        }
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const short events = static_cast<short>((ARES_GETSOCK_READABLE(bits, i) ? POLLIN : 0)
                                                    | (ARES_GETSOCK_WRITABLE(bits, i) ? POLLOUT : 0));
            if (events == 0)
                continue;
            fds[count].fd = sockets[i];
            fds[count].events = events;
            fds[count].revents = 0;
            ++count;
        }
        if (count == 0)
            return Stop::None;
        const long long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start).count();
        if (elapsed > budgetMs) {
            ares_cancel(channel);
            return Stop::TimedOut;
        }
        const long long leftMs = std::min<long long>(budgetMs - elapsed + 1, kMaxWaitMs);
        timeval most{static_cast<time_t>(leftMs / 1000), static_cast<suseconds_t>(leftMs % 1000 * 1000)};
        timeval next{};
        ares_timeout(channel, &most, &next);
        const int waitMs = static_cast<int>(next.tv_sec * 1000 + (next.tv_usec + 999) / 1000);
        const int ready = ::poll(fds, count, waitMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            ares_cancel(channel);
            return Stop::WaitError;
        }
        if (ready == 0) {
            ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
            continue;
        }
        for (nfds_t i = 0; i < count && !result.done(); ++i) {
            const short r = fds[i].revents;
            if (r == 0)
                continue;
            const bool readable = (r & (POLLIN | POLLERR | POLLHUP)) != 0;
            const bool writable = (r & POLLOUT) != 0;
            ares_process_fd(channel, readable ? fds[i].fd : ARES_SOCKET_BAD, writable ? fds[i].fd : ARES_SOCKET_BAD);
        }
    }
    return Stop::None;
}

void initAresOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

int pollDns(stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    int port = 53, useSystem = 0, requestType = -1;
    std::string requestData;
    const PluginOption options[] = {
        {'i', "Port", 1, &port, nullptr, nullptr},
        {'e', "Use System DNS Servers", 2, &useSystem, nullptr, nullptr},
        {'e', "Request Type", 4, &requestType, nullptr, nullptr},
        {'s', " Request Data", 8, nullptr, &requestData, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    pluginParseSettings(&mon->settings, options, &found);
    DnsResponseRule rules[2] = {DnsResponseRule::fromMonitor(mon, 0), DnsResponseRule::fromMonitor(mon, 1)};
    if (!optionsPresent(found, 7) || (useSystem != 0 && useSystem != 1) || requestType < 0 || requestType > 3
        || (requestType != 0 && (!(found & 8) || requestData.empty()))
        || (useSystem == 1 && (port < 1 || port > 65535)))
        return failWith(mon, "Incorrect monitor parameters");
    if (useSystem == 0)
        port = 53;
    if (requestType == 0 || mon->mode == 1) {
        rules[0].switchOff();
        rules[1].switchOff();
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set AresOptions"));
    const long long budgetMs = mon->timeout > 0 ? mon->timeout : 1;
    ares_options opts{};
    int mask = ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_LOOKUPS;
    opts.timeout = static_cast<int>(std::max<long long>(budgetMs / 6, 1));
    opts.tries = 3;
    char lookups[] = "b";
    opts.lookups = lookups;
    in_addr server{};
    if (useSystem == 1) {
        QHostAddress address;
        if (!CHostInfo::resolveToAddr(mon, address))
            return setMonFailure(mon);
        server.s_addr = htonl(address.toIPv4Address());
        opts.flags = ARES_FLAG_NOCHECKRESP;
        // c-ares before 1.8.0 took the ports in network byte order
        const unsigned short wirePort = static_cast<unsigned short>(port);
        int version = 0;
        ares_version(&version);
        opts.udp_port = opts.tcp_port = version < 0x010800 ? htons(wirePort) : wirePort;
        opts.servers = &server;
        opts.nservers = 1;
        mask |= ARES_OPT_FLAGS | ARES_OPT_UDP_PORT | ARES_OPT_TCP_PORT | ARES_OPT_SERVERS;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("set AresOptions ok"));

    const auto start = std::chrono::steady_clock::now();
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("create channel"));
    initAresOnce();
    int wanted = kDnsTypeNS, secondWanted = -1;
    const char* name = ".";
    switch (requestType) {
    case 1: wanted = kDnsTypeA; secondWanted = kDnsTypeAAAA; break;
    case 2: wanted = kDnsTypeMX; break;
    case 3: wanted = kDnsTypeSOA; break;
    default: break;
    }
    if (requestType != 0)
        name = requestData.c_str();
    // Declared before the channel: destroying the channel may still call back into it.
    AresQueryResult result(mon, wanted, secondWanted);
    ChannelGuard guard;
    const int rc = ares_init_options(&guard.channel, &opts, mask);
    if (rc != ARES_SUCCESS) {
        guard.channel = nullptr;
        setMonFailReasonFmt(mon, "Cannot create descriptor: %s", ares_strerror(rc));
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("create channel ok"));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute query"));
    ares_query(guard.channel, name, 1 /* IN */, wanted, &AresQueryResult::callback, &result);
    const Stop stop = runQuery(mon, guard.channel, result, start, budgetMs);
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("execute query ok"));

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("parse query status"));
    if (stop != Stop::None || !result.done() || result.status() != ARES_SUCCESS) {
        const char* why = stop == Stop::Aborted    ? "request aborted by service"
                          : stop == Stop::TimedOut ? "request timed out"
                          : stop == Stop::WaitError ? "select returned error"
                          : result.done()          ? ares_strerror(result.status())
                                                   : "no response from DNS server";
        setMonFailReasonFmt(mon, "Query failed: %s", why);
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("parse query status ok"));

    for (int i = 0; i < 2; ++i) {
        if (!rules[i].active())
            continue;
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("validate response"));
        QString last;
        if (rules[i].holds(result.values(), &last)) {
            mon->validationFailed[i] = 0;
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("validate response ok"));
        } else {
            mon->validationFailed[i] = 1;
            setMonFailReasonFmt(mon, "invalid value: '%s'", last.toUtf8().constData());
        }
    }

    std::string display;
    if (requestType != 0) {
        for (const std::string& value : result.values()) {
            if (!display.empty())
                display += ';';
            display += value;
        }
    }
    compose_UTF8_DISPLAY_VALUE(mon, display.c_str());
    mon->resultCode = -2;
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (ms <= 0)
        ms = 1;
    mon->perfValue = ms;
    mon->resultValue = static_cast<int>(std::min<long long>(ms, 0x7fffffff));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1 msec").arg(ms));
    return 0;
}

} // namespace

int poll_dns(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    try {
        return pollDns(mon);
    } catch (const std::exception& e) {
        return failWith(mon, e.what());
    } catch (...) {
        return failWith(mon, "Internal error in the DNS check");
    }
}
