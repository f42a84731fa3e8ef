#include "ResultValueAndUnit.h"

#include "PluginResultMemory.h"
#include "stZamMonitor.h"
#include "zam_plugin_api.h"

#include <cstring>

void* addResultValueAndUnit(const ResultMemory& resultMemory, qint64 value, const char* unit)
{
    if (!resultMemory)
        return nullptr;
    if (!unit)
        unit = "";

    void* low = resultMemory(12, ZAM_SECTION_PERF32);
    if (!low)
        return nullptr;
    const qint32 low32 = static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(value)));
    std::memcpy(low, &low32, sizeof(low32));

    const size_t unitLength = std::strlen(unit);
    if (unitLength > 0xffff0000u)
        return nullptr;
    void* text = resultMemory(unsigned(unitLength + 9), ZAM_SECTION_MEASURE_UNIT);
    if (!text)
        return nullptr;
    std::memcpy(text, unit, unitLength + 1);

    void* full = resultMemory(16, ZAM_SECTION_PERF64);
    if (!full)
        return nullptr;
    std::memcpy(full, &value, sizeof(value));
    return full;
}

void* addResultValueAndUnit(stZamMonitor& monitor, qint64 value, const char* unit)
{
    stZamMonitor* record = &monitor;
    return addResultValueAndUnit([record](unsigned size, int type) { return pluginResultMemory(record, size, type); },
                                 value, unit);
}
