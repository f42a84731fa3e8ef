// "File" monitor type: a local file's size in whole mebibytes; the service compares it with
// the range the user set. Runs on the polling thread; keeps nothing between polls.

#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

int failWith(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    return setMonFailure(mon);
}

}  // namespace

int poll_file(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    if (mon->settings.count == 0 || !mon->settings.entries)
        return failWith(mon, "Incorrect monitor parameters");
    const char* path = nullptr;
    int seen = 0;
    for (uint32_t i = 0; i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        switch (e.id) {
        case 'F':
            path = e.valueText ? e.valueText : "";
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("set path: '%1'").arg(QString::fromUtf8(path)));
            seen |= 0x01;
            break;
        case 'd': seen |= 0x10; break;
        case 'l': seen |= 0x02; break;
        case 'p': seen |= 0x04; break;
        default:
            break;
        }
    }
    if ((seen & 0x17) != 0x17)
        return failWith(mon, "Incorrect monitor parameters");
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("local file: get filesize"));
    struct stat st {};
    if (::stat(path, &st) != 0) {
        char text[256];
        const int error = errno;
        setMonFailReasonFmt(mon, "Error while requesting the file information: %s", strerror_r(error, text, sizeof text));
        return setMonFailure(mon);
    }
    mon->perfValue = static_cast<int64_t>(st.st_size) / 1048576;
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("get filesize ok"));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("local file: get filesize ok"));
    return setMonSuccess(mon);
}

int invalidate_file(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type, stZamMonitor* mon,
                    unsigned flags)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
    return invalidate_simple(ctx, tctx, type, mon, flags);
}
