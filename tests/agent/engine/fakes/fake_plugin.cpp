// A stand-in for the checks library with just enough behaviour to show how the daemon's
// binding reacts: counters of every export, a poll that can throw, a call that overwrites the
// caller's stack guard. Variants are chosen at build time (FAKE_OMIT_INVALIDATE_ACTION,
// FAKE_INIT_FAILS); the rest at run time through fake_state().

#include "zam_plugin_api.h"

#include <cstring>
#include <stdexcept>

extern "C" {

struct FakeState {
    int initCount;
    int termCount;
    int initThreadCount;
    int termThreadCount;
    int pollCount;
    int invalidateCount;
    unsigned lastInvalidateFlags;
    int pollMode;           // 0 normal, 1 throws std::runtime_error, 2 throws an int
    int damageGetCount;     // get_count overwrites two bytes of the caller's guard
    int supportedAnswer;    // what is_monitor_type_supported answers
    int termAnswer;         // what term answers
    ZamLogCallback log;
    ZamServiceDataCallback services;
    ZamGetMemCallback memory;
    int servicesRegisteredBeforeInit;
    int logRegisteredBeforeInit;
    int memoryRegisteredBeforeInit;
    int termThreadsAtTerm;
    int initThreadAnswer;
};

__attribute__((visibility("default"))) FakeState* fake_state()
{
    static FakeState state;
    return &state;
}

}  // extern "C"

namespace {
FakeState& st()
{
    return *fake_state();
}
struct stFakeContext {
    int dummy;
};
stFakeContext g_context;
stFakeContext g_threadContexts[64];

// Finds the caller's guard pattern (bytes 0..127) above this frame and changes two bytes.
__attribute__((no_sanitize_address, noinline)) void damageCallerGuard()
{
    unsigned char* p = static_cast<unsigned char*>(__builtin_frame_address(0));
    for (int offset = 0; offset < 4096; ++offset) {
        bool match = true;
        for (int i = 0; i < 128 && match; ++i)
            match = p[offset + i] == static_cast<unsigned char>(i);
        if (match) {
            p[offset + 5] = 0xee;
            p[offset + 90] = 0xee;
            return;
        }
    }
}
}  // namespace

void zam_plugin_register_log_cb(ZamLogCallback cb)
{
    st().log = cb;
}
void zam_plugin_register_service_data_cb(ZamServiceDataCallback cb)
{
    st().services = cb;
}
void zam_plugin_register_getmem_cb(ZamGetMemCallback cb)
{
    st().memory = cb;
}
int zam_plugin_init(stCoreZamContext** out)
{
    ++st().initCount;
    st().servicesRegisteredBeforeInit = st().services != nullptr;
    st().logRegisteredBeforeInit = st().log != nullptr;
    st().memoryRegisteredBeforeInit = st().memory != nullptr;
#ifdef FAKE_INIT_FAILS
    (void)g_context;
    *out = nullptr;
    return 1;
#else
    *out = reinterpret_cast<stCoreZamContext*>(&g_context);
    return 0;
#endif
}
int zam_plugin_init_thread(stCoreZamContext*, stCoreZamThreadContext** out)
{
    if (st().initThreadAnswer != 0)
        return st().initThreadAnswer;
    // task threads open their contexts at the same time
    const int n = __atomic_fetch_add(&st().initThreadCount, 1, __ATOMIC_SEQ_CST);
    *out = reinterpret_cast<stCoreZamThreadContext*>(&g_threadContexts[n % 64]);
    return 0;
}
int zam_plugin_term(stCoreZamContext*)
{
    ++st().termCount;
    st().termThreadsAtTerm = st().termThreadCount;
    st().log = nullptr;
    st().services = nullptr;
    st().memory = nullptr;
    return st().termAnswer;
}
int zam_plugin_term_thread(stCoreZamContext*, stCoreZamThreadContext*)
{
    __atomic_fetch_add(&st().termThreadCount, 1, __ATOMIC_SEQ_CST);
    return 0;
}
int zam_plugin_get_count(stCoreZamContext*, int* monitorTypes, int* actionTypes)
{
    if (st().damageGetCount)
        damageCallerGuard();
    *monitorTypes = 3;
    *actionTypes = 1;
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
int zam_plugin_poll(stCoreZamContext*, stCoreZamThreadContext*, stZamMonitor* mon)
{
    __atomic_fetch_add(&st().pollCount, 1, __ATOMIC_SEQ_CST);
    if (st().pollMode == 1)
        throw std::runtime_error("boom");
    if (st().pollMode == 2)
        throw 42;
    mon->resultCode = 0;
    if (st().memory) {
        if (void* data = st().memory(mon, 5, 9))
            std::memcpy(data, "hello", 5);
    }
    return 0;
}
int zam_plugin_invalidate_monitor_cache(stCoreZamContext*, stCoreZamThreadContext*, stZamMonitor*, unsigned flags)
{
    __atomic_fetch_add(&st().invalidateCount, 1, __ATOMIC_SEQ_CST);
    __atomic_store_n(&st().lastInvalidateFlags, flags, __ATOMIC_SEQ_CST);
    return 0;
}
int zam_plugin_init_monitor_by_event(stZamMonitor*, ...)
{
    throw std::runtime_error("no events here");
}
void zam_plugin_term_monitor_by_event(stZamMonitor*, ...) {}
void zam_plugin_exec_monitor_by_event(stZamMonitor*, ...) {}
int zam_plugin_action(stCoreZamContext*, stCoreZamThreadContext*, stZamAction*)
{
    return 1;
}
#ifndef FAKE_OMIT_INVALIDATE_ACTION
int zam_plugin_invalidate_action_cache(stCoreZamContext*, stCoreZamThreadContext*, stZamAction*)
{
    return 0;
}
#endif
int zam_plugin_is_monitor_type_supported(stCoreZamContext*, unsigned)
{
    return st().supportedAnswer;
}
