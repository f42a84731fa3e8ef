#pragma once
#include "CMonitorRuntimeData.h"
#include "CPluginThreadInstance.h"

#include <QMap>
#include <QMutex>
#include <functional>

// One task thread's runtime data of the monitors it polls: finds or creates them, refreshes
// them when the stored settings change, and has the library drop its caches when a monitor
// goes idle (120 s) or the thread ends.
// Threads: used by its own task thread; m_mutex guards the map (the watchdog and termination
// reach it from the task manager's thread). The configuration manager is asked without it.
class CMonitorRuntimeRegistry
{
public:
    using PluginProvider = std::function<CPluginThreadInstancePtr(int pluginId)>;
    using MonitorSource = std::function<stZamMonitorPtr(int monitorId, const stZamMonitorPtr& current,
                                                        bool* notFound, bool* changed, bool* third)>;
    static constexpr int kIdleSeconds = 119;

    // Without a source the root's configuration manager is asked.
    explicit CMonitorRuntimeRegistry(PluginProvider plugins, MonitorSource source = MonitorSource());
    ~CMonitorRuntimeRegistry();
    CMonitorRuntimeRegistry(const CMonitorRuntimeRegistry&) = delete;
    CMonitorRuntimeRegistry& operator=(const CMonitorRuntimeRegistry&) = delete;

    CMonitorRuntimeDataPtr get(int monitorId, bool* notFound, bool* changed, bool* third);
    void purgeIdle();
    void releaseAll();
    void dropAll();

    // The one invalidation sequence (flags 3, 6 or 7) with this thread's library instance.
    void invalidate(CMonitorRuntimeData& data, unsigned flags);
    CPluginThreadInstancePtr pluginFor(int pluginId) const;
    int size() const;

private:
    void invalidateRemoved(CMonitorRuntimeData& data);

    PluginProvider m_plugins;
    MonitorSource m_source;
    mutable QMutex m_mutex;
    QMap<int, CMonitorRuntimeDataPtr> m_entries;
};
