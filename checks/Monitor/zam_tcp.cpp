// TCP monitor type: connect to the host's port and close again; the value is how long that
// took. Runs on the calling task thread; nothing is kept between polls.

#include "CHostInfo.h"
#include "CTimedSocket.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <algorithm>

void socketTimeBudget(const stZamMonitor* mon, int* totalMs, int* connectMs)
{
    const int budget = std::max(mon->timeout, 2000);
    *totalMs = budget;
    *connectMs = mon->mode == 1 ? 2000 : budget;
}

int poll_tcp(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port"));
    enum { HavePort = 1, HaveReverse = 2 };
    int port = 0;
    int reverseSetting = 0;
    const PluginOption options[] = {
        {'i', "Port", HavePort, &port, nullptr, nullptr},
        {'y', "Reverse", HaveReverse, &reverseSetting, nullptr, nullptr},
        {0, nullptr, 0, nullptr, nullptr, nullptr},
    };
    int found = 0;
    pluginParseSettings(&mon->settings, options, &found);
    const bool reverse = reverseSetting != 0;
    if ((found & HavePort) && static_cast<uint32_t>(port) > 65535u) {
        setMonFailReason(mon, "Port is out of range");
        return setMonFailure(mon);
    }
    if (mon->settings.count == 0 || !(found & HavePort)) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        return setMonFailure(mon);
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check port ok"));

    QHostAddress address;
    if (!CHostInfo::resolveToAddr(mon, address))
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
        mon->resultCode = ZAM_RESULT_CODE_NETWORK_ERROR;
        return ZAM_FAILED;
    }
    if (!socket.disconnect()) {
        if (reverse)
            return setMonReverseSuccess(mon);
        zamLogMonitorPlugin_QStr(mon, QStringLiteral("can't disconnect from socket"));
        mon->resultCode = ZAM_RESULT_CODE_NETWORK_ERROR;
        return ZAM_FAILED;
    }
    if (reverse) {
        setMonFailReason(mon, "poll succeeded for reverse monitor");
        return setMonFailure(mon);
    }
    const int elapsed = std::max(socket.connectionLifetime(), 1);
    mon->perfValue = elapsed;
    mon->resultValue = elapsed;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("response time: %1").arg(elapsed));
    return ZAM_OK;
}
