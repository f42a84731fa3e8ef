#include "FindSettingValue.h"

#include "CConfigManagerAgent.h"
#include "SMonitorConfig.h"
#include "SMonitorTypeConfig.h"
#include "core/CNetworkMonitor.h"
#include "core/PerformanceStatistics.h"
#include "stZamMonitor.h"

bool sameOptionalInt(const Optional<int>& a, const Optional<int>& b)
{
    const bool aSet = a.state() & 2;
    const bool bSet = b.state() & 2;
    if (!aSet && !bSet)
        return true;
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.hasValue() && b.hasValue() && a.rawValue() == b.rawValue();
}

bool findSettingValue(CConfigManagerBase& manager, const stZamMonitor& monitor, const QString& typeName,
                      const QString& settingName, SSettingValue& out)
{
    QMap<int, SMonitorTypeConfig> types;
    {
        quint32 tick = GetTickCount();
        CConfigReadLocker reader(manager.readGate());
        tick = addTimedStatistic(STAT_GETCFGMAP_LOCK_WAIT, tick);
        types = manager.configMap();   // shared copy; the lookup below works on it
        addTimedStatistic(STAT_GETCFGMAP_EXEC, tick);
    }

    const int monitorId = monitor.optMonitorId.value();

    SMonitorConfig config;   // a missing record leaves every field unset
    {
        quint32 tick = GetTickCount();
        CConfigReadLocker reader(manager.readGate());
        tick = addTimedStatistic(STAT_GETCFG_LOCK_WAIT, tick);
        const auto it = manager.monitorConfigs().constFind(monitorId);
        if (it != manager.monitorConfigs().constEnd()) {
            config = it.value();
            addTimedStatistic(STAT_GETCFG_EXEC, tick);
        }
    }

    const int typeId = config.typeId.value();
    const auto type = types.constFind(typeId);
    if (type == types.constEnd() || type->name.value() != typeName)
        return false;

    for (const SSettingDescriptor& descriptor : type->settingDescriptors) {
        if (descriptor.name.value() != settingName)
            continue;
        for (const SSettingValue& value : config.settingValues) {
            if (sameOptionalInt(value.settingId, descriptor.id)) {
                out = value;
                return true;
            }
        }
    }
    return false;
}

bool findSettingValue(const stZamMonitor& monitor, const QString& typeName, const QString& settingName,
                      SSettingValue& out)
{
    return findSettingValue(*configManager(), monitor, typeName, settingName, out);
}
