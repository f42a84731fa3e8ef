#pragma once
// The table of the 50 monitor types: each row is a descriptor and up to five functions. Static,
// read-only data; read by every polling thread without a lock.

#include "zam_plugin_api.h"

typedef int (*ZamPollFn)(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                         stZamMonitor* mon);
typedef int (*ZamInvalidateFn)(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                               stZamMonitor* mon, unsigned flags);
// By-event functions get the monitor and whatever else the host passed.
typedef int (*ZamInitByEventFn)(stZamMonitor* mon, va_list args);
typedef void (*ZamTermByEventFn)(stZamMonitor* mon, va_list args);
typedef void (*ZamExecByEventFn)(stZamMonitor* mon, va_list args);

struct stZamMonitorTypeRow {
    const stZamMonitorType* descriptor;
    ZamPollFn poll;
    ZamInvalidateFn invalidate;
    ZamInitByEventFn initByEvent;
    ZamTermByEventFn termByEvent;
    ZamExecByEventFn execByEvent;
};

extern const stZamMonitorTypeRow zam_mtypes[ZAM_MONITOR_TYPE_COUNT];

// The row for an index, or null when the index is out of range.
const stZamMonitorTypeRow* zamMonitorTypeRow(unsigned index);
// The type name for an index, or "unknown".
const char* zamMonitorTypeName(unsigned index);

// Frees cachedData (flag bit 0) and pluginData (bit 1) with free().
int invalidate_simple(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                      stZamMonitor* mon, unsigned flags);

// Stand-in poll function of the rows whose check is not in this build yet.
int poll_not_ready(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, const stZamMonitorType* type,
                   stZamMonitor* mon);
