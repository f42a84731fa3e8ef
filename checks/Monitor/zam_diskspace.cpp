// "Disk space" monitor type: free or used space of the file system that holds a local path, in
// whole mebibytes or as a percentage of the volume. Runs on the polling thread; keeps nothing
// between polls.

#include "zam_compose.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"

#include <QStorageInfo>

#include <cstring>
#include <exception>

namespace {

int failWith(stZamMonitor* mon, const char* reason)
{
    setMonFailReason(mon, reason);
    return setMonFailure(mon);
}

// measured * 100 / total, halves away from zero; a total of 0 counts as a factor of 100.
int64_t percentOf(int64_t measured, int64_t total)
{
    if (total <= 0)
        return measured * 100;
    const __int128 scaled = static_cast<__int128>(measured) * 200 / total;  // twice the percentage
    return static_cast<int64_t>(scaled >= 0 ? (scaled + 1) / 2 : (scaled - 1) / 2);
}

}  // namespace

int poll_diskspace(stCoreZamContext*, stCoreZamThreadContext*, const stZamMonitorType*, stZamMonitor* mon)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    QString path;
    bool used = false, percent = false;
    int seen = 0;
    for (uint32_t i = 0; mon->settings.entries && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        const char* name = e.name ? e.name : "";
        switch (e.id) {
        case 'D':
            // paths are UTF-8 on this platform
            path = QString::fromUtf8(e.valueText ? e.valueText : "");
            zamLogMonitorPlugin_QStr(mon, QStringLiteral("set path: '%1'").arg(path));
            seen |= 0x01;
            break;
        case 'd': seen |= 0x10; break;
        case 'l': seen |= 0x02; break;
        case 'p': seen |= 0x04; break;
        case 'e':
            if (std::strcmp(name, "Type") == 0) {
                used = e.valueInt == 1;
                seen |= 0x20;
            } else if (std::strcmp(name, "Units") == 0) {
                percent = e.valueInt == 1;
                seen |= 0x40;
            }
            break;
        default:
            break;
        }
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));
    if ((seen & 0x77) != 0x77)
        return failWith(mon, "Incorrect monitor parameters");

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("local disk: get diskspace info"));
    if (path.isEmpty())
        return failWith(mon, "Error while requesting the amount of free space");
    const QStorageInfo volume(path);
    if (!volume.isValid() || !volume.isReady())
        return failWith(mon, "Error while requesting the amount of free space");
    const int64_t freeBytes = volume.bytesFree();
    const int64_t total = volume.bytesTotal();
    const int64_t measured = used ? total - freeBytes : freeBytes;
    const int64_t value = percent ? percentOf(measured, total) : measured >> 20;
    mon->perfValue = value;
    try {
        compose_INT64_PERFVAL_MEASURE_UNIT(mon, value, percent ? " %" : " MB");
    } catch (const std::exception& e) {
        return failWith(mon, e.what());
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("get diskspace ok"));
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("local disk: get diskspace info ok"));
    return setMonSuccess(mon);
}

int invalidate_diskspace(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                         stZamMonitor* mon, unsigned flags)
{
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("invalidate data"));
    return invalidate_simple(ctx, tctx, type, mon, flags);
}
