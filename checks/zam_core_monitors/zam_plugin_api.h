#pragma once
// The binary interface between netagentd and libzam_core.so. Both sides include this header;
// every layout here is shared byte for byte (x86-64, natural alignment), so each offset and
// size is pinned by a static_assert below. Qt appears only as a forward-declared return type of
// IPluginGlobalSettings: both sides link the same Qt.

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

#include <pthread.h>

#define ZAM_PLUGIN_EXPORT __attribute__((visibility("default")))

enum {
    ZAM_HOST_NAME_SIZE = 128,
    ZAM_HOST_ADDRESS_SIZE = 32,
    ZAM_TYPE_RESULTS_SIZE = 80,
    ZAM_FAIL_REASON_SIZE = 1024,
    ZAM_ACTION_FAIL_REASON_SIZE = 128,
    ZAM_MONITOR_TYPE_COUNT = 50,
    ZAM_ACTION_TYPE_COUNT = 1,
};

// Result-section types that the library writes.
enum {
    ZAM_SECTION_PERF32 = 0,
    ZAM_SECTION_MEASURE_UNIT = 1,
    ZAM_SECTION_SNMP_INTERFACES = 3,
    ZAM_SECTION_VMWARE_VMS = 7,
    ZAM_SECTION_VMWARE_DATASTORES = 8,
    ZAM_SECTION_DISPLAY_VALUE = 9,
    ZAM_SECTION_PERF64 = 12,
};

// What the exports answer (each export's contract below says which it uses).
enum {
    ZAM_OK = 0,
    ZAM_FAILED = 1,       // for a poll: the check failed; the record says why
    ZAM_NO_HANDLER = -1,  // init_monitor_by_event: no record, no row, or the row has no by-event code
};

// Values of stZamMonitorLib::resultCode besides the checks' own.
enum {
    ZAM_RESULT_CODE_NONE = -2,           // every poll starts from it; the return value tells the outcome
    ZAM_RESULT_CODE_NETWORK_ERROR = 2,   // the host could not be reached: connect, send, receive or no reply
};

// Invalidate flags.
enum {
    ZAM_INVALIDATE_CACHED_DATA = 1,
    ZAM_INVALIDATE_PLUGIN_DATA = 2,
    ZAM_INVALIDATE_KEEP_LAST_VALUE = 4,
};

struct stZamMonitor;
struct stZamAction;
struct stCoreZamContext;        // opaque to the host
struct stCoreZamThreadContext;  // opaque to the host

// Enumeration choice of a setting (32 bytes).
struct stZamEnumRow {
    const char* label;
    const char* description;
    const char* disables;  // comma-separated setting names this choice makes irrelevant, or null
    int value;
    int pad;
};

// One row of a type's settings table (72 bytes). The daemon hands the monitor's settings to the
// library in the same layout (stZamSettingEntry): name, kind letter as id, value text, value.
struct stZamSettingDesc {
    const char* name;
    const char* description;
    int type;  // type letter: 'i', 'y', 'e', 's', 't', 'p', ...
    int pad;
    const char* defaultText;
    int64_t defaultInt;
    int64_t min;
    int64_t max;  // min 0 and max 0: no range
    int enumCount;
    int pad2;
    const stZamEnumRow* enums;
};

// A monitor's setting as the library reads it (same 72-byte layout as stZamSettingDesc).
struct stZamSettingEntry {
    const char* name;         // the settings-table name, leading blank included
    const char* description;
    int id;                   // the setting's kind letter
    int pad;
    const char* valueText;    // zero-terminated UTF-8
    int64_t valueInt;         // the library reads the low 32 bits
    int64_t min;
    int64_t max;
    int enumCount;
    int pad2;
    const stZamEnumRow* enums;
};

struct stZamSettings {
    uint32_t count;
    uint32_t pad;
    const stZamSettingEntry* entries;
};

// Expected-response rule. Flags: 0x01 active, 0x02/0x10 mode, 0x04 invert, 0x08 ignore case.
struct stZamResponseValidationInfo {
    int flags;
    int pad;
    const char* text;  // UTF-8 values separated by U+00A0
};

enum {
    ZAM_VALIDATE_ACTIVE = 0x01,
    ZAM_VALIDATE_EXACT = 0x02,
    ZAM_VALIDATE_INVERT = 0x04,
    ZAM_VALIDATE_NOCASE = 0x08,
    ZAM_VALIDATE_REGEXP = 0x10,
};

// A discovered monitor handed to the host (valid only during the callback).
struct stZamNewMonitorSetting {
    const char* name;   // UTF-8
    const char* value;  // lower-case hex of the QVariant in QDataStream version 12 form
    int flag;           // 0 or 1
    int pad;
};

struct stZamNewMonitorRequest {
    const char* typeName;  // UTF-8
    const char* name;      // UTF-8
    int count;
    int pad;
    const stZamNewMonitorSetting* settings;
};

// Host callbacks.
typedef int (*ZamLogCallback)(int level, const char* utf8Text);
typedef void* (*ZamServiceDataCallback)(const char* name);
// Host service: pthread_mutex_t* (*)(void), the process-wide lock of Net-SNMP's shared state
// (initialisation, local engine ID, SNMPv3 users), which the host's trap receiver takes too.
// Looked up by zam_plugin_init; without it the library keeps a lock of its own.
#define ZAM_SERVICE_SNMP_SHARED_MUTEX "pthread_mutex_t*_getSnmpSharedMutex"
typedef pthread_mutex_t* (*ZamSnmpSharedMutexFn)(void);
typedef void* (*ZamGetMemCallback)(struct stZamMonitor* monitor, unsigned size, int sectionType);
typedef int (*ZamStillAliveCallback)(void* context);
typedef void (*ZamAddNewMonitorCallback)(void* context, const stZamNewMonitorRequest* request);

enum {
    ZAM_LOG_ERROR = 1,
    ZAM_LOG_TRACE = 4,
};

// The library part of the monitor record (1432 bytes). The daemon's record continues behind it.
struct stZamMonitorLib {
    char hostName[ZAM_HOST_NAME_SIZE];
    char hostAddress[ZAM_HOST_ADDRESS_SIZE];
    int useHostName;
    int mode;
    int timeout;               // the monitor's time-out as the service sends it; the checks read milliseconds
    unsigned int typeIndex;
    int pollFlags;
    int pad0;
    int64_t perfValue;
    unsigned char typeResults[ZAM_TYPE_RESULTS_SIZE];
    int resultCode;            // ZAM_RESULT_CODE_NONE or ZAM_RESULT_CODE_NETWORK_ERROR
    int resultValue;
    int resultExtra;
    int resultExtra2;
    int validationFailed[2];
    unsigned char typeSpecific[8];
    char failReason[ZAM_FAIL_REASON_SIZE];
    stZamSettings settings;
    stZamResponseValidationInfo validation[2];
    int logEnabled;
    int monitorId;
    void* cachedData;          // released with free()
    void* pluginData;          // type-specific owner
    ZamStillAliveCallback stillAlive;
    void* stillAliveContext;
    ZamAddNewMonitorCallback addNewMonitorFn;
    void* addNewMonitorContext;
};

// The daemon defines its own stZamMonitor deriving from stZamMonitorLib (define
// ZAM_HOST_MONITOR_RECORD before including); everyone else uses the library part alone.
#ifndef ZAM_HOST_MONITOR_RECORD
struct stZamMonitor : stZamMonitorLib {};
static_assert(sizeof(stZamMonitor) == 1432, "the library's view of the record is its part alone");
#endif

// Alert action record, library part (no action type is implemented).
struct stZamAction {
    unsigned int typeIndex;
    char failReason[ZAM_ACTION_FAIL_REASON_SIZE];
    unsigned char reserved0[0x9c - 4 - ZAM_ACTION_FAIL_REASON_SIZE];
    int logEnabled;
    unsigned char reserved1[0xb0 - 0xa0];
    ZamStillAliveCallback stillAlive;
    void* stillAliveContext;
};

// Monitor-type descriptor (88 bytes, static).
struct stZamMonitorType {
    const char* name;
    const char* description;
    const char* shortDescription;
    int category;
    int defaultInterval;
    const char* unit;
    int flagChar1;
    int flagChar2;
    int flags1;
    int flags2;
    int kind;
    int protocolMask;
    int64_t resourceMask;
    int settingsCount;
    int pad;
    const stZamSettingDesc* settings;
};

// Action-type descriptor (none is handed out).
struct stZamActionType {
    const char* name;
    const char* description;
    int settingsCount;
    int pad;
    const stZamSettingDesc* settings;
};

// The daemon's plug-in settings as the library sees them. The daemon implements it and hands
// out one process-wide instance through the service lookup; the library never creates or
// deletes one. The virtual table is shared: pythonPath first, then the destructors.
class QString;
class IPluginGlobalSettings
{
public:
    virtual QString pythonPath() = 0;  // the Python interpreter the checks run; called from any thread
    virtual ~IPluginGlobalSettings() = default;
};

// The 20 exports. Callbacks, init and term are called on one thread while no poll runs; poll,
// invalidate and the by-event calls run on many threads at once, each with its own thread
// context and record. No export lets a C++ exception out: a throwing check answers ZAM_FAILED
// with the exception's text in the record's failReason.
extern "C" {
// Stores the log sink (null: none). Owned by the host; kept until term.
ZAM_PLUGIN_EXPORT void zam_plugin_register_log_cb(ZamLogCallback cb);
// Stores the service lookup, called before init. Answers of the lookup belong to the host.
ZAM_PLUGIN_EXPORT void zam_plugin_register_service_data_cb(ZamServiceDataCallback cb);
// Stores the allocator of result sections; the memory it hands out belongs to the host.
ZAM_PLUGIN_EXPORT void zam_plugin_register_getmem_cb(ZamGetMemCallback cb);
// ZAM_OK and *out a context owned by the library until zam_plugin_term; ZAM_FAILED and *out null.
ZAM_PLUGIN_EXPORT int zam_plugin_init(stCoreZamContext** out);
// ZAM_OK and *out a thread context for the calling task thread, owned by the library until
// zam_plugin_term_thread; ZAM_FAILED and *out null.
ZAM_PLUGIN_EXPORT int zam_plugin_init_thread(stCoreZamContext* ctx, stCoreZamThreadContext** out);
// Frees ctx (null allowed); the last context also stops the library's own threads. ZAM_OK.
ZAM_PLUGIN_EXPORT int zam_plugin_term(stCoreZamContext* ctx);
// Frees tctx (null allowed). ZAM_OK.
ZAM_PLUGIN_EXPORT int zam_plugin_term_thread(stCoreZamContext* ctx, stCoreZamThreadContext* tctx);
// Writes ZAM_MONITOR_TYPE_COUNT and ZAM_ACTION_TYPE_COUNT where given. ZAM_OK.
ZAM_PLUGIN_EXPORT int zam_plugin_get_count(stCoreZamContext* ctx, int* monitorTypes, int* actionTypes);
// ZAM_OK and *out the static descriptor of a type; ZAM_FAILED for an index out of range.
ZAM_PLUGIN_EXPORT int zam_plugin_get_monitor_type(stCoreZamContext* ctx, unsigned index,
                                                  const stZamMonitorType** out);
// Descriptors are static: nothing to free. ZAM_OK.
ZAM_PLUGIN_EXPORT int zam_plugin_free_monitor_type(const stZamMonitorType* type);
// Index 0: ZAM_OK and *out null (no action type is handed out); other indexes ZAM_FAILED.
ZAM_PLUGIN_EXPORT int zam_plugin_get_action_type(stCoreZamContext* ctx, unsigned index,
                                                 const stZamActionType** out);
// Nothing to free. ZAM_OK.
ZAM_PLUGIN_EXPORT int zam_plugin_free_action_type(const stZamActionType* type);
// Runs the check of mon's type: ZAM_OK or ZAM_FAILED with the outcome in the record (result
// words, failReason, sections allocated through the host and owned by it). mon stays the
// caller's; the library may keep per-monitor data in cachedData/pluginData until invalidated.
ZAM_PLUGIN_EXPORT int zam_plugin_poll(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamMonitor* mon);
// Drops what the library keeps for mon (ZAM_INVALIDATE_* flags). ZAM_OK, ZAM_FAILED for a bad record.
ZAM_PLUGIN_EXPORT int zam_plugin_invalidate_monitor_cache(stCoreZamContext* ctx, stCoreZamThreadContext* tctx,
                                                          stZamMonitor* mon, unsigned flags);
// Sets up an event-driven monitor: the row's answer, or ZAM_NO_HANDLER.
ZAM_PLUGIN_EXPORT int zam_plugin_init_monitor_by_event(stZamMonitor* mon, ...);
// Ends an event-driven monitor; a row without the code does nothing.
ZAM_PLUGIN_EXPORT void zam_plugin_term_monitor_by_event(stZamMonitor* mon, ...);
// Runs an event-driven monitor's code for one event; a row without the code does nothing.
ZAM_PLUGIN_EXPORT void zam_plugin_exec_monitor_by_event(stZamMonitor* mon, ...);
// No action type has code: ZAM_FAILED.
ZAM_PLUGIN_EXPORT int zam_plugin_action(stCoreZamContext* ctx, stCoreZamThreadContext* tctx, stZamAction* act);
// ZAM_OK for action type 0, ZAM_FAILED otherwise.
ZAM_PLUGIN_EXPORT int zam_plugin_invalidate_action_cache(stCoreZamContext* ctx, stCoreZamThreadContext* tctx,
                                                         stZamAction* act);
// 1 when the type has a poll or by-event code, 0 otherwise.
ZAM_PLUGIN_EXPORT int zam_plugin_is_monitor_type_supported(stCoreZamContext* ctx, unsigned index);
}

// Every export by name, once: a host expands it to declare, resolve and clear its pointers.
#define ZAM_PLUGIN_EXPORT_NAMES(X)             \
    X(zam_plugin_register_log_cb)              \
    X(zam_plugin_register_service_data_cb)     \
    X(zam_plugin_register_getmem_cb)           \
    X(zam_plugin_init)                         \
    X(zam_plugin_init_thread)                  \
    X(zam_plugin_term)                         \
    X(zam_plugin_term_thread)                  \
    X(zam_plugin_get_count)                    \
    X(zam_plugin_get_monitor_type)             \
    X(zam_plugin_free_monitor_type)            \
    X(zam_plugin_get_action_type)              \
    X(zam_plugin_free_action_type)             \
    X(zam_plugin_poll)                         \
    X(zam_plugin_invalidate_monitor_cache)     \
    X(zam_plugin_init_monitor_by_event)        \
    X(zam_plugin_term_monitor_by_event)        \
    X(zam_plugin_exec_monitor_by_event)        \
    X(zam_plugin_action)                       \
    X(zam_plugin_invalidate_action_cache)      \
    X(zam_plugin_is_monitor_type_supported)

// Pointer types for a host that resolves the exports with dlsym: <export>_t.
#define ZAM_PLUGIN_EXPORT_TYPE(name) typedef decltype(&name) name##_t;
ZAM_PLUGIN_EXPORT_NAMES(ZAM_PLUGIN_EXPORT_TYPE)
#undef ZAM_PLUGIN_EXPORT_TYPE

// Layout pins.
static_assert(sizeof(void*) == 8, "the record layout is for 64-bit hosts");
#define ZAM_PLUGIN_EXPORT_COUNT_ONE(name) +1
static_assert(0 ZAM_PLUGIN_EXPORT_NAMES(ZAM_PLUGIN_EXPORT_COUNT_ONE) == 20, "the export list");
#undef ZAM_PLUGIN_EXPORT_COUNT_ONE
// The settings interface is its virtual-table pointer alone, and polymorphic.
static_assert(sizeof(IPluginGlobalSettings) == sizeof(void*) && alignof(IPluginGlobalSettings) == 8,
              "plug-in settings interface");
static_assert(sizeof(stZamEnumRow) == 32, "enumeration row");
static_assert(sizeof(stZamSettingDesc) == 72, "settings row");
static_assert(offsetof(stZamSettingDesc, type) == 16 && offsetof(stZamSettingDesc, defaultText) == 24 &&
                  offsetof(stZamSettingDesc, defaultInt) == 32 && offsetof(stZamSettingDesc, min) == 40 &&
                  offsetof(stZamSettingDesc, max) == 48 && offsetof(stZamSettingDesc, enumCount) == 56 &&
                  offsetof(stZamSettingDesc, enums) == 64,
              "settings row fields");
static_assert(sizeof(stZamSettingEntry) == 72, "settings entry");
static_assert(offsetof(stZamSettingEntry, id) == 0x10 && offsetof(stZamSettingEntry, valueText) == 0x18 &&
                  offsetof(stZamSettingEntry, valueInt) == 0x20,
              "settings entry fields");
static_assert(sizeof(stZamSettings) == 16 && offsetof(stZamSettings, entries) == 8, "settings");
static_assert(sizeof(stZamResponseValidationInfo) == 16 && offsetof(stZamResponseValidationInfo, text) == 8,
              "validation rule");
static_assert(sizeof(stZamNewMonitorSetting) == 24 && offsetof(stZamNewMonitorSetting, flag) == 16,
              "new-monitor setting");
static_assert(sizeof(stZamNewMonitorRequest) == 32 && offsetof(stZamNewMonitorRequest, count) == 16 &&
                  offsetof(stZamNewMonitorRequest, settings) == 24,
              "new-monitor request");
static_assert(sizeof(stZamMonitorType) == 88, "descriptor");
static_assert(offsetof(stZamMonitorType, category) == 24 && offsetof(stZamMonitorType, defaultInterval) == 28 &&
                  offsetof(stZamMonitorType, unit) == 32 && offsetof(stZamMonitorType, flagChar1) == 40 &&
                  offsetof(stZamMonitorType, flagChar2) == 44 && offsetof(stZamMonitorType, flags1) == 48 &&
                  offsetof(stZamMonitorType, flags2) == 52 && offsetof(stZamMonitorType, kind) == 56 &&
                  offsetof(stZamMonitorType, protocolMask) == 60 && offsetof(stZamMonitorType, resourceMask) == 64 &&
                  offsetof(stZamMonitorType, settingsCount) == 72 && offsetof(stZamMonitorType, settings) == 80,
              "descriptor fields");
static_assert(sizeof(stZamMonitorLib) == 1432, "monitor record, library part");
static_assert(offsetof(stZamMonitorLib, hostAddress) == 0x080 && offsetof(stZamMonitorLib, useHostName) == 0x0a0 &&
                  offsetof(stZamMonitorLib, mode) == 0x0a4 && offsetof(stZamMonitorLib, timeout) == 0x0a8 &&
                  offsetof(stZamMonitorLib, typeIndex) == 0x0ac && offsetof(stZamMonitorLib, pollFlags) == 0x0b0 &&
                  offsetof(stZamMonitorLib, perfValue) == 0x0b8 && offsetof(stZamMonitorLib, typeResults) == 0x0c0 &&
                  offsetof(stZamMonitorLib, resultCode) == 0x110 && offsetof(stZamMonitorLib, resultValue) == 0x114 &&
                  offsetof(stZamMonitorLib, resultExtra) == 0x118 && offsetof(stZamMonitorLib, resultExtra2) == 0x11c &&
                  offsetof(stZamMonitorLib, validationFailed) == 0x120 &&
                  offsetof(stZamMonitorLib, typeSpecific) == 0x128 && offsetof(stZamMonitorLib, failReason) == 0x130 &&
                  offsetof(stZamMonitorLib, settings) == 0x530 && offsetof(stZamMonitorLib, validation) == 0x540 &&
                  offsetof(stZamMonitorLib, logEnabled) == 0x560 && offsetof(stZamMonitorLib, monitorId) == 0x564 &&
                  offsetof(stZamMonitorLib, cachedData) == 0x568 && offsetof(stZamMonitorLib, pluginData) == 0x570 &&
                  offsetof(stZamMonitorLib, stillAlive) == 0x578 &&
                  offsetof(stZamMonitorLib, stillAliveContext) == 0x580 &&
                  offsetof(stZamMonitorLib, addNewMonitorFn) == 0x588 &&
                  offsetof(stZamMonitorLib, addNewMonitorContext) == 0x590,
              "monitor record fields");
static_assert(offsetof(stZamAction, failReason) == 4 && offsetof(stZamAction, logEnabled) == 0x9c &&
                  offsetof(stZamAction, stillAlive) == 0xb0 && offsetof(stZamAction, stillAliveContext) == 0xb8 &&
                  sizeof(stZamAction) == 0xc0,
              "action record");
