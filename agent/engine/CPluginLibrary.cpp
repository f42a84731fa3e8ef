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

// The record's outcome after an exception in the library: the reason text and result code -2.
void failMonitor(stZamMonitor* monitor, const char* reason)
{
    if (!monitor)
        return;
    std::strncpy(monitor->failReason, reason, ZAM_FAIL_REASON_SIZE - 1);
    monitor->failReason[ZAM_FAIL_REASON_SIZE - 1] = '\0';
    monitor->resultCode = -2;
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
        m_registerServiceDataCb(&CPluginManager::pluginServiceLookup);
        int rc;
        {
            CPluginStackGuard guard("plugin_init");
            rc = m_init(&m_context);
        }
        if (rc != 0)
            throw std::runtime_error("cannot initialize plugin context");
        m_registerLogCb(&pluginLogHandler);
        m_registerGetmemCb(&pluginResultMemory);
    } catch (...) {
        unload();
        throw;
    }
}

CPluginLibrary::~CPluginLibrary()
{
    if (m_handle) {
        try {
            if (term() != 0)
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
    if (!m_handle)
        throw std::runtime_error(QStringLiteral("cannot load plugin %1").arg(m_path).toStdString());
    try {
        resolveExports();
    } catch (...) {
        unload();
        throw;
    }
}

void CPluginLibrary::resolveExports()
{
#define ZAM_RESOLVE(member, symbol) \
    member = resolveOne<decltype(member)>(m_handle, #symbol, #symbol "\"() is not defined\"")
    ZAM_RESOLVE(m_init, zam_plugin_init);
    ZAM_RESOLVE(m_initThread, zam_plugin_init_thread);
    ZAM_RESOLVE(m_term, zam_plugin_term);
    ZAM_RESOLVE(m_termThread, zam_plugin_term_thread);
    ZAM_RESOLVE(m_getCount, zam_plugin_get_count);
    ZAM_RESOLVE(m_getMonType, zam_plugin_get_monitor_type);
    ZAM_RESOLVE(m_freeMonType, zam_plugin_free_monitor_type);
    ZAM_RESOLVE(m_getActType, zam_plugin_get_action_type);
    ZAM_RESOLVE(m_freeActType, zam_plugin_free_action_type);
    ZAM_RESOLVE(m_poll, zam_plugin_poll);
    ZAM_RESOLVE(m_invalidateMonitorCache, zam_plugin_invalidate_monitor_cache);
    ZAM_RESOLVE(m_action, zam_plugin_action);
    ZAM_RESOLVE(m_invalidateActionCache, zam_plugin_invalidate_action_cache);
    ZAM_RESOLVE(m_registerLogCb, zam_plugin_register_log_cb);
    ZAM_RESOLVE(m_registerServiceDataCb, zam_plugin_register_service_data_cb);
    ZAM_RESOLVE(m_registerGetmemCb, zam_plugin_register_getmem_cb);
    ZAM_RESOLVE(m_initMonitorByEvent, zam_plugin_init_monitor_by_event);
    ZAM_RESOLVE(m_termMonitorByEvent, zam_plugin_term_monitor_by_event);
    ZAM_RESOLVE(m_execMonitorByEvent, zam_plugin_exec_monitor_by_event);
    ZAM_RESOLVE(m_isMonitorTypeSupported, zam_plugin_is_monitor_type_supported);
#undef ZAM_RESOLVE
}

void CPluginLibrary::clearExports()
{
    m_init = nullptr;
    m_initThread = nullptr;
    m_term = nullptr;
    m_termThread = nullptr;
    m_getCount = nullptr;
    m_getMonType = nullptr;
    m_freeMonType = nullptr;
    m_getActType = nullptr;
    m_freeActType = nullptr;
    m_poll = nullptr;
    m_invalidateMonitorCache = nullptr;
    m_action = nullptr;
    m_invalidateActionCache = nullptr;
    m_registerLogCb = nullptr;
    m_registerServiceDataCb = nullptr;
    m_registerGetmemCb = nullptr;
    m_initMonitorByEvent = nullptr;
    m_termMonitorByEvent = nullptr;
    m_execMonitorByEvent = nullptr;
    m_isMonitorTypeSupported = nullptr;
}

void CPluginLibrary::unload()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
    m_context = nullptr;
    clearExports();
}

int CPluginLibrary::init()
{
    CPluginStackGuard guard("plugin_init");
    return m_init(&m_context);
}

int CPluginLibrary::term()
{
    int rc;
    {
        CPluginStackGuard guard("plugin_term");
        rc = m_term(m_context);
    }
    m_context = nullptr;
    return rc;
}

int CPluginLibrary::initThread(stCoreZamThreadContext** out)
{
    CPluginStackGuard guard("plugin_thread_init");
    return m_initThread(m_context, out);
}

int CPluginLibrary::termThread(stCoreZamThreadContext* threadContext)
{
    CPluginStackGuard guard("plugin_thread_term");
    return m_termThread(m_context, threadContext);
}

int CPluginLibrary::getCount(int* monitorTypes, int* actionTypes)
{
    CPluginStackGuard guard("plugin_get_count");
    return m_getCount(m_context, monitorTypes, actionTypes);
}

int CPluginLibrary::getMonType(unsigned index, const stZamMonitorType** out)
{
    CPluginStackGuard guard("plugin_get_montype");
    return m_getMonType(m_context, index, out);
}

int CPluginLibrary::freeMonType(const stZamMonitorType* type)
{
    CPluginStackGuard guard("plugin_free_montype");
    return m_freeMonType(type);
}

int CPluginLibrary::getActType(unsigned index, const stZamActionType** out)
{
    CPluginStackGuard guard("plugin_get_acttype");
    return m_getActType(m_context, index, out);
}

int CPluginLibrary::freeActType(const stZamActionType* type)
{
    CPluginStackGuard guard("plugin_free_acttype");
    return m_freeActType(type);
}

bool CPluginLibrary::isMonitorTypeSupported(unsigned index)
{
    CPluginStackGuard guard("is_monitor_type_supported");
    return m_isMonitorTypeSupported(m_context, index) != 0;
}

int CPluginLibrary::poll(stCoreZamThreadContext* threadContext, stZamMonitor* monitor, const QString& monitorName)
{
    try {
        CPluginStackGuard guard("polling %1", &monitorName);
        clearResults(monitor);
        return m_poll(m_context, threadContext, monitor);
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation must unwind
    } catch (const std::exception& e) {
        warnException("poll", monitorName, &e);
    } catch (...) {
        warnException("poll", monitorName, nullptr);
    }
    // The library's per-monitor data may be half-built: have it dropped.
    invalidateMonitorCache(threadContext, monitor, ZAM_INVALIDATE_PLUGIN_DATA, monitorName);
    failMonitor(monitor, "unknown exception");
    return 1;
}

int CPluginLibrary::invalidateMonitorCache(stCoreZamThreadContext* threadContext, stZamMonitor* monitor,
                                           unsigned flags, const QString& monitorName)
{
    try {
        CPluginStackGuard guard("inv. mon. cache for %1", &monitorName);
        return m_invalidateMonitorCache(m_context, threadContext, monitor, flags);
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation must unwind
    } catch (const std::exception& e) {
        warnException("inv. mon. cache", monitorName, &e);
    } catch (...) {
        warnException("inv. mon. cache", monitorName, nullptr);
    }
    failMonitor(monitor, "unknown exception");
    return 1;
}

int CPluginLibrary::initMonitorByEvent(stZamMonitor* monitor, const QString& monitorName)
{
    try {
        CPluginStackGuard guard("init monitor by event for %1", &monitorName);
        return m_initMonitorByEvent(monitor);
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation must unwind
    } catch (const std::exception& e) {
        warnException("init monitor by event", monitorName, &e);
    } catch (...) {
        warnException("init monitor by event", monitorName, nullptr);
    }
    failMonitor(monitor, "exception in init");
    return 1;
}

void CPluginLibrary::termMonitorByEvent(stZamMonitor* monitor, const QString& monitorName)
{
    try {
        CPluginStackGuard guard("term monitor by event for %1", &monitorName);
        m_termMonitorByEvent(monitor);
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation must unwind
    } catch (const std::exception& e) {
        warnException("term monitor by event", monitorName, &e);
    } catch (...) {
        warnException("term monitor by event", monitorName, nullptr);
    }
}

void CPluginLibrary::execMonitorByEvent(stZamMonitor* monitor, const QString& monitorName)
{
    try {
        CPluginStackGuard guard("exec monitor by event for %1", &monitorName);
        clearResults(monitor);
        m_execMonitorByEvent(monitor);
    } catch (abi::__forced_unwind&) {
        throw;   // thread cancellation must unwind
    } catch (const std::exception& e) {
        warnException("exec monitor by event", monitorName, &e);
    } catch (...) {
        warnException("exec monitor by event", monitorName, nullptr);
    }
}
