// VMware metrics: which counter a metric reads with its unit setting, which unit setting
// applies, and how the raw value is scaled into the reported value and unit text.

#include "VMware/VMwareMetrics.h"

#include <gtest/gtest.h>

using namespace VMwareMetrics;

namespace {

struct MetricCase
{
    const char* label;
    int metric;
    const char* unitSetting;  // the one unit setting the monitor carries
    int unitValue;
    qint64 raw;
    const char* counter;      // "" for property metrics
    qint64 value;
    const char* unitText;
};

}  // namespace

TEST(VMwareMetrics, CounterUnitAndScaling)
{
    const MetricCase cases[] = {
        {"CPU usage in percent", 1, kCpuUnitsPercent, UnitPercent, 2345, "1", 23, " %"},
        {"CPU usage in GHz", 1, kCpuUnitsPercent, UnitGHz, 2345, "5", 2, " GHz"},
        {"CPU usage in MHz", 1, kCpuUnitsPercent, UnitMHz, 2345, "5", 2345, " MHz"},
        {"CPU capacity", 2, kCpuUnits, UnitGHz, 4600, "23", 4, " GHz"},
        {"VM memory active in percent", 3, kDataUnitsPercent, UnitPercent, 5012, "65537", 50, " %"},
        {"VM memory active in MB", 3, kDataUnitsPercent, UnitMB, 2097152, "65545", 2048, " MB"},
        {"host memory consumed", 5, kDataUnitsPercent, UnitMB, 1048576, "65611", 1024, " MB"},
        {"host memory consumed in percent", 5, kDataUnitsPercent, UnitPercent, 9999, "65537", 99, " %"},
        {"memory swap used in GB", 10, kDataUnits, UnitGB, 3 * 1048576 + 5, "65639", 3, " GB"},
        {"network receive in kbit/s", 12, kSpeedUnits, UnitKbit, 100, "196618", 800, " kbit/s"},
        {"network transmit in Mbit/s", 13, kSpeedUnits, UnitMbit, 1000, "196619", 7, " Mbit/s"},
        {"disk write", 16, kSpeedUnits, UnitKbit, 3, "131079", 24, " kbit/s"},
        {"guest total space", 17, kDataUnits, UnitGB, 15 * 1048576, "", 15, " GB"},
        {"datastore capacity", 20, kDataUnits, UnitMB, 4096, "", 4, " MB"},
        {"read latency in seconds", 23, kTimeUnits, UnitSec, 2500, "655364", 2, " sec"},
        {"write latency in msec", 24, kTimeUnits, UnitMsec, 2500, "655365", 2500, " msec"},
        {"negative value stays", 19, kDataUnits, UnitGB, -5 * 1048576, "", -5 * 1048576, ""},
        {"setting of another metric: no unit", 12, kDataUnits, UnitMB, 100, "196618", 100, ""},
        {"unknown unit code stays", 23, kTimeUnits, 11, 2500, "655364", 2500, ""},
        {"metric 0", 0, kCpuUnits, UnitGHz, 7, "", 7, ""},
        {"metric 25", 25, kTimeUnits, UnitSec, 7, "", 7, ""},
    };
    for (const MetricCase& c : cases) {
        SCOPED_TRACE(c.label);
        const QMap<QString, int> units{{QLatin1String(c.unitSetting), c.unitValue}};
        const int unit = getMeasure(units, c.metric);
        EXPECT_EQ(counterForMetric(c.metric, unit), QLatin1String(c.counter));
        qint64 value = c.raw;
        QString text;
        convertMetric(unit, text, value);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(text, QLatin1String(c.unitText));
    }
}

TEST(VMwareMetrics, EveryMetricHasOneSource)
{
    // counters for 1-16, 23 and 24; properties for 17-22; nothing outside 1-24
    for (int metric = -1; metric <= 26; ++metric) {
        SCOPED_TRACE(metric);
        const bool counter = (metric >= 1 && metric <= 16) || metric == 23 || metric == 24;
        EXPECT_EQ(!counterForMetric(metric, UnitPercent).isEmpty(), counter);
        EXPECT_EQ(!counterForMetric(metric, UnitMB).isEmpty(), counter);
        EXPECT_EQ(isKnownMetric(metric), metric >= 1 && metric <= 24);
    }
    EXPECT_EQ(metricToEsxiCounterId(0), QLatin1String("5"));
    EXPECT_TRUE(metricToEsxiCounterId(17).isEmpty());
    EXPECT_TRUE(metricToEsxiCounterId(-1).isEmpty());
}
