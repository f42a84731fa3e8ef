#include "PluginTestHost.h"

#include <QMutexLocker>
#include <atomic>
#include <dlfcn.h>

static std::atomic<PluginTestHost*> g_host{nullptr};

PluginTestHost::PluginTestHost(const QString& path) : m_path(path)
{
    g_host.store(this);
}

PluginTestHost::~PluginTestHost()
{
    term();
    if (m_handle)
        dlclose(m_handle);
    PluginTestHost* self = this;
    g_host.compare_exchange_strong(self, nullptr);
}

template <typename T>
static bool resolve(void* handle, const char* name, T& out, QString& error)
{
    out = reinterpret_cast<T>(dlsym(handle, name));
    if (!out && error.isEmpty())
        error = QStringLiteral("missing export %1").arg(QLatin1String(name));
    return out != nullptr;
}

bool PluginTestHost::load()
{
    m_error.clear();
    // Kept mapped after dlclose: Qt and the client libraries keep process-wide state in it.
    m_handle = dlopen(m_path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!m_handle) {
        m_error = QString::fromLocal8Bit(dlerror());
        return false;
    }
    bool ok = true;
    ok &= resolve(m_handle, "zam_plugin_register_log_cb", m_api.register_log_cb, m_error);
    ok &= resolve(m_handle, "zam_plugin_register_service_data_cb", m_api.register_service_data_cb, m_error);
    ok &= resolve(m_handle, "zam_plugin_register_getmem_cb", m_api.register_getmem_cb, m_error);
    ok &= resolve(m_handle, "zam_plugin_init", m_api.init, m_error);
    ok &= resolve(m_handle, "zam_plugin_init_thread", m_api.init_thread, m_error);
    ok &= resolve(m_handle, "zam_plugin_term", m_api.term, m_error);
    ok &= resolve(m_handle, "zam_plugin_term_thread", m_api.term_thread, m_error);
    ok &= resolve(m_handle, "zam_plugin_get_count", m_api.get_count, m_error);
    ok &= resolve(m_handle, "zam_plugin_get_monitor_type", m_api.get_monitor_type, m_error);
    ok &= resolve(m_handle, "zam_plugin_free_monitor_type", m_api.free_monitor_type, m_error);
    ok &= resolve(m_handle, "zam_plugin_get_action_type", m_api.get_action_type, m_error);
    ok &= resolve(m_handle, "zam_plugin_free_action_type", m_api.free_action_type, m_error);
    ok &= resolve(m_handle, "zam_plugin_poll", m_api.poll, m_error);
    ok &= resolve(m_handle, "zam_plugin_invalidate_monitor_cache", m_api.invalidate_monitor_cache, m_error);
    ok &= resolve(m_handle, "zam_plugin_init_monitor_by_event", m_api.init_monitor_by_event, m_error);
    ok &= resolve(m_handle, "zam_plugin_term_monitor_by_event", m_api.term_monitor_by_event, m_error);
    ok &= resolve(m_handle, "zam_plugin_exec_monitor_by_event", m_api.exec_monitor_by_event, m_error);
    ok &= resolve(m_handle, "zam_plugin_action", m_api.action, m_error);
    ok &= resolve(m_handle, "zam_plugin_invalidate_action_cache", m_api.invalidate_action_cache, m_error);
    ok &= resolve(m_handle, "zam_plugin_is_monitor_type_supported", m_api.is_monitor_type_supported, m_error);
    if (!ok)
        return false;
    return init();
}

bool PluginTestHost::init()
{
    if (!m_handle || m_ctx)
        return m_ctx != nullptr;
    // The daemon's order: service lookup, init, log sink, result memory, then each thread.
    m_api.register_service_data_cb(&PluginTestHost::serviceLookup);
    if (m_api.init(&m_ctx) != 0 || !m_ctx) {
        m_error = QStringLiteral("zam_plugin_init failed");
        return false;
    }
    m_api.register_log_cb(&PluginTestHost::logSink);
    m_api.register_getmem_cb(&PluginTestHost::resultMemory);
    if (m_api.init_thread(m_ctx, &m_tctx) != 0 || !m_tctx) {
        m_error = QStringLiteral("zam_plugin_init_thread failed");
        return false;
    }
    return true;
}

void PluginTestHost::term()
{
    if (!m_handle)
        return;
    if (m_tctx) {
        m_api.term_thread(m_ctx, m_tctx);
        m_tctx = nullptr;
    }
    if (m_ctx) {
        m_api.term(m_ctx);
        m_ctx = nullptr;
    }
}

int PluginTestHost::poll(PluginTestRecord& record)
{
    record.sections.clear();
    return m_api.poll(m_ctx, m_tctx, &record.mon);
}

const stZamMonitorType* PluginTestHost::descriptor(unsigned index) const
{
    const stZamMonitorType* type = nullptr;
    if (!m_api.get_monitor_type || m_api.get_monitor_type(m_ctx, index, &type) != 0)
        return nullptr;
    return type;
}

void PluginTestHost::setService(const QString& name, void* fn)
{
    QMutexLocker lock(&m_mutex);
    m_services[name] = fn;
}

QStringList PluginTestHost::servicesAsked() const
{
    QMutexLocker lock(&m_mutex);
    return m_asked;
}

QList<std::pair<int, QString>> PluginTestHost::logLines() const
{
    QMutexLocker lock(&m_mutex);
    return m_log;
}

QStringList PluginTestHost::logTexts(int level) const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const auto& line : m_log) {
        if (line.first == level)
            out << line.second;
    }
    return out;
}

void PluginTestHost::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_log.clear();
}

int PluginTestHost::logSink(int level, const char* text)
{
    PluginTestHost* host = g_host.load();
    if (!host)
        return 0;
    QMutexLocker lock(&host->m_mutex);
    host->m_log.append({level, QString::fromUtf8(text ? text : "")});
    return 0;
}

void* PluginTestHost::serviceLookup(const char* name)
{
    PluginTestHost* host = g_host.load();
    if (!host || !name)
        return nullptr;
    QMutexLocker lock(&host->m_mutex);
    const QString key = QString::fromUtf8(name);
    host->m_asked << key;
    return host->m_services.value(key, nullptr);
}

void* PluginTestHost::resultMemory(stZamMonitor* monitor, unsigned size, int type)
{
    return PluginTestRecord::resultMemory(monitor, size, type);
}
