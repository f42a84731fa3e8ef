#pragma once
#include "common/Optional.h"

#include <QMap>
#include <QString>

// Weekly maintenance setting: one optional text of time ranges per weekday
// (e.g. "08:00-12:00; 22:00-06:00") and the minute-of-week ranges computed from them.
// Plain value type. The ranges are recomputed whenever the record is copied; after editing
// the day texts in place call updateRanges().
struct SWeeklyMaintenanceSetting
{
    Optional<QString> name;
    Optional<QString> monday;
    Optional<QString> tuesday;
    Optional<QString> wednesday;
    Optional<QString> thursday;
    Optional<QString> friday;
    Optional<QString> saturday;
    Optional<QString> sunday;
    QMap<int, int> ranges; // start minute of week -> end minute of week, half-open

    SWeeklyMaintenanceSetting() = default;
    SWeeklyMaintenanceSetting(const SWeeklyMaintenanceSetting& other);
    SWeeklyMaintenanceSetting& operator=(const SWeeklyMaintenanceSetting& other);

    // Day text, Sunday 0 ... Saturday 6; empty unless the optional holds a value.
    QString dayText(int day) const;
    void updateRanges();
};
