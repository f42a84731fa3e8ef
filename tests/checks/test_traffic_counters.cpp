// The traffic monitors' arithmetic: which readings are compared, counter wrap and resets, the
// rate and its display.

#include "Snmp/TrafficCounters.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t k2p32 = uint64_t(1) << 32;

TrafficPreviousPollData previous(uint64_t upTime, uint64_t in, uint64_t out, int mask, uint32_t timeMs)
{
    return {upTime, in, out, mask, timeMs};
}

TEST(TrafficCounters, WhichReadingsAreCompared)
{
    TrafficPreviousPollData fresh;
    fresh.reset();
    struct Case {
        const char* name;
        TrafficPreviousPollData prev;
        TrafficSample now;
        int dataSet;
        TrafficVerdict verdict;
        uint64_t octets;
    } cases[] = {
        {"first poll after a reset", fresh, {100, 5, 5, 3, false, false, 1000}, 3, TrafficVerdict::SkipDirections, 0},
        {"a direction vanished", previous(100, 5, 5, 3, 0), {200, 9, 0, 1, false, false, 10}, 3,
         TrafficVerdict::SkipDirections, 0},
        {"uptime went down", previous(500, 5, 5, 3, 0), {499, 9, 9, 3, false, false, 10}, 3, TrafficVerdict::SkipUptime, 0},
        {"same uptime still compares", previous(500, 5, 5, 3, 0), {500, 9, 9, 3, false, false, 10}, 3,
         TrafficVerdict::Report, 8},
        {"Counter32 wraps", previous(1, 4294967000u, 0, 3, 0), {2, 200, 0, 3, true, true, 10}, 1, TrafficVerdict::Report,
         496},
        {"Counter32 outbound wraps", previous(1, 0, k2p32 - 1, 3, 0), {2, 0, 0, 3, true, true, 10}, 2,
         TrafficVerdict::Report, 1},
        {"Counter64 going down is a reset, not a wrap", previous(1, 1000, 0, 3, 0), {2, 10, 0, 3, false, false, 10}, 3,
         TrafficVerdict::SkipCounterReset, 0},
        {"Counter64 outbound reset outside the data set still skips", previous(1, 0, 1000, 3, 0),
         {2, 10, 10, 3, false, false, 10}, 1, TrafficVerdict::SkipCounterReset, 0},
        {"Counter64 near its top", previous(1, UINT64_MAX - 10, 0, 3, 0), {2, UINT64_MAX, 0, 3, false, false, 10}, 1,
         TrafficVerdict::Report, 10},
        {"inbound only", previous(1, 100, 1000, 3, 0), {2, 150, 1100, 3, false, false, 10}, 1, TrafficVerdict::Report, 50},
        {"outbound only", previous(1, 100, 1000, 3, 0), {2, 150, 1100, 3, false, false, 10}, 2, TrafficVerdict::Report,
         100},
        {"both", previous(1, 100, 1000, 3, 0), {2, 150, 1100, 3, false, false, 10}, 3, TrafficVerdict::Report, 150},
        {"only the inbound counter exists", previous(1, 100, 0, 1, 0), {2, 150, 0, 1, false, false, 10}, 3,
         TrafficVerdict::Report, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TrafficStep step = trafficStep(c.prev, c.now, c.dataSet);
        EXPECT_EQ(step.verdict, c.verdict);
        if (c.verdict == TrafficVerdict::Report) {
            EXPECT_EQ(step.octets, c.octets);
        }
    }
}

TEST(TrafficCounters, ElapsedTimeIsUnsigned32BitAndNeverZero)
{
    const TrafficStep same = trafficStep(previous(1, 0, 0, 3, 5000), {1, 0, 0, 3, false, false, 5000}, 3);
    EXPECT_EQ(same.elapsedMs, 1u);
    // The clock's 32 bits wrapped between the polls.
    const TrafficStep wrapped = trafficStep(previous(1, 0, 0, 3, 0xFFFFFF00u), {1, 0, 0, 3, false, false, 0x100}, 3);
    EXPECT_EQ(wrapped.elapsedMs, 0x200u);
}

TEST(TrafficCounters, SkipTexts)
{
    EXPECT_STREQ(trafficSkipText(TrafficVerdict::SkipDirections), "poll skipped: not all traffic directions are present");
    EXPECT_STREQ(trafficSkipText(TrafficVerdict::SkipUptime), "poll skipped: uptime has decreased");
    EXPECT_EQ(trafficSkipText(TrafficVerdict::Report), nullptr);
}

TEST(TrafficCounters, RateAndDisplay)
{
    EXPECT_EQ(trafficRateKbps(1000000, 10000), 800u);
    EXPECT_EQ(trafficRateKbps(7, 0), 56u);
    // Past 2^61 octets the product would overflow to a small figure.
    EXPECT_EQ(trafficRateKbps(UINT64_MAX, 1000), UINT64_MAX / 1000 * 8);

    struct Case {
        uint64_t rate;
        int choice;
        int bandwidth;
        int64_t value;
        const char* unit;
    } cases[] = {
        {800, 0, 1600, 50, " %"},    {800, 1, 1600, 800, " kbit/s"}, {800, 2, 1600, 1, " Mbit/s"},
        {500, 2, 0, 1, " Mbit/s"},   {499, 2, 0, 0, " Mbit/s"},      {0, 0, 1600, 0, " %"},
        {3, 0, 0, 300, " %"},        {3, 0, -5, 300, " %"},          {1, 0, 200, 1, " %"},
        {800, 7, 0, 800, " kbit/s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " choice " << c.choice << " bandwidth " << c.bandwidth);
        const TrafficSpeedDisplay d = trafficSpeedDisplay(c.rate, c.choice, c.bandwidth);
        EXPECT_EQ(d.value, c.value);
        EXPECT_STREQ(d.unit, c.unit);
    }
}

}  // namespace
