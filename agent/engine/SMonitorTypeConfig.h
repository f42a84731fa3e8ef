#pragma once
#include "SSettingDescriptor.h"
#include "common/Optional.h"

#include <QList>
#include <QString>

// One monitor type in the configuration store's configuration map, keyed by type id.
// Plain value.
struct SMonitorTypeConfig
{
    Optional<int> id;
    Optional<int> category;
    Optional<QString> name;         // as the checks library names the type ("WMI Query")
    Optional<QString> description;
    QList<SSettingDescriptor> settingDescriptors;
};
