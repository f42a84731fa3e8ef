// The 20 exported functions (contracts in zam_plugin_api.h). Registration, init and term run on
// one thread while no poll runs; poll and invalidate run on many threads at once, each with its
// own thread context and record, and take no lock. Each body runs behind zamExportBarrier, so
// an exception of a check ends as a failed result, never across the C boundary.

#include "zam_plugin_api.h"

#include "CTimerThread.h"
#include "ZamExportBarrier.h"
#include "Snmp/snmp_mutex.h"
#include "Ssh/CSshClientPool.h"
#include "zam_core_context.h"
#include "zam_host.h"
#include "zam_monitor_functions.h"
#include "zam_monitor_helpers.h"
#include "zam_mtypes.h"

#include <curl/curl.h>

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

}  // extern "C"

namespace {

int initContext(stCoreZamContext** out)
{
    const size_t size = std::max(sizeof(stCoreZamContext), kCoreZamContextMinSize);
    auto* ctx = static_cast<stCoreZamContext*>(std::calloc(1, size));
    if (!ctx) {
        if (out)
            *out = nullptr;
        return ZAM_FAILED;
    }
    ctx->active = 1;
    snmp_sess_init(&ctx->session);
    // The daemon's lock when it offers one (shared with its trap receiver), else our own.
    const auto sharedMutex = reinterpret_cast<ZamSnmpSharedMutexFn>(zamGetServiceData(ZAM_SERVICE_SNMP_SHARED_MUTEX));
    pthread_mutex_t* hostMutex = sharedMutex ? sharedMutex() : nullptr;
    ctx->snmpMutex = hostMutex ? hostMutex : &snmp_mutex;
    // A host that initialises the library twice shares one set of process-wide resources;
    // only the first init starts them and only the last term ends them.
    if (g_contexts == 0) {
        // libcurl's process-wide set-up belongs to the library whose checks use it, so the
        // daemon itself never maps libcurl and its dependencies.
        if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
            std::free(ctx);
            if (out)
                *out = nullptr;
            return ZAM_FAILED;
        }
        pthread_mutex_init(&snmp_mutex, nullptr);
        pluginMysqlInit();
        pluginPgsqlInit();
        timer_thread_start();
    }
    ++g_contexts;
    if (out)
        *out = ctx;
    return ZAM_OK;
}

int initThreadContext(stCoreZamThreadContext** out)
{
    auto* tctx = static_cast<stCoreZamThreadContext*>(std::calloc(1, sizeof(stCoreZamThreadContext)));
    if (tctx) {
        pluginMysqlInitThread(tctx);
        pluginPgsqlInitThread(tctx);
    }
    if (out)
        *out = tctx;
    return tctx ? ZAM_OK : ZAM_FAILED;
}

int termContext(stCoreZamContext* ctx)
{
    if (!ctx)
        return ZAM_OK;
    ctx->active = 0;
    std::free(ctx);
    if (g_contexts == 0 || --g_contexts > 0)
        return ZAM_OK;
    // The maintenance jobs use the caches, the mutex and the log sink: stop them first.
    timer_thread_stop();
    CSshClientPool::instance()->shutdownAll();
    pthread_mutex_destroy(&snmp_mutex);
    pluginMysqlTerm();
    pluginPgsqlTerm();
    curl_global_cleanup();
    zamLogCb.store(nullptr);
    zamSvcCb.store(nullptr);
    Get_Server_Memory.store(nullptr);
    return ZAM_OK;
}

int termThreadContext(stCoreZamThreadContext* tctx)
{
    if (tctx) {
        pluginMysqlTermThread(tctx);
        pluginPgsqlTermThread(tctx);
    }
    std::free(tctx);
    return ZAM_OK;
}

int pollMonitor(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamMonitor* mon)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row)
        return ZAM_FAILED;
    if (!row->poll) {
        setFailReasonFmt(mon->failReason, ZAM_FAIL_REASON_SIZE, "Monitor type '%s' has not been implemented yet.",
                         row->descriptor->name);
        return ZAM_FAILED;
    }
    mon->perfValue = 0;
    mon->resultCode = ZAM_RESULT_CODE_NONE;
    mon->resultValue = -1;
    mon->resultExtra = 0;
    mon->pollFlags = 0;
    mon->failReason[0] = '\0';
    return row->poll(ctx, tctx, row->descriptor, mon);
}

int initMonitorByEvent(stZamMonitor* mon, va_list args)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
    if (!row)
        return ZAM_NO_HANDLER;
    mon->resultCode = ZAM_RESULT_CODE_NONE;
    mon->failReason[0] = '\0';
    if (!row->initByEvent)
        return ZAM_NO_HANDLER;
    return row->initByEvent(mon, args);
}

} // namespace

extern "C" {

int zam_plugin_init(stCoreZamContext** out)
{
    return zamExportBarrier("zam_plugin_init", nullptr, int(ZAM_FAILED), [&] { return initContext(out); });
}

int zam_plugin_init_thread(stCoreZamContext*, stCoreZamThreadContext** out)
{
    return zamExportBarrier("zam_plugin_init_thread", nullptr, int(ZAM_FAILED),
                            [&] { return initThreadContext(out); });
}

int zam_plugin_term(stCoreZamContext* ctx)
{
    return zamExportBarrier("zam_plugin_term", nullptr, int(ZAM_FAILED), [&] { return termContext(ctx); });
}

int zam_plugin_term_thread(stCoreZamContext*, stCoreZamThreadContext* tctx)
{
    return zamExportBarrier("zam_plugin_term_thread", nullptr, int(ZAM_FAILED),
                            [&] { return termThreadContext(tctx); });
}

int zam_plugin_get_count(stCoreZamContext*, int* monitorTypes, int* actionTypes)
{
    if (monitorTypes)
        *monitorTypes = ZAM_MONITOR_TYPE_COUNT;
    if (actionTypes)
        *actionTypes = ZAM_ACTION_TYPE_COUNT;
    return ZAM_OK;
}

int zam_plugin_get_monitor_type(stCoreZamContext*, unsigned index, const stZamMonitorType** out)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(index);
    if (out)
        *out = row ? row->descriptor : nullptr;
    return row && out ? ZAM_OK : ZAM_FAILED;
}

int zam_plugin_free_monitor_type(const stZamMonitorType*)
{
    return ZAM_OK;
}

int zam_plugin_get_action_type(stCoreZamContext*, unsigned index, const stZamActionType** out)
{
    if (out)
        *out = nullptr;
    return index == 0 ? ZAM_OK : ZAM_FAILED;
}

int zam_plugin_free_action_type(const stZamActionType*)
{
    return ZAM_OK;
}

int zam_plugin_poll(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamMonitor* mon)
{
    if (!mon)
        return ZAM_FAILED;
    // The check's per-monitor data may be half-built after an exception: drop it.
    return zamExportBarrier(
        "zam_plugin_poll", mon, int(ZAM_FAILED), [&] { return pollMonitor(ctx, tctx, mon); },
        [&] { zam_plugin_invalidate_monitor_cache(ctx, tctx, mon, ZAM_INVALIDATE_PLUGIN_DATA); });
}

int zam_plugin_invalidate_monitor_cache(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamMonitor* mon,
                                        unsigned flags)
{
    if (!mon)
        return ZAM_FAILED;
    return zamExportBarrier("zam_plugin_invalidate_monitor_cache", mon, int(ZAM_FAILED), [&] {
        const stZamMonitorTypeRow* row = zamMonitorTypeRow(mon->typeIndex);
        if (!row)
            return int(ZAM_FAILED);
        return row->invalidate ? row->invalidate(ctx, tctx, row->descriptor, mon, flags) : int(ZAM_OK);
    });
}

int zam_plugin_init_monitor_by_event(stZamMonitor* mon, ...)
{
    if (!mon)
        return ZAM_NO_HANDLER;
    va_list args;
    va_start(args, mon);
    const int r = zamExportBarrier("zam_plugin_init_monitor_by_event", mon, int(ZAM_FAILED),
                                   [&] { return initMonitorByEvent(mon, args); });
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
    zamExportBarrierVoid("zam_plugin_term_monitor_by_event", mon, [&] { row->termByEvent(mon, args); });
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
    zamExportBarrierVoid("zam_plugin_exec_monitor_by_event", mon, [&] { row->execByEvent(mon, args); });
    va_end(args);
}

int zam_plugin_action(stCoreZamContext*, stCoreZamThreadContext*, stZamAction*)
{
    // No action type has a handler.
    return ZAM_FAILED;
}

int zam_plugin_invalidate_action_cache(stCoreZamContext*, stCoreZamThreadContext*, stZamAction* act)
{
    if (!act)
        return ZAM_FAILED;
    return act->typeIndex == 0 ? ZAM_OK : ZAM_FAILED;
}

int zam_plugin_is_monitor_type_supported(stCoreZamContext*, unsigned index)
{
    const stZamMonitorTypeRow* row = zamMonitorTypeRow(index);
    return row && (row->poll || row->initByEvent) ? 1 : 0;
}

}  // extern "C"
