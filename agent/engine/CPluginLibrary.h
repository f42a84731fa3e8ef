#pragma once
#include "zam_plugin_api.h"

#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>
#include <functional>
#include <optional>

// One loaded copy of the checks library: the dlopen handle, the 20 resolved exports and the
// library context of zam_plugin_init. Every call the daemon makes into the library runs behind
// a CPluginStackGuard; poll, cache invalidation and the by-event calls go through guardedCall,
// which turns an exception of the library into a failed result (the library bars its own
// exports too; this is the daemon's second line).
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

    // Runs one call into the library behind a stack guard labelled `label` (its %1 is the
    // monitor's name); an exception of the library is warned about as "exception in <what> for
    // <monitor>" and answers onException() instead. Thread cancellation passes through.
    template <class Call, class OnException>
    auto guardedCall(const char* label, const char* what, const QString& monitorName, Call&& call,
                     OnException&& onException) -> decltype(call());

    // One pointer per export, named after it (listed once, in zam_plugin_api.h).
    struct Exports {
#define ZAM_EXPORT_POINTER(name) name##_t name = nullptr;
        ZAM_PLUGIN_EXPORT_NAMES(ZAM_EXPORT_POINTER)
#undef ZAM_EXPORT_POINTER
    };

    QString m_name;
    QString m_path;
    void* m_handle = nullptr;
    stCoreZamContext* m_context = nullptr;
    Exports m_fn;
};

using CPluginLibraryPtr = QExplicitlySharedDataPointer<CPluginLibrary>;
