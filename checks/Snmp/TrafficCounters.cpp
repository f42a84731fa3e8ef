#include "TrafficCounters.h"

#include <cmath>

namespace {

// A 32-bit counter below its previous value wrapped once; a 64-bit one is not expected to wrap
// between two polls, so it going down means a reset (the caller skips then).
uint64_t difference(uint64_t previous, uint64_t current, bool counter32)
{
    if (counter32 && previous > current)
        return current + (uint64_t(1) << 32) - previous;
    return current - previous;
}

}  // namespace

TrafficStep trafficStep(const TrafficPreviousPollData& previous, const TrafficSample& now, int dataSet)
{
    TrafficStep step;
    if (now.presentMask != previous.presentMask) {
        step.verdict = TrafficVerdict::SkipDirections;
        return step;
    }
    if (previous.upTime > now.upTime) {
        step.verdict = TrafficVerdict::SkipUptime;
        return step;
    }
    const bool inPresent = (now.presentMask & 1) != 0;
    const bool outPresent = (now.presentMask & 2) != 0;
    if ((inPresent && !now.in32 && now.inOctets < previous.inOctets)
        || (outPresent && !now.out32 && now.outOctets < previous.outOctets)) {
        step.verdict = TrafficVerdict::SkipCounterReset;
        return step;
    }
    const uint64_t in = inPresent ? difference(previous.inOctets, now.inOctets, now.in32) : 0;
    const uint64_t out = outPresent ? difference(previous.outOctets, now.outOctets, now.out32) : 0;
    step.octets = ((dataSet & 1) ? in : 0) + ((dataSet & 2) ? out : 0);
    const uint32_t elapsed = now.timeMs - previous.timeMs;
    step.elapsedMs = elapsed ? elapsed : 1;
    return step;
}

const char* trafficSkipText(TrafficVerdict verdict)
{
    switch (verdict) {
    case TrafficVerdict::SkipDirections:
        return "poll skipped: not all traffic directions are present";
    case TrafficVerdict::SkipUptime:
        return "poll skipped: uptime has decreased";
    case TrafficVerdict::SkipCounterReset:
        return "poll skipped: a traffic counter has decreased";
    case TrafficVerdict::Report:
        break;
    }
    return nullptr;
}

uint64_t trafficRateKbps(uint64_t octets, uint32_t elapsedMs)
{
    const uint64_t ms = elapsedMs ? elapsedMs : 1;
    // Past 2^61 octets the product would overflow; divide first there.
    return octets > (UINT64_MAX >> 3) ? octets / ms * 8 : octets * 8 / ms;
}

TrafficSpeedDisplay trafficSpeedDisplay(uint64_t rateKbps, int choice, int bandwidthKbps)
{
    double factor = 1.0;
    const char* unit = " kbit/s";
    if (choice == 0) {
        factor = 100.0 / (bandwidthKbps > 0 ? bandwidthKbps : 1);
        unit = " %";
    } else if (choice == 2) {
        factor = 0.001;
        unit = " Mbit/s";
    }
    const double v = static_cast<double>(rateKbps) * factor;
    const double rounded = v > 0 ? std::floor(v + 0.5) : std::ceil(v - 0.5);
    return {static_cast<int64_t>(rounded), unit};
}
