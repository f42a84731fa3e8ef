// A stand-in checks library for the poll road: per type index a small behaviour that shows
// what reaches the library and what comes back. State through poll_road_state().
//   0 echo: the first setting's value text into failReason, one section, a counter kept in
//     cachedData across polls as resultValue; 1 discovery: two new monitors when the host
//     offers the callback; 2 heartbeat: calls stillAlive `heartbeats` times, `heartbeatMs` apart;
//   3 no-op.
#include "zam_plugin_api.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern "C" {

struct PollRoadState {
    std::atomic<int> pollCount;
    std::atomic<int> invalidateCount;
    std::atomic<unsigned> invalidateFlags[64];
    std::atomic<int> heartbeats;
    std::atomic<int> heartbeatMs;
    std::atomic<int> stillAliveAnswers;
    std::atomic<int> addCallbackSeen;
    ZamGetMemCallback memory;
};

__attribute__((visibility("default"))) PollRoadState* poll_road_state()
{
    static PollRoadState state;
    return &state;
}

static PollRoadState& st()
{
    return *poll_road_state();
}

static int g_context;
static int g_threadContexts[64];

void zam_plugin_register_log_cb(ZamLogCallback) {}
void zam_plugin_register_service_data_cb(ZamServiceDataCallback) {}
void zam_plugin_register_getmem_cb(ZamGetMemCallback cb)
{
    st().memory = cb;
}
int zam_plugin_init(stCoreZamContext** out)
{
    *out = reinterpret_cast<stCoreZamContext*>(&g_context);
    return 0;
}
int zam_plugin_init_thread(stCoreZamContext*, stCoreZamThreadContext** out)
{
    static std::atomic<int> n{0};
    *out = reinterpret_cast<stCoreZamThreadContext*>(&g_threadContexts[n++ % 64]);
    return 0;
}
int zam_plugin_term(stCoreZamContext*)
{
    return 0;
}
int zam_plugin_term_thread(stCoreZamContext*, stCoreZamThreadContext*)
{
    return 0;
}
int zam_plugin_get_count(stCoreZamContext*, int* monitorTypes, int* actionTypes)
{
    *monitorTypes = 4;
    *actionTypes = 0;
    return 0;
}
int zam_plugin_get_monitor_type(stCoreZamContext*, unsigned, const stZamMonitorType** out)
{
    *out = nullptr;
    return 1;
}
int zam_plugin_free_monitor_type(const stZamMonitorType*)
{
    return 0;
}
int zam_plugin_get_action_type(stCoreZamContext*, unsigned, const stZamActionType** out)
{
    *out = nullptr;
    return 1;
}
int zam_plugin_free_action_type(const stZamActionType*)
{
    return 0;
}

static void addTwoMonitors(stZamMonitor* mon)
{
    // The value texts are the hexadecimal version-12 forms of the ints 1 and 2.
    const stZamNewMonitorSetting first[] = {{"Index", "000000020000000001", 1, 0}};
    const stZamNewMonitorSetting second[] = {{"Index", "000000020000000002", 0, 0}};
    const stZamNewMonitorRequest a = {"SNMP Traffic speed", "eth0", 1, 0, first};
    const stZamNewMonitorRequest b = {"SNMP Traffic speed", "eth1", 1, 0, second};
    mon->addNewMonitorFn(mon->addNewMonitorContext, &a);
    mon->addNewMonitorFn(mon->addNewMonitorContext, &b);
}

int zam_plugin_poll(stCoreZamContext*, stCoreZamThreadContext*, stZamMonitor* mon)
{
    ++st().pollCount;
    mon->pollFlags = 0;
    switch (mon->typeIndex) {
    case 0: {
        const char* text = mon->settings.count ? mon->settings.entries[0].valueText : "";
        snprintf(mon->failReason, ZAM_FAIL_REASON_SIZE, "%s", text);
        if (!mon->cachedData)
            mon->cachedData = calloc(1, sizeof(int));
        int* counter = static_cast<int*>(mon->cachedData);
        mon->resultValue = ++*counter;
        mon->perfValue = 42;
        mon->resultCode = 0;
        if (st().memory) {
            if (void* data = st().memory(mon, 4, ZAM_SECTION_PERF32))
                memcpy(data, "\x2a\0\0\0", 4);
        }
        return 0;
    }
    case 1:
        st().addCallbackSeen = mon->addNewMonitorFn != nullptr;
        if (mon->addNewMonitorFn)
            addTwoMonitors(mon);
        return 0;
    case 2:
        for (int i = 0; i < st().heartbeats; ++i) {
            const timespec pause = {0, static_cast<long>(st().heartbeatMs) * 1000000L};
            nanosleep(&pause, nullptr);
            if (mon->stillAlive && mon->stillAlive(mon->stillAliveContext) == 0)
                ++st().stillAliveAnswers;
        }
        return 0;
    default:
        return 0;
    }
}
int zam_plugin_invalidate_monitor_cache(stCoreZamContext*, stCoreZamThreadContext*, stZamMonitor* mon, unsigned flags)
{
    const int n = st().invalidateCount++;
    st().invalidateFlags[n % 64] = flags;
    if ((flags & 1) && mon->cachedData) {
        free(mon->cachedData);
        mon->cachedData = nullptr;
    }
    return 0;
}
int zam_plugin_init_monitor_by_event(stZamMonitor*, ...)
{
    return -1;
}
void zam_plugin_term_monitor_by_event(stZamMonitor*, ...) {}
void zam_plugin_exec_monitor_by_event(stZamMonitor*, ...) {}
int zam_plugin_action(stCoreZamContext*, stCoreZamThreadContext*, stZamAction*)
{
    return 1;
}
int zam_plugin_invalidate_action_cache(stCoreZamContext*, stCoreZamThreadContext*, stZamAction*)
{
    return 0;
}
int zam_plugin_is_monitor_type_supported(stCoreZamContext*, unsigned index)
{
    return index < 4;
}
}
