#include "TrafficPreviousPollData.h"

#include "zam_plugin_api.h"

#include <cstdlib>

void TrafficPreviousPollData::reset(stZamMonitor* mon)
{
    if (mon && mon->cachedData)
        static_cast<TrafficPreviousPollData*>(mon->cachedData)->reset();
}

TrafficPreviousPollData* TrafficPreviousPollData::of(stZamMonitor* mon)
{
    if (!mon->cachedData) {
        auto* data = static_cast<TrafficPreviousPollData*>(std::malloc(sizeof(TrafficPreviousPollData)));
        if (!data)
            return nullptr;
        data->reset();
        mon->cachedData = data;
    }
    return static_cast<TrafficPreviousPollData*>(mon->cachedData);
}
