#include "MonitorEnvironment.h"

#include <cstring>

QProcessEnvironment monitorEnvironment(const stZamMonitor* mon)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (uint32_t i = 0; mon->settings.entries != nullptr && i < mon->settings.count; ++i) {
        const stZamSettingEntry& e = mon->settings.entries[i];
        if (e.name == nullptr || e.name[0] != '$' || e.valueText == nullptr || std::strcmp(e.name, e.valueText) == 0)
            continue;
        environment.insert(QString::fromUtf8(e.name + 1), QString::fromUtf8(e.valueText));
    }
    return environment;
}
