#include "VMwareOptions.h"

#include "VMwareMetrics.h"
#include "zam_monitor_helpers.h"
#include "zam_settings.h"

#include <QMap>

#include <string>
#include <vector>

bool VMwareOptions::getOptions(stZamMonitor* mon, VMwareObjectType kind)
{
    using namespace VMwareMetrics;
    // every unit setting the kind carries, 0 until the settings say otherwise
    std::vector<const char*> unitNames{kDataUnits};
    if (kind == VMwareDatastore) {
        unitNames.push_back(kTimeUnits);
    } else {
        unitNames.insert(unitNames.end(), {kCpuUnitsPercent, kCpuUnits, kDataUnitsPercent, kSpeedUnits});
    }
    std::vector<int> unitValues(unitNames.size(), 0);

    std::wstring domain, user, password, objectName;
    int metricIndex = 0;
    std::vector<PluginOption> options{
        {'d', "Domain", 0, nullptr, nullptr, &domain},
        {'l', "User Name", 0, nullptr, nullptr, &user},
        {'p', "Password", 0, nullptr, nullptr, &password},
        {'e', "Metric", 0, &metricIndex, nullptr, nullptr},
    };
    for (size_t i = 0; i < unitNames.size(); ++i)
        options.push_back({'e', unitNames[i], 0, &unitValues[i], nullptr, nullptr});
    if (kind == VMwareVirtualMachine)
        options.push_back({'s', "Virtual Machine Name", 0, nullptr, nullptr, &objectName});
    else if (kind == VMwareDatastore)
        options.push_back({'s', "Datastore Name", 0, nullptr, nullptr, &objectName});
    options.push_back({0, nullptr, 0, nullptr, nullptr, nullptr});

    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings"));
    int found = 0;
    if (!pluginParseSettings(&mon->settings, options.data(), &found)) {
        setMonFailReason(mon, "Incorrect monitor parameters");
        return false;
    }
    zamLogMonitorPlugin_QStr(mon, QStringLiteral("check settings ok"));

    address = QString::fromUtf8(mon->hostAddress, static_cast<int>(boundedLength(mon->hostAddress, sizeof mon->hostAddress)));
    this->user = QString::fromStdWString(user);
    this->password = QString::fromStdWString(password);
    this->objectName = QString::fromStdWString(objectName);
    metric = metricIndex;
    QMap<QString, int> units;
    for (size_t i = 0; i < unitNames.size(); ++i)
        units.insert(QLatin1String(unitNames[i]), unitValues[i]);
    unit = getMeasure(units, metric);
    return true;
}
