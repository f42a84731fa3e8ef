#pragma once
#include "zam_plugin_api.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <functional>
#include <optional>

// One loaded copy of the checks library: the dlopen handle, the 20 resolved exports and the
// library context of zam_plugin_init. Every call the daemon makes into the library runs behind
// a CPluginStackGuard; poll, cache invalidation and the by-event calls turn an exception of the
// library into a failed result.
// Threads: constructed on the plug-in manager's thread; afterwards only read, so any thread
// calls it without a lock. Destroyed on the thread that drops the last reference.
class CPluginLibrary : public QSharedData
{
public:
    // The file every plug-in id loads unless the plug-in manager is told otherwise.
    static QString defaultFileName();

    // Loads and sets up the library for a plug-in id; throws std::runtime_error on any failure
    // and leaves nothing open. fileName relative: its last component under <root>/plugins/.
    explicit CPluginLibrary(int pluginId, const QString& fileName = defaultFileName());
    ~CPluginLibrary();
    CPluginLibrary(const CPluginLibrary&) = delete;
    CPluginLibrary& operator=(const CPluginLibrary&) = delete;

    // Where a file name is loaded from.
    static QString resolvePath(const QString& fileName);

    // The plug-in file name the configuration keeps for an id (no value: none is known).
    using PluginNameLookup = std::function<std::optional<QString>(int pluginId)>;
    static void setPluginNameLookup(const PluginNameLookup& lookup);

    QString name() const { return m_name; }
    QString path() const { return m_path; }
    bool isLoaded() const { return m_handle != nullptr; }

    void load(const QString& fileName);
    void unload();

    int init();
    int term();
    int initThread(stCoreZamThreadContext** out);
    int termThread(stCoreZamThreadContext* threadContext);
    int getCount(int* monitorTypes, int* actionTypes);
    int getMonType(unsigned index, const stZamMonitorType** out);
    int freeMonType(const stZamMonitorType* type);
    int getActType(unsigned index, const stZamActionType** out);
    int freeActType(const stZamActionType* type);
    bool isMonitorTypeSupported(unsigned index);

    // monitorName names the monitor in the guard label and the warnings.
    int poll(stCoreZamThreadContext* threadContext, stZamMonitor* monitor, const QString& monitorName);
    int invalidateMonitorCache(stCoreZamThreadContext* threadContext, stZamMonitor* monitor, unsigned flags,
                               const QString& monitorName);
    int initMonitorByEvent(stZamMonitor* monitor, const QString& monitorName);
    void termMonitorByEvent(stZamMonitor* monitor, const QString& monitorName);
    void execMonitorByEvent(stZamMonitor* monitor, const QString& monitorName);

private:
    void resolveExports();
    void clearExports();

    QString m_name;
    QString m_path;
    void* m_handle = nullptr;
    stCoreZamContext* m_context = nullptr;

    zam_plugin_init_t m_init = nullptr;
    zam_plugin_init_thread_t m_initThread = nullptr;
    zam_plugin_term_t m_term = nullptr;
    zam_plugin_term_thread_t m_termThread = nullptr;
    zam_plugin_get_count_t m_getCount = nullptr;
    zam_plugin_get_monitor_type_t m_getMonType = nullptr;
    zam_plugin_free_monitor_type_t m_freeMonType = nullptr;
    zam_plugin_get_action_type_t m_getActType = nullptr;
    zam_plugin_free_action_type_t m_freeActType = nullptr;
    zam_plugin_poll_t m_poll = nullptr;
    zam_plugin_invalidate_monitor_cache_t m_invalidateMonitorCache = nullptr;
    zam_plugin_action_t m_action = nullptr;
    zam_plugin_invalidate_action_cache_t m_invalidateActionCache = nullptr;
    zam_plugin_register_log_cb_t m_registerLogCb = nullptr;
    zam_plugin_register_service_data_cb_t m_registerServiceDataCb = nullptr;
    zam_plugin_register_getmem_cb_t m_registerGetmemCb = nullptr;
    zam_plugin_init_monitor_by_event_t m_initMonitorByEvent = nullptr;
    zam_plugin_term_monitor_by_event_t m_termMonitorByEvent = nullptr;
    zam_plugin_exec_monitor_by_event_t m_execMonitorByEvent = nullptr;
    zam_plugin_is_monitor_type_supported_t m_isMonitorTypeSupported = nullptr;
};

using CPluginLibraryPtr = QExplicitlySharedDataPointer<CPluginLibrary>;
