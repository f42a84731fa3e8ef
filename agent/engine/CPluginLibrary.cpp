#include "stZamMonitor.h"
#include "CPluginLibrary.h"
#include "CPluginManager.h"
#include "CPluginStackGuard.h"
#include "PluginLogHandler.h"
#include "PluginResultMemory.h"
#include "common/AppPaths.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <exception>
#include <stdexcept>

namespace {

QMutex& lookupMutex()
{
    static QMutex m;
    return m;
}
CPluginLibrary::PluginNameLookup& nameLookup()
{
    static CPluginLibrary::PluginNameLookup lookup;
    return lookup;
}

// The record's outcome after an exception in the library: the reason text, result code none.
int failMonitor(stZamMonitor* monitor, const char* reason)
{
    if (monitor) {
        std::strncpy(monitor->failReason, reason, ZAM_FAIL_REASON_SIZE - 1);
        monitor->failReason[ZAM_FAIL_REASON_SIZE - 1] = '\0';
        monitor->resultCode = ZAM_RESULT_CODE_NONE;
    }
    return ZAM_FAILED;
}

void warnException(const char* what, const QString& monitorName, const std::exception* e)
{
    if (e)
        qWarning("exception in %s for %s: %s", what, qPrintable(monitorName), e->what());
    else
        qWarning("exception in %s for %s", what, qPrintable(monitorName));
}

template <class F>
F resolveOne(void* handle, const char* name, const char* missingText)
{
    void* symbol = dlsym(handle, name);
    if (!symbol)
        throw std::runtime_error(missingText);
    return reinterpret_cast<F>(symbol);
}

}  // namespace

QString CPluginLibrary::defaultFileName()
{
    return QStringLiteral("libzam_core.so");
}

void CPluginLibrary::setPluginNameLookup(const PluginNameLookup& lookup)
{
    QMutexLocker locker(&lookupMutex());
    nameLookup() = lookup;
}

CPluginLibrary::CPluginLibrary(int pluginId, const QString& fileName)
{
    std::optional<QString> recorded;
    {
        QMutexLocker locker(&lookupMutex());
        if (nameLookup())
            recorded = nameLookup()(pluginId);
    }
    if (!recorded)
        qWarning("attempt to get null value from Optional<>");
    m_name = recorded.value_or(QString());

    try {
        load(fileName);
        m_fn.zam_plugin_register_service_data_cb(&CPluginManager::pluginServiceLookup);
        int rc;
        {
            CPluginStackGuard guard("plugin_init");
            rc = m_fn.zam_plugin_init(&m_context);
        }
        if (rc != ZAM_OK)
            throw std::runtime_error("cannot initialize plugin context");
        m_fn.zam_plugin_register_log_cb(&pluginLogHandler);
        m_fn.zam_plugin_register_getmem_cb(&pluginResultMemory);
    } catch (...) {
        unload();
        throw;
    }
}

CPluginLibrary::~CPluginLibrary()
{
    if (m_handle) {
        try {
            if (term() != ZAM_OK)
                qWarning("cannot terminate plugin context");
        } catch (const std::exception& e) {
            qWarning("cannot terminate plugin context: %s", e.what());
        } catch (...) {
            qWarning("cannot terminate plugin context");
        }
    }
    unload();
}

QString CPluginLibrary::resolvePath(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.isRelative())
        return appRootDir() + QStringLiteral("/plugins/") + info.fileName();
    return fileName;
}

void CPluginLibrary::load(const QString& fileName)
{
    unload();
    m_path = resolvePath(fileName);
    m_handle = dlopen(m_path.toLatin1().constData(), RTLD_LAZY | RTLD_GLOBAL);
    if (!m_handle) {
        // dlerror names the real cause: a missing file, a missing dependency, an unresolved symbol.
        const char* why = dlerror();
        qWarning("cannot load plugin %s: %s", qPrintable(m_path), why ? why : "unknown error");
        throw std::runtime_error(QStringLiteral("cannot load plugin %1").arg(m_path).toStdString());
    }
    try {
        resolveExports();
    } catch (...) {
        unload();
        throw;
    }
}

void CPluginLibrary::resolveExports()
{
#define ZAM_RESOLVE_EXPORT(name) m_fn.name = resolveOne<name##_t>(m_handle, #name, #name "\"() is not defined\"");
    ZAM_PLUGIN_EXPORT_NAMES(ZAM_RESOLVE_EXPORT)
#undef ZAM_RESOLVE_EXPORT
}

void CPluginLibrary::unload()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
    m_context = nullptr;
    m_fn = Exports{};
}

int CPluginLibrary::init()
{
    CPluginStackGuard guard("plugin_init");
    return m_fn.zam_plugin_init(&m_context);
}

int CPluginLibrary::term()
{
    int rc;
    {
        CPluginStackGuard guard("plugin_term");
        rc = m_fn.zam_plugin_term(m_context);
    }
    m_context = nullptr;
    return rc;
}

int CPluginLibrary::initThread(stCoreZamThreadContext** out)
{
    CPluginStackGuard guard("plugin_thread_init");
    return m_fn.zam_plugin_init_thread(m_context, out);
}

int CPluginLibrary::termThread(stCoreZamThreadContext* threadContext)
{
    CPluginStackGuard guard("plugin_thread_term");
    return m_fn.zam_plugin_term_thread(m_context, threadContext);
}

int CPluginLibrary::getCount(int* monitorTypes, int* actionTypes)
{
    CPluginStackGuard guard("plugin_get_count");
    return m_fn.zam_plugin_get_count(m_context, monitorTypes, actionTypes);
}

int CPluginLibrary::getMonType(unsigned index, const stZamMonitorType** out)
{
    CPluginStackGuard guard("plugin_get_montype");
    return m_fn.zam_plugin_get_monitor_type(m_context, index, out);
}

int CPluginLibrary::freeMonType(const stZamMonitorType* type)
{
    CPluginStackGuard guard("plugin_free_montype");
    return m_fn.zam_plugin_free_monitor_type(type);
}

int CPluginLibrary::getActType(unsigned index, const stZamActionType** out)
{
    CPluginStackGuard guard("plugin_get_acttype");
    return m_fn.zam_plugin_get_action_type(m_context, index, out);
}

int CPluginLibrary::freeActType(const stZamActionType* type)
{
    CPluginStackGuard guard("plugin_free_acttype");
    return m_fn.zam_plugin_free_action_type(type);
}

bool CPluginLibrary::isMonitorTypeSupported(unsigned index)
{
    CPluginStackGuard guard("is_monitor_type_supported");
    return m_fn.zam_plugin_is_monitor_type_supported(m_context, index) != 0;
}

template <class Call, class OnException>
auto CPluginLibrary::guardedCall(const char* label, const char* what, const QString& monitorName, Call&& call,
                                 OnException&& onException) -> decltype(call())
{
    try {
        CPluginStackGuard guard(label, &monitorName);
        return call();
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation must unwind
    } catch (const std::exception& e) {
        warnException(what, monitorName, &e);
    } catch (...) {
        warnException(what, monitorName, nullptr);
    }
    return onException();
}

int CPluginLibrary::poll(stCoreZamThreadContext* threadContext, stZamMonitor* monitor, const QString& monitorName)
{
    return guardedCall(
        "polling %1", "poll", monitorName,
        [&] {
            clearResults(monitor);
            return m_fn.zam_plugin_poll(m_context, threadContext, monitor);
        },
        [&] {
            // The library's per-monitor data may be half-built: have it dropped.
            invalidateMonitorCache(threadContext, monitor, ZAM_INVALIDATE_PLUGIN_DATA, monitorName);
            return failMonitor(monitor, "unknown exception");
        });
}

int CPluginLibrary::invalidateMonitorCache(stCoreZamThreadContext* threadContext, stZamMonitor* monitor,
                                           unsigned flags, const QString& monitorName)
{
    return guardedCall(
        "inv. mon. cache for %1", "inv. mon. cache", monitorName,
        [&] { return m_fn.zam_plugin_invalidate_monitor_cache(m_context, threadContext, monitor, flags); },
        [&] { return failMonitor(monitor, "unknown exception"); });
}

int CPluginLibrary::initMonitorByEvent(stZamMonitor* monitor, const QString& monitorName)
{
    return guardedCall(
        "init monitor by event for %1", "init monitor by event", monitorName,
        [&] { return m_fn.zam_plugin_init_monitor_by_event(monitor); },
        [&] { return failMonitor(monitor, "exception in init"); });
}

void CPluginLibrary::termMonitorByEvent(stZamMonitor* monitor, const QString& monitorName)
{
    guardedCall(
        "term monitor by event for %1", "term monitor by event", monitorName,
        [&] { m_fn.zam_plugin_term_monitor_by_event(monitor); }, [] {});
}

void CPluginLibrary::execMonitorByEvent(stZamMonitor* monitor, const QString& monitorName)
{
    guardedCall(
        "exec monitor by event for %1", "exec monitor by event", monitorName,
        [&] {
            clearResults(monitor);
            m_fn.zam_plugin_exec_monitor_by_event(monitor);
        },
        [] {});
}
