// TCP monitor type: connect to the host's port and close again; the value is how long that
// took. Runs on the calling task thread; nothing is kept between polls.

#include "CTimedSocket.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_resolve_ipv4.h"

#include <algorithm>
#include <cstring>

void socketTimeBudget(const stZamMonitor* mon, int* totalMs, int* connectMs)
{
    const int budget = std::max(mon->timeout, 2000);
    *totalMs = budget;
    *connectMs = mon->mode == 1 ? 2000 : budget;
}

int poll_tcp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
    int port = 0;
    bool havePort = false;
    bool reverse = false;
    for (uint32_t i = 0; mon->settings.entries && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        if (!e.name)
            continue;
        if (e.id == 'i' && std::strcmp(e.name, "Port") == 0) {
            if (static_cast<uint32_t>(e.valueInt) > 65535u) {
                setMonFailReason(mon, "Port is out of range");
                return setMonFailure(mon);
            }
            port = static_cast<int>(static_cast<uint32_t>(e.valueInt));
            havePort = true;
        } else if (e.id == 'y' && std::strcmp(e.name, "Reverse") == 0) {
            reverse = e.valueInt != 0;
        }
    }
    if (mon->settings.count == 0 || !havePort) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));

    QHostAddress address;
    if (!resolveMonitorIPv4(mon, address))
        return reverse ? setMonReverseSuccess(mon) : setMonFailure(mon);

    int total = 0;
    int connect = 0;
    socketTimeBudget(mon, &total, &connect);
    CTimedSocket socket(address, port, CTimedSocket::SecureNone, mon->mode, total, connect, mon->stillAlive,
                        mon->stillAliveContext, mon->failReason, ZAM_FAIL_REASON_SIZE);
    if (!socket.connect()) {
        if (reverse)
            return setMonReverseSuccess(mon);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("can't connect to socket"));
        mon->resultCode = 2;
        return 1;
    }
    if (!socket.disconnect()) {
        if (reverse)
            return setMonReverseSuccess(mon);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("can't disconnect from socket"));
        mon->resultCode = 2;
        return 1;
    }
    if (reverse) {
        setMonFailReason(mon, "poll succeeded for reverse monitor");
        return setMonFailure(mon);
    }
    const int elapsed = std::max(socket.connectionLifetime(), 1);
    mon->perfValue = elapsed;
    mon->resultValue = elapsed;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1").arg(elapsed));
    return 0;
}
