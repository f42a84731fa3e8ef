#pragma once
// What a VMware metric measures and how its raw value is shown: the performance counter of
// each metric index, which unit setting applies to it, and the scaling of a value by unit code.
// Pure functions over read-only tables; no state.

#include <QMap>
#include <QString>
#include <QtGlobal>

namespace VMwareMetrics {

constexpr int kFirstMetric = 1;
constexpr int kLastMetric = 24;

// Unit codes of the unit settings.
enum Unit {
    UnitNone = 0, UnitMHz = 1, UnitGHz = 2, UnitKB = 3, UnitMB = 4, UnitGB = 5,
    UnitKbit = 6, UnitMbit = 7, UnitMsec = 8, UnitSec = 9, UnitPercent = 10,
};

// Metrics read from properties rather than counters.
constexpr int kGuestDiskCapacity = 17, kGuestDiskFree = 18, kGuestDiskUsed = 19;
constexpr int kDatastoreCapacity = 20, kDatastoreFree = 21, kDatastoreUncommitted = 22;

// The unit settings by name.
extern const char* const kCpuUnits;
extern const char* const kCpuUnitsPercent;
extern const char* const kDataUnits;
extern const char* const kDataUnitsPercent;
extern const char* const kSpeedUnits;
extern const char* const kTimeUnits;

inline bool isKnownMetric(int metric) { return metric >= kFirstMetric && metric <= kLastMetric; }

// The server's counter id of a key of the counter table; empty for keys without one.
QString metricToEsxiCounterId(int key);
// The counter a metric reads with this unit code: CPU usage and memory active and consumed
// read the percentage counter with unit code 10 and the absolute one otherwise. Empty for
// metrics that are read from properties and for unknown ones.
QString counterForMetric(int metric, int unit);
// The unit code that applies to a metric: the value of its unit setting in the map; 0 when the
// metric is unknown or its setting is missing.
int getMeasure(const QMap<QString, int>& units, int metric);
// Scales a value that is not negative by the unit code and sets its unit text; a negative value
// or an unknown code leaves both as they are.
void convertMetric(int unit, QString& unitText, qint64& value);

}  // namespace VMwareMetrics
