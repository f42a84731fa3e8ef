#pragma once
// Loads libzam_core.so the way the daemon does (dlopen, the 20 exports by name, service lookup,
// init, log sink and result memory, init_thread) and answers its callbacks. One host at a time
// per process: the callbacks are plain functions that reach the host through a global.
// Threads: construct, load and destroy on one thread; the log store is mutex-guarded, so polls
// may run on other threads with their own thread contexts.

#include "PluginTestRecord.h"
#include "TestPaths.h"

#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <utility>

class PluginTestHost
{
public:
    struct Exports {
        zam_plugin_register_log_cb_t register_log_cb = nullptr;
        zam_plugin_register_service_data_cb_t register_service_data_cb = nullptr;
        zam_plugin_register_getmem_cb_t register_getmem_cb = nullptr;
        zam_plugin_init_t init = nullptr;
        zam_plugin_init_thread_t init_thread = nullptr;
        zam_plugin_term_t term = nullptr;
        zam_plugin_term_thread_t term_thread = nullptr;
        zam_plugin_get_count_t get_count = nullptr;
        zam_plugin_get_monitor_type_t get_monitor_type = nullptr;
        zam_plugin_free_monitor_type_t free_monitor_type = nullptr;
        zam_plugin_get_action_type_t get_action_type = nullptr;
        zam_plugin_free_action_type_t free_action_type = nullptr;
        zam_plugin_poll_t poll = nullptr;
        zam_plugin_invalidate_monitor_cache_t invalidate_monitor_cache = nullptr;
        zam_plugin_init_monitor_by_event_t init_monitor_by_event = nullptr;
        zam_plugin_term_monitor_by_event_t term_monitor_by_event = nullptr;
        zam_plugin_exec_monitor_by_event_t exec_monitor_by_event = nullptr;
        zam_plugin_action_t action = nullptr;
        zam_plugin_invalidate_action_cache_t invalidate_action_cache = nullptr;
        zam_plugin_is_monitor_type_supported_t is_monitor_type_supported = nullptr;
    };

    explicit PluginTestHost(const QString& path = testpaths::pluginPath());
    ~PluginTestHost();  // term_thread, term, dlclose
    PluginTestHost(const PluginTestHost&) = delete;
    PluginTestHost& operator=(const PluginTestHost&) = delete;

    // Loads and initialises; false with error() set when anything is missing.
    bool load();
    // Ends the library (term_thread, term) but keeps it loaded; load() is not needed again to
    // call init() once more.
    void term();
    bool init();
    const QString& error() const { return m_error; }

    const Exports& api() const { return m_api; }
    stCoreZamContext* ctx() const { return m_ctx; }
    stCoreZamThreadContext* tctx() const { return m_tctx; }

    int poll(PluginTestRecord& record);
    const stZamMonitorType* descriptor(unsigned index) const;

    // Services answered by the lookup, by name; every name asked for is remembered.
    void setService(const QString& name, void* fn);
    QStringList servicesAsked() const;

    // Log lines as (level, text).
    QList<std::pair<int, QString>> logLines() const;
    QStringList logTexts(int level) const;
    void clearLog();

    // The three callbacks as registered.
    static int logSink(int level, const char* text);
    static void* serviceLookup(const char* name);
    static void* resultMemory(stZamMonitor* monitor, unsigned size, int type);

private:
    QString m_path;
    void* m_handle = nullptr;
    Exports m_api;
    stCoreZamContext* m_ctx = nullptr;
    stCoreZamThreadContext* m_tctx = nullptr;
    QString m_error;

    mutable QMutex m_mutex;
    QList<std::pair<int, QString>> m_log;
    QMap<QString, void*> m_services;
    QStringList m_asked;
};
