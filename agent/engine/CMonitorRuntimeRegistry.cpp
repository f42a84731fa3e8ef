#include "CMonitorRuntimeRegistry.h"
#include "CConfigManagerAgent.h"
#include "CTaskClock.h"
#include "core/CNetworkMonitor.h"

#include <QMutexLocker>
#include <stdexcept>

namespace {
const char* const kCacheName = "monitor cache";

stZamMonitorPtr askConfigManager(int id, const stZamMonitorPtr& current, bool* notFound, bool* changed, bool* third)
{
    return configManager()->getMonitorData(id, current, notFound, changed, third);
}
}

CMonitorRuntimeRegistry::CMonitorRuntimeRegistry(PluginProvider plugins, MonitorSource source)
    : m_plugins(std::move(plugins))
    , m_source(source ? std::move(source) : MonitorSource(&askConfigManager))
{
}

CMonitorRuntimeRegistry::~CMonitorRuntimeRegistry() = default;

CPluginThreadInstancePtr CMonitorRuntimeRegistry::pluginFor(int pluginId) const
{
    if (!m_plugins)
        throw std::runtime_error("no plugin instance for the monitor cache");
    CPluginThreadInstancePtr instance = m_plugins(pluginId);
    if (!instance)
        throw std::runtime_error("no plugin instance for the monitor cache");
    return instance;
}

int CMonitorRuntimeRegistry::size() const
{
    QMutexLocker locker(&m_mutex);
    return m_entries.size();
}

void CMonitorRuntimeRegistry::invalidate(CMonitorRuntimeData& r, unsigned flags)
{
    r.lastUse = CTaskClock::current()->now();
    r.beforeInvalidate(flags);
    CMonitorCommonData& common = r.commonData();
    if (!r.record)
        return;
    r.record->cachedData = common.cachedData();
    pluginFor(r.pluginId)->invalidateMonitorCache(r.record.data(), flags, r.name);
    r.commonData().setCachedData(r.record->cachedData);
    r.afterInvalidate(flags);
}

CMonitorRuntimeDataPtr CMonitorRuntimeRegistry::get(int monitorId, bool* notFound, bool* changed, bool* third)
{
    CMonitorRuntimeDataPtr r;
    {
        QMutexLocker locker(&m_mutex);
        CMonitorRuntimeDataPtr& slot = m_entries[monitorId];
        if (!slot)
            slot = CMonitorRuntimeDataPtr(new CMonitorRuntimeData(Optional<int>(monitorId)));
        r = slot;
    }
    const stZamMonitorPtr fresh = m_source(monitorId, r->record, notFound, changed, third);
    if (*changed) {
        if (r->loaded) {
            invalidate(*r, *third ? 3u : 7u);
            r->intA = 0;
            r->intB = -1;
        }
        r->load(fresh);
    }
    return r;
}

void CMonitorRuntimeRegistry::invalidateRemoved(CMonitorRuntimeData& r)
{
    if (!r.loaded)
        return;
    // The shared cached data stays while other threads hold the monitor's common data.
    const bool registered = r.common && r.monitorId.hasValue()
                            && CMonitorCommonData::isRegistered(r.monitorId.rawValue(), r.common.data());
    const bool onlyHolder = !r.common || r.common->ref.loadAcquire() <= (registered ? 2 : 1);
    invalidate(r, onlyHolder ? 7u : 6u);
}

void CMonitorRuntimeRegistry::purgeIdle()
{
    QMutexLocker locker(&m_mutex);
    if (m_entries.isEmpty())
        return;   // threads that poll no monitor never look at the clock
    const QDateTime now = CTaskClock::current()->now();
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it.value()->lastUse.secsTo(now) <= kIdleSeconds) {
            ++it;
            continue;
        }
        CMonitorRuntimeDataPtr r = it.value();
        it = m_entries.erase(it);
        try {
            invalidateRemoved(*r);
        } catch (const std::exception& e) {
            qWarning("%s", qPrintable(QStringLiteral("%1: exception in purge: %2")
                                          .arg(QLatin1String(kCacheName), QString::fromLocal8Bit(e.what()))));
        } catch (...) {
            qWarning("%s", qPrintable(QStringLiteral("%1: exception in purge").arg(QLatin1String(kCacheName))));
        }
    }
}

void CMonitorRuntimeRegistry::releaseAll()
{
    QMutexLocker locker(&m_mutex);
    while (!m_entries.isEmpty()) {
        CMonitorRuntimeDataPtr r = m_entries.take(m_entries.firstKey());
        try {
            invalidateRemoved(*r);
        } catch (const std::exception& e) {
            qWarning("%s", qPrintable(QStringLiteral("%1: exception in cleanup: %2")
                                          .arg(QLatin1String(kCacheName), QString::fromLocal8Bit(e.what()))));
        } catch (...) {
            qWarning("%s", qPrintable(QStringLiteral("%1: caught unknown exception").arg(QLatin1String(kCacheName))));
        }
    }
}

void CMonitorRuntimeRegistry::dropAll()
{
    QMap<int, CMonitorRuntimeDataPtr> dropped;
    {
        QMutexLocker locker(&m_mutex);
        dropped.swap(m_entries);
    }
}
