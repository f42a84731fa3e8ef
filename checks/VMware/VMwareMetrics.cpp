#include "VMwareMetrics.h"

namespace VMwareMetrics {

const char* const kCpuUnits = "CPU measurement units";
const char* const kCpuUnitsPercent = "CPU measurement units with percent";
const char* const kDataUnits = "Data measurement units";
const char* const kDataUnitsPercent = "Data measurement units with percent";
const char* const kSpeedUnits = "Speed measurement units";
const char* const kTimeUnits = "Time measurement units";

namespace {

// Key 0 is CPU usage in MHz, the absolute variant of metric 1; keys 17 to 22 are properties.
const char* const kCounterIds[kLastMetric + 1] = {
    "5",      "1",      "23",     "65537",  "65545",  "65537",  "65611",  "65582",  "65541",
    "65569",  "65639",  "196609", "196618", "196619", "131073", "131078", "131079", nullptr,
    nullptr,  nullptr,  nullptr,  nullptr,  nullptr,  "655364", "655365",
};

}  // namespace

QString metricToEsxiCounterId(int key)
{
    if (key < 0 || key > kLastMetric || !kCounterIds[key])
        return QString();
    return QString::fromLatin1(kCounterIds[key]);
}

QString counterForMetric(int metric, int unit)
{
    if (!isKnownMetric(metric))
        return QString();
    // the absolute variants of metrics 1, 3 and 5 sit at keys 0, 4 and 6
    if ((metric == 1 || metric == 3 || metric == 5) && unit != UnitPercent)
        return metricToEsxiCounterId(metric == 1 ? 0 : metric + 1);
    return metricToEsxiCounterId(metric);
}

int getMeasure(const QMap<QString, int>& units, int metric)
{
    const char* setting = nullptr;
    if (metric == 1)
        setting = kCpuUnitsPercent;
    else if (metric == 2)
        setting = kCpuUnits;
    else if (metric == 3 || metric == 5)
        setting = kDataUnitsPercent;
    else if (metric == 4 || (metric >= 6 && metric <= 10) || (metric >= 17 && metric <= 22))
        setting = kDataUnits;
    else if (metric >= 11 && metric <= 16)
        setting = kSpeedUnits;
    else if (metric == 23 || metric == 24)
        setting = kTimeUnits;
    return setting ? units.value(QLatin1String(setting), 0) : 0;
}

void convertMetric(int unit, QString& unitText, qint64& value)
{
    if (value < 0)
        return;
    switch (unit) {
    case UnitNone: return;
    case UnitMHz: unitText = QStringLiteral(" MHz"); return;
    case UnitGHz: value /= 1000; unitText = QStringLiteral(" GHz"); return;
    case UnitKB: unitText = QStringLiteral(" KB"); return;
    case UnitMB: value >>= 10; unitText = QStringLiteral(" MB"); return;
    case UnitGB: value >>= 20; unitText = QStringLiteral(" GB"); return;
    case UnitKbit: value *= 8; unitText = QStringLiteral(" kbit/s"); return;
    case UnitMbit: value >>= 7; unitText = QStringLiteral(" Mbit/s"); return;
    case UnitMsec: unitText = QStringLiteral(" msec"); return;
    case UnitSec: value /= 1000; unitText = QStringLiteral(" sec"); return;
    case UnitPercent: value /= 100; unitText = QStringLiteral(" %"); return;
    default: return;
    }
}

}  // namespace VMwareMetrics
