#pragma once
// The arithmetic of the traffic monitors, apart from any session: whether two successive counter
// readings can be compared, the octets between them (32-bit counters wrap), the rate and its
// display. Pure functions; any thread.

#include "TrafficPreviousPollData.h"

#include <cstdint>

// One poll's reading.
struct TrafficSample {
    uint64_t upTime = 0;
    uint64_t inOctets = 0;
    uint64_t outOctets = 0;
    int presentMask = 0;    // as TrafficPreviousPollData::presentMask
    bool in32 = false;      // the inbound counter is a Counter32
    bool out32 = false;
    uint32_t timeMs = 0;
};

enum class TrafficVerdict {
    Report,
    SkipDirections,    // first poll, or a direction appeared or vanished
    SkipUptime,        // the agent restarted
    SkipCounterReset,  // a 64-bit counter went down: the interface was reset
};

struct TrafficStep {
    TrafficVerdict verdict = TrafficVerdict::Report;
    uint64_t octets = 0;     // of the directions in the data set
    uint32_t elapsedMs = 1;  // never 0
};

// The data set: bit 0 inbound, bit 1 outbound.
TrafficStep trafficStep(const TrafficPreviousPollData& previous, const TrafficSample& now, int dataSet);
// The log line of a skipped poll; null for Report.
const char* trafficSkipText(TrafficVerdict verdict);
// Bits per millisecond, which is kbit/s.
uint64_t trafficRateKbps(uint64_t octets, uint32_t elapsedMs);

struct TrafficSpeedDisplay {
    int64_t value;
    const char* unit;
};
// "Show Traffic Speed as": 0 percent of the bandwidth (kbit/s; 0 or less counts as 1),
// 2 Mbit/s, anything else kbit/s. Rounded half away from zero.
TrafficSpeedDisplay trafficSpeedDisplay(uint64_t rateKbps, int choice, int bandwidthKbps);
