// The 20 exported functions. Registration, init and term run on one thread while no poll runs;
// poll and invalidate run on many threads at once, each with its own thread context and record,
// and take no lock.

#include "zam_plugin_api.h"

#include "CTimerThread.h"
#include "Snmp/snmp_mutex.h"
#include "Ssh/CSshClientPool.h"
#include "zam_core_context.h"
#include "zam_host.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_mtypes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// Live contexts; changed only by init and term, which the host runs on one thread.
static int g_contexts = 0;

extern "C" {

void zam_plugin_register_log_cb(ZamLogCallback cb)
{
    zamLogCb.store(cb);
}

void zam_plugin_register_service_data_cb(ZamServiceDataCallback cb)
{
    zamSvcCb.store(cb);
}

void zam_plugin_register_getmem_cb(ZamGetMemCallback cb)
{
    Get_Server_Memory.store(cb);
}

int zam_plugin_init(stCoreZamContext** out)
{
    const size_t size = std::max(sizeof(stCoreZamContext), kCoreZamContextMinSize);
    auto* ctx = static_cast<stCoreZamContext*>(std::calloc(1, size));
    if (!ctx) {
        if (out)
            *out = nullptr;
        return 1;
    }
    ctx->active = 1;
    snmp_sess_init(&ctx->session);
    // The daemon's lock when it offers one (shared with its trap receiver), else our own.
    const auto sharedMutex = reinterpret_cast<ZamSnmpSharedMutexFn>(zamGetServiceData(ZAM_SERVICE_SNMP_SHARED_MUTEX));
    pthread_mutex_t* hostMutex = sharedMutex ? sharedMutex() : nullptr;
    ctx->snmpMutex = hostMutex ? hostMutex : &snmp_mutex;
    // A host that initialises the library twice shares one set of process-wide resources;
    // only the first init starts them and only the last term ends them.
    if (g_contexts++ == 0) {
        pthread_mutex_init(&snmp_mutex, nullptr);
        pluginMysqlInit();
        pluginPgsqlInit();
        timer_thread_start();
    }
    if (out)
        *out = ctx;
    return 0;
}

int zam_plugin_init_thread(stCoreZamContext*, stCoreZamThreadContext** out)
{
    auto* tctx = static_cast<stCoreZamThreadContext*>(std::calloc(1, sizeof(stCoreZamThreadContext)));
    if (tctx) {
        pluginMysqlInitThread(tctx);
        pluginPgsqlInitThread(tctx);
    }
    if (out)
        *out = tctx;
    return tctx ? 0 : 1;
}

int zam_plugin_term(stCoreZamContext* ctx)
{
    if (!ctx)
        return 0;
    ctx->active = 0;
    std::free(ctx);
    if (g_contexts == 0 || --g_contexts > 0)
        return 0;
    // The maintenance jobs use the caches, the mutex and the log sink: stop them first.
    timer_thread_stop();
    CSshClientPool::instance()->shutdownAll();
    pthread_mutex_destroy(&snmp_mutex);
    pluginMysqlTerm();
    pluginPgsqlTerm();
    zamLogCb.store(nullptr);
    zamSvcCb.store(nullptr);
    Get_Server_Memory.store(nullptr);
    return 0;
}

int zam_plugin_term_thread(stCoreZamContext*, stCoreZamThreadContext* tctx)
{
    if (tctx) {
        pluginMysqlTermThread(tctx);
        pluginPgsqlTermThread(tctx);
    }
    std::free(tctx);
    return 0;
}

int zam_plugin_get_count(stCoreZamContext*, int* monitorTypes, int* actionTypes)
{
    if (monitorTypes)
        *monitorTypes = ZAM_MONITOR_TYPE_COUNT;
    if (actionTypes)
        *actionTypes = ZAM_ACTION_TYPE_COUNT;
    return 0;
}

int zam_plugin_get_monitor_type(stCoreZamContext*, unsigned index, const stZamMonitorType** out)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(index);
    if (out)
        *out = row ? row->descriptor : nullptr;
    return row && out ? 0 : 1;
}

int zam_plugin_free_monitor_type(const stZamMonitorType*)
{
    return 0;
}

int zam_plugin_get_action_type(stCoreZamContext*, unsigned index, const stZamActionType** out)
{
    if (out)
        *out = nullptr;
    return index == 0 ? 0 : 1;
}

int zam_plugin_free_action_type(const stZamActionType*)
{
    return 0;
}

int zam_plugin_poll(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamMonitor* mon)
{
    if (!mon)
        return 1;
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row)
        return 1;
    if (!row->poll) {
        setFailReasonFmt(mon->failReason, ZAM_FAIL_REASON_SIZE, "Monitor type '%s' has not been implemented yet.",
                         row->descriptor->name);
        return 1;
    }
    mon->perfValue = 0;
    mon->resultCode = -2;
    mon->resultValue = -1;
    mon->resultExtra = 0;
    mon->pollFlags = 0;
    mon->failReason[0] = '\0';
    return row->poll(ctx, tctx, row->descriptor, mon);
}

int zam_plugin_invalidate_monitor_cache(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamMonitor* mon,
                                        unsigned flags)
{
    if (!mon)
        return 1;
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row)
        return 1;
    if (!row->invalidate)
        return 0;
    return row->invalidate(ctx, tctx, row->descriptor, mon, flags);
}

int zam_plugin_init_monitor_by_event(stZamMonitor* mon, ...)
{
    if (!mon)
        return -1;
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row)
        return -1;
    mon->resultCode = -2;
    mon->failReason[0] = '\0';
    if (!row->initByEvent)
        return -1;
    va_list args;
    va_start(args, mon);
    const int r = row->initByEvent(mon, args);
    va_end(args);
    return r;
}

void zam_plugin_term_monitor_by_event(stZamMonitor* mon, ...)
{
    if (!mon)
        return;
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row || !row->termByEvent)
        return;
    va_list args;
    va_start(args, mon);
    row->termByEvent(mon, args);
    va_end(args);
}

void zam_plugin_exec_monitor_by_event(stZamMonitor* mon, ...)
{
    if (!mon)
        return;
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row || !row->execByEvent)
        return;
    va_list args;
    va_start(args, mon);
    row->execByEvent(mon, args);
    va_end(args);
}

int zam_plugin_action(stCoreZamContext*, stCoreZamThreadContext*, stZamAction*)
{
    // No action type has a handler.
    return 1;
}

int zam_plugin_invalidate_action_cache(stCoreZamContext*, stCoreZamThreadContext*, stZamAction* act)
{
    if (!act)
        return 1;
    return act->typeIndex == 0 ? 0 : 1;
}

int zam_plugin_is_monitor_type_supported(stCoreZamContext*, unsigned index)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(index);
    return row && (row->poll || row->initByEvent) ? 1 : 0;
}

}  // extern "C"
