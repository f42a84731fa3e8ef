#pragma once
#include "SSettingValue.h"
#include "common/Optional.h"

#include <QList>
#include <QString>

// One monitor's configuration record in the configuration store, keyed by monitor id.
// Plain value.
struct SMonitorConfig
{
    Optional<int> id;
    Optional<int> typeId;           // key of the monitor type's record
    Optional<QString> name;
    Optional<int> hostId;
    QList<SSettingValue> settingValues;
};
