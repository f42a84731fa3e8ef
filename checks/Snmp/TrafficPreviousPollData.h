#pragma once
// The octet counters and clock reading of a traffic monitor's previous poll. Kept in the
// monitor's cached-data slot, which the host releases with free(): a plain record, allocated
// with malloc. Threads: one monitor is polled by one task thread at a time; no lock.

#include <cstdint>

struct stZamMonitor;

struct TrafficPreviousPollData {
    // No real poll stores these: the next poll after a reset compares against nothing.
    static constexpr uint64_t kResetCounter = 0x7FFFFFFFFFFFFFFFull;
    static constexpr int kResetMask = static_cast<int>(0x80000000u);

    uint64_t upTime;      // hundredths of a second, as the agent reports sysUpTime
    uint64_t inOctets;
    uint64_t outOctets;
    int presentMask;      // bit 0 inbound counter present, bit 1 outbound
    uint32_t timeMs;      // monotonic raw clock, 32-bit milliseconds

    void reset()
    {
        upTime = inOctets = outOctets = kResetCounter;
        presentMask = kResetMask;
        timeMs = 0;
    }
    // The monitor's record, when it has one; a null monitor is ignored.
    static void reset(stZamMonitor* mon);
    // The monitor's record, made in the reset state when missing; null when out of memory.
    static TrafficPreviousPollData* of(stZamMonitor* mon);
};
