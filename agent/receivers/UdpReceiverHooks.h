#pragma once
#include "engine/CMonitorEvent.h"

#include <functional>

// What a receiving manager needs of the rest of the daemon, given to it by whoever builds
// it: the root wires the schedule manager's event relay, tests a recorder.
struct UdpReceiverHooks
{
    // Hands one monitor event towards the service; must not call back into the manager.
    // Called with the manager mutex held.
    std::function<void(int monitorId, const CMonitorEventPtr& event)> sendMonitorEvent;
    // True once the component that relays the events has initialised; null: ask the root
    // for the schedule manager's bit.
    std::function<bool()> engineReady;
};
